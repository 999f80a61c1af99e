<?php
// Tarnwick runtime: the support library that every generated page loads.
// A page declares its table's settings as an array and hands it to run().
declare(strict_types=1);

namespace Tarnwick;

const RUNTIME_VERSION = '1.0.0';

foreach (['lang', 'html', 'db', 'meta', 'format', 'validate', 'app', 'auth', 'search',
          'upload', 'controls', 'listpage', 'export', 'record', 'chart', 'report'] as $part) {
    require_once __DIR__ . '/' . $part . '.php';
}

/**
 * Runs one page of the application.
 *
 * $appDir  the folder of the application (where config.php lives; the
 *          pages lie in its public/ folder, the table settings in info/)
 * $page    list, view, add, edit, delete, search, report, index,
 *          login, logout, register, changepwd
 * $table   the table's settings array (see README.md), for table pages
 */
function run(string $appDir, string $page, ?array $table = null): void
{
    App::boot($appDir)->dispatch($page, $table);
}
