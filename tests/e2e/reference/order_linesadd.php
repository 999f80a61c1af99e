<?php
// Order Lines: add page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'add', require __DIR__ . '/order_linesinfo.php');
