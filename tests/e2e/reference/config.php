<?php
// Tarnwick Sample: connection and project settings of the application.
// No secret is written here: the database password and any other setting
// of an installation come from config.local.php beside this file (same
// array form, merged over it) or from the environment: TARNWICK_DB_HOST,
// TARNWICK_DB_PORT, TARNWICK_DB_NAME, TARNWICK_DB_USER, TARNWICK_DB_PASSWORD,
// TARNWICK_DB_PATH (SQLite), which win over both files.
$config = [
    'app' => [
        'title' => 'Tarnwick Sample',
        'charset' => 'utf-8',
        'default_page' => 'index.php',
        'date_format' => 5,
        'date_separator' => '/',
        'currency_symbol' => '$',
        'upload_path' => 'uploads',
        'max_upload_size' => 200000,
        'css' => ['project.css'],
    ],
    'db' => [
        'driver' => 'sqlite',
        'path' => 'sample.sqlite',
        'host' => 'localhost',
        'port' => 3306,
        'name' => 'tarnwick_sample',
        'user' => '',
        'charset' => 'utf8mb4',
    ],
    'security' => [
        'type' => 'both',
        'static_login' => 'admin',
        'static_password' => '$2y$10$fq9rsPZBMRVoi3OX4hQM.eXiUc4l4s3ejMDXfMOJOZ2hIHqpzZhQS',
        'table' => 'employees',
        'key' => 'employee_id',
        'login_field' => 'login',
        'password_field' => 'password_hash',
        'email_field' => 'email',
        'register' => true,
        'change_password' => true,
        'min_password_length' => 8,
    ],
    'list' => [
        'rec_per_page' => 20,
        'rec_per_page_list' => [10, 20, 50, 'ALL'],
        'pager_style' => 2,
        'sort_type' => 1,
        'multi_delete' => true,
        'export' => ['csv', 'html', 'excel', 'xml', 'word'],
    ],
    'menu' => [
        ['caption' => 'Categories', 'page' => 'categorieslist.php', 'group' => 'tables'],
        ['caption' => 'Products', 'page' => 'productslist.php', 'group' => 'tables'],
        ['caption' => 'Customers', 'page' => 'customerslist.php', 'group' => 'tables'],
        ['caption' => 'Employees', 'page' => 'employeeslist.php', 'group' => 'tables'],
        ['caption' => 'Orders', 'page' => 'orderslist.php', 'group' => 'tables'],
        ['caption' => 'Order Lines', 'page' => 'order_lineslist.php', 'group' => 'tables'],
        ['caption' => 'Order Summary', 'page' => 'order_summarylist.php', 'group' => 'tables'],
        ['caption' => 'Customer Orders', 'page' => 'customer_orderslist.php', 'group' => 'tables'],
        ['caption' => 'Orders by Status', 'page' => 'orders_by_statusreport.php', 'group' => 'reports'],
        ['caption' => 'Products by Category', 'page' => 'products_by_categoryreport.php', 'group' => 'reports'],
    ],
];
if (is_file(__DIR__ . '/config.local.php')) {
    $config = array_replace_recursive($config, require __DIR__ . '/config.local.php');
}
foreach (['TARNWICK_DB_HOST' => 'host', 'TARNWICK_DB_PORT' => 'port', 'TARNWICK_DB_NAME' => 'name',
          'TARNWICK_DB_USER' => 'user', 'TARNWICK_DB_PASSWORD' => 'password', 'TARNWICK_DB_PATH' => 'path'] as $envVar => $envKey) {
    $envValue = getenv($envVar);
    if ($envValue !== false && $envValue !== '') {
        $config['db'][$envKey] = $envKey === 'port' ? (int)$envValue : $envValue;
    }
}
return $config;
