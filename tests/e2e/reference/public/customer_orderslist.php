<?php
// Customer Orders: list page.
require dirname(__DIR__) . '/lib/tarnwick.php';
Tarnwick\run(dirname(__DIR__), 'list', require dirname(__DIR__) . '/info/customer_ordersinfo.php');
