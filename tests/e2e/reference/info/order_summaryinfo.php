<?php
// Order Summary: view settings (list only; a view has no key).
return [
    'name' => 'order_summary',
    'var' => 'order_summary',
    'caption' => 'Order Summary',
    'type' => 'VIEW',
    'key' => [],
    'security' => true,
    'pages' => ['list' => 'order_summarylist.php', 'search' => 'order_summarysrch.php'],
    'search' => ['basic' => true, 'advanced' => true],
    'default_order' => [['order_id', 'ASC']],
    'list' => ['multi_delete' => false, 'export' => ['csv', 'xml']],
    'fields' => [
        'order_id' => ['caption' => 'Order ID', 'type' => 3, 'validate' => 'INTEGER'],
        'company_name' => ['caption' => 'Company Name', 'type' => 200, 'size' => 80, 'basic_search' => true],
        'order_date' => ['caption' => 'Order Date', 'type' => 133, 'validate' => 'DATE', 'format' => 'Date/Time', 'date_format' => 5],
        'status' => ['caption' => 'Status', 'type' => 200, 'size' => 10, 'search' => true, 'search_op' => '=',
            'values' => [['New', 'New'], ['Processing', 'Processing'], ['Shipped', 'Shipped'], ['Cancelled', 'Cancelled']],
            'control' => 'SELECT'],
        'Line Count' => ['caption' => 'Line Count', 'type' => 3, 'validate' => 'INTEGER', 'search' => true, 'search_op' => '>='],
        'Total Amount' => ['caption' => 'Total Amount', 'type' => 131, 'validate' => 'FLOAT', 'format' => 'Currency', 'digits' => 2,
            'search' => true, 'search_op' => 'BETWEEN'],
    ],
];
