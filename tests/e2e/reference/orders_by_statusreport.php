<?php
// Orders by Status: report page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'report', require __DIR__ . '/orders_by_statusinfo.php');
