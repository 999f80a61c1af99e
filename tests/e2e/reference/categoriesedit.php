<?php
// Categories: edit page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'edit', require __DIR__ . '/categoriesinfo.php');
