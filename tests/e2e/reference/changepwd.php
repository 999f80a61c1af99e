<?php
require __DIR__ . '/lib/tarnwick.php';
Tarnwick\run(__DIR__, 'changepwd');
