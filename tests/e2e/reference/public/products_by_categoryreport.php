<?php
// Products by Category: report page.
require dirname(__DIR__) . '/lib/tarnwick.php';
Tarnwick\run(dirname(__DIR__), 'report', require dirname(__DIR__) . '/info/products_by_categoryinfo.php');
