<?php
require dirname(__DIR__) . '/lib/tarnwick.php';
Tarnwick\run(dirname(__DIR__), 'logout');
