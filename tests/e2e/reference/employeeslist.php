<?php
// Employees: list page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'list', require __DIR__ . '/employeesinfo.php');
