<?php
// Orders: add page.
require dirname(__DIR__) . '/lib/tarnwick.php';
Tarnwick\run(dirname(__DIR__), 'add', require dirname(__DIR__) . '/info/ordersinfo.php');
