<?php
// Employees: add page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'add', require __DIR__ . '/employeesinfo.php');
