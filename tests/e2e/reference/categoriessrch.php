<?php
// Categories: search page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'search', require __DIR__ . '/categoriesinfo.php');
