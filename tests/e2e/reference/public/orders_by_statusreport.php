<?php
// Orders by Status: report page.
require dirname(__DIR__) . '/lib/tarnwick.php';
Tarnwick\run(dirname(__DIR__), 'report', require dirname(__DIR__) . '/info/orders_by_statusinfo.php');
