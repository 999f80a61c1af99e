<?php
// Orders by Status: report settings over the view order_summary.
return [
    'name' => 'orders_by_status',
    'var' => 'orders_by_status',
    'caption' => 'Orders by Status',
    'type' => 'REPORT',
    'key' => [],
    'security' => true,
    'pages' => ['report' => 'orders_by_statusreport.php'],
    'report' => ['source' => 'order_summary', 'show_details' => true, 'grand_total' => true],
    'default_order' => [['order_date', 'ASC']],
    'fields' => [
        'status' => ['caption' => 'Status', 'type' => 200, 'group_by' => 1],
        'order_id' => ['caption' => 'Order ID', 'type' => 3],
        'company_name' => ['caption' => 'Company Name', 'type' => 200],
        'order_date' => ['caption' => 'Order Date', 'type' => 133, 'format' => 'Date/Time', 'date_format' => 5],
        'Line Count' => ['caption' => 'Line Count', 'type' => 3, 'agg' => ['SUM']],
        'Total Amount' => ['caption' => 'Total Amount', 'type' => 131, 'format' => 'Currency', 'digits' => 2,
            'agg' => ['SUM', 'AVG', 'MIN', 'MAX']],
    ],
    'charts' => [
        ['name' => 'amount_by_status', 'caption' => 'Total amount by status', 'type' => 1, 'x' => 'status', 'y' => 'Total Amount',
            'agg' => 'SUM', 'width' => 560, 'height' => 300, 'sort' => 4, 'y_axis_name' => 'Amount', 'position' => 1],
        ['name' => 'orders_by_status', 'caption' => 'Number of orders by status', 'type' => 4, 'x' => 'status', 'y' => 'order_id',
            'agg' => 'COUNT', 'width' => 460, 'height' => 220, 'position' => 1],
    ],
];
