<?php
require dirname(__DIR__) . '/lib/tarnwick.php';
Tarnwick\run(dirname(__DIR__), 'register', require dirname(__DIR__) . '/info/employeesinfo.php');
