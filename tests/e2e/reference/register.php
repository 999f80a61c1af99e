<?php
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'register', require __DIR__ . '/employeesinfo.php');
