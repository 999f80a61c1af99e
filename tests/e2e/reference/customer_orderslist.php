<?php
// Customer Orders: list page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'list', require __DIR__ . '/customer_ordersinfo.php');
