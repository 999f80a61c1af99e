<?php
// Products: search page.
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'search', require __DIR__ . '/productsinfo.php');
