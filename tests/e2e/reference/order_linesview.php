<?php
// Order Lines: view page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'view', require __DIR__ . '/order_linesinfo.php');
