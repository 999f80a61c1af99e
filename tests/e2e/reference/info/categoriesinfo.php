<?php
// Categories: table settings.
return [
    'name' => 'categories',
    'var' => 'categories',
    'caption' => 'Categories',
    'type' => 'TABLE',
    'key' => ['category_id'],
    'security' => true,
    'pages' => ['list' => 'categorieslist.php', 'view' => 'categoriesview.php', 'add' => 'categoriesadd.php',
        'edit' => 'categoriesedit.php', 'delete' => 'categoriesdelete.php', 'search' => 'categoriessrch.php'],
    'copy' => true,
    'search' => ['basic' => true, 'advanced' => true],
    'details' => [
        ['table' => 'products', 'caption' => 'Products', 'page' => 'productslist.php',
            'master_fields' => ['category_id'], 'detail_fields' => ['category_id']],
    ],
    'fields' => [
        'category_id' => ['caption' => 'Category ID', 'type' => 3, 'auto_increment' => true, 'control' => 'NO',
            'validate' => 'INTEGER', 'search' => true, 'search_op' => '='],
        'category_name' => ['caption' => 'Category Name', 'type' => 200, 'size' => 50, 'required' => true, 'nullable' => false,
            'tag_maxlength' => 50, 'basic_search' => true, 'search' => true, 'search_op' => 'LIKE', 'bold' => true],
        'description' => ['caption' => 'Description', 'type' => 201, 'control' => 'TEXTAREA', 'list' => false,
            'basic_search' => true, 'tag_cols' => 40, 'tag_rows' => 3],
        'picture' => ['caption' => 'Picture', 'type' => 205, 'control' => 'FILE', 'view_tag' => 'IMAGE', 'list' => true,
            'img_width' => 24, 'img_height' => 24,
            'upload' => ['max_size' => 100000, 'extensions' => ['png', 'jpg', 'jpeg', 'gif']]],
    ],
];
