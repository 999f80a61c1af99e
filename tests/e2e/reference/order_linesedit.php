<?php
// Order Lines: edit page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'edit', require __DIR__ . '/order_linesinfo.php');
