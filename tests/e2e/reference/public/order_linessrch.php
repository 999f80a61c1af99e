<?php
// Order Lines: search page.
require dirname(__DIR__) . '/lib/tarnwick.php';
Tarnwick\run(dirname(__DIR__), 'search', require dirname(__DIR__) . '/info/order_linesinfo.php');
