<?php
// Tarnwick runtime: the support library that every generated page loads.
// A page declares its table's settings as an array and hands it to run().
declare(strict_types=1);

namespace Tarnwick;

const RUNTIME_VERSION = '1.0.0';

// Each part is read when a page first uses one of its classes: a page
// compiles only the code it runs (an export neither forms nor reports).
spl_autoload_register(static function (string $class): void {
    static $parts = [
        'Lang' => 'lang', 'H' => 'html', 'Db' => 'db', 'Blob' => 'db', 'Meta' => 'meta', 'Format' => 'format',
        'Validate' => 'validate', 'App' => 'app', 'HttpError' => 'app', 'Redirect' => 'app', 'Auth' => 'auth',
        'Search' => 'search', 'Upload' => 'upload', 'Controls' => 'controls', 'Keys' => 'keys', 'Seek' => 'seek',
        'ListPage' => 'listpage', 'SearchPage' => 'searchpage', 'Export' => 'export', 'RecordPage' => 'record', 'Chart' => 'chart',
        'ReportPage' => 'report',
    ];
    $name = str_starts_with($class, __NAMESPACE__ . '\\') ? substr($class, strlen(__NAMESPACE__) + 1) : '';
    if (isset($parts[$name])) {
        require_once __DIR__ . '/' . $parts[$name] . '.php';
    }
});

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
