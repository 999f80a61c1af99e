<?php
// Customer Orders: custom view settings (a stored query, list only).
return [
    'name' => 'customer_orders',
    'var' => 'customer_orders',
    'caption' => 'Customer Orders',
    'type' => 'CUSTOMVIEW',
    'sql' => 'SELECT c.customer_id, c.company_name, c.country, COUNT(o.order_id) AS order_count, '
        . 'SUM(o.freight) AS freight_total FROM customers c LEFT JOIN orders o ON o.customer_id = c.customer_id '
        . 'GROUP BY c.customer_id, c.company_name, c.country',
    'key' => [],
    'security' => true,
    'pages' => ['list' => 'customer_orderslist.php'],
    'search' => ['basic' => true, 'advanced' => false],
    'default_order' => [['customer_id', 'ASC']],
    'list' => ['multi_delete' => false, 'export' => ['csv']],
    'fields' => [
        'customer_id' => ['caption' => 'Customer ID', 'type' => 3],
        'company_name' => ['caption' => 'Company Name', 'type' => 200, 'basic_search' => true],
        'country' => ['caption' => 'Country', 'type' => 200, 'basic_search' => true],
        'order_count' => ['caption' => 'Orders', 'type' => 3, 'search' => true, 'search_op' => '>='],
        'freight_total' => ['caption' => 'Freight Total', 'type' => 131, 'format' => 'Currency', 'digits' => 2],
    ],
];
