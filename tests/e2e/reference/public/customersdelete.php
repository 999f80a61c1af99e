<?php
// Customers: delete page.
require dirname(__DIR__) . '/lib/tarnwick.php';
Tarnwick\run(dirname(__DIR__), 'delete', require dirname(__DIR__) . '/info/customersinfo.php');
