<?php
// Orders: edit page.
require dirname(__DIR__) . '/lib/tarnwick.php';
Tarnwick\run(dirname(__DIR__), 'edit', require dirname(__DIR__) . '/info/ordersinfo.php');
