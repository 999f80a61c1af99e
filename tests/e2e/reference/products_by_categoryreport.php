<?php
// Products by Category: report page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'report', require __DIR__ . '/products_by_categoryinfo.php');
