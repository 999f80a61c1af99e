<?php
// Customers: edit page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'edit', require __DIR__ . '/customersinfo.php');
