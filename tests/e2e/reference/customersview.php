<?php
// Customers: view page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'view', require __DIR__ . '/customersinfo.php');
