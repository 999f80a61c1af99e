<?php
// Categories: view page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'view', require __DIR__ . '/categoriesinfo.php');
