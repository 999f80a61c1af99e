<?php
// Order Lines: table settings.
return [
    'name' => 'order_lines',
    'var' => 'order_lines',
    'caption' => 'Order Lines',
    'type' => 'TABLE',
    'key' => ['line_id'],
    'security' => true,
    'pages' => ['list' => 'order_lineslist.php', 'view' => 'order_linesview.php', 'add' => 'order_linesadd.php',
        'edit' => 'order_linesedit.php', 'delete' => 'order_linesdelete.php', 'search' => 'order_linessrch.php'],
    'copy' => true,
    'search' => ['basic' => false, 'advanced' => true],
    'masters' => [
        ['table' => 'orders', 'info' => 'ordersinfo.php', 'list_page' => 'orderslist.php',
            'master_fields' => ['order_id'], 'detail_fields' => ['order_id']],
    ],
    'fields' => [
        'line_id' => ['caption' => 'Line ID', 'type' => 3, 'auto_increment' => true, 'control' => 'NO', 'validate' => 'INTEGER'],
        'order_id' => ['caption' => 'Order ID', 'type' => 3, 'required' => true, 'nullable' => false, 'validate' => 'INTEGER',
            'search' => true, 'search_op' => '='],
        'product_id' => ['caption' => 'Product', 'type' => 3, 'control' => 'SELECT', 'required' => true, 'nullable' => false,
            'validate' => 'INTEGER', 'lookup' => ['table' => 'products', 'value' => 'product_id', 'display' => 'product_name'],
            'search' => true, 'search_op' => '='],
        'quantity' => ['caption' => 'Quantity', 'type' => 3, 'required' => true, 'nullable' => false, 'validate' => 'INTEGER',
            'min' => 1, 'max' => 1000, 'default' => '1', 'search' => true, 'search_op' => '>='],
        'unit_price' => ['caption' => 'Unit Price', 'type' => 131, 'required' => true, 'nullable' => false, 'validate' => 'FLOAT',
            'format' => 'Currency', 'digits' => 2, 'min' => 0],
        'discount' => ['caption' => 'Discount', 'type' => 131, 'required' => true, 'nullable' => false, 'validate' => 'FLOAT',
            'format' => 'Percent', 'digits' => 0, 'min' => 0, 'max' => 1, 'default' => '0'],
    ],
];
