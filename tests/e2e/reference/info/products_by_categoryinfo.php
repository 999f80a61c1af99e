<?php
// Products by Category: report settings, grouped by category and by the
// discontinued flag.
return [
    'name' => 'products_by_category',
    'var' => 'products_by_category',
    'caption' => 'Products by Category',
    'type' => 'REPORT',
    'key' => [],
    'security' => true,
    'pages' => ['report' => 'products_by_categoryreport.php'],
    'report' => ['source' => 'products', 'show_details' => true, 'grand_total' => true],
    'default_order' => [['product_name', 'ASC']],
    'fields' => [
        'category_id' => ['caption' => 'Category', 'type' => 3, 'group_by' => 1,
            'lookup' => ['table' => 'categories', 'value' => 'category_id', 'display' => 'category_name']],
        'discontinued' => ['caption' => 'Discontinued', 'type' => 129, 'group_by' => 2,
            'values' => [['Y', 'Yes'], ['N', 'No']]],
        'product_name' => ['caption' => 'Product Name', 'type' => 200],
        'units_in_stock' => ['caption' => 'Units in Stock', 'type' => 3, 'agg' => ['SUM']],
        'unit_price' => ['caption' => 'Unit Price', 'type' => 131, 'format' => 'Currency', 'digits' => 2,
            'agg' => ['AVG', 'MIN', 'MAX']],
    ],
];
