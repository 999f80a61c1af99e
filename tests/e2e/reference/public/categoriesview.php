<?php
// Categories: view page.
require dirname(__DIR__) . '/lib/tarnwick.php';
Tarnwick\run(dirname(__DIR__), 'view', require dirname(__DIR__) . '/info/categoriesinfo.php');
