<?php
// Order Lines: list page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'list', require __DIR__ . '/order_linesinfo.php');
