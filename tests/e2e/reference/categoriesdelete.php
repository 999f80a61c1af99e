<?php
// Categories: delete page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'delete', require __DIR__ . '/categoriesinfo.php');
