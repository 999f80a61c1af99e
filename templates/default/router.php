The router of PHP's built-in server: serves the application's public/
folder and nothing else. Started in the application folder with
  php -S 127.0.0.1:8080 -t public router.php
<!--##session router##-->
<!--##include common.php/phpopen##-->
// Only files of public/ are served; everything else (config.php,
// config.local.php, lib/, info/, the upload folder, dot files) answers 404.
// The built-in server is for trying the application out; DEPLOY.md says
// how to put it behind Apache or nginx.
declare(strict_types=1);

$public = realpath(__DIR__ . '/public');
$path = rawurldecode((string)parse_url((string)($_SERVER['REQUEST_URI'] ?? '/'), PHP_URL_PATH));
if ($public === false || realpath((string)($_SERVER['DOCUMENT_ROOT'] ?? '')) !== $public) {
    http_response_code(500);
    header('Content-Type: text/plain; charset=utf-8');
    echo "Start the server in the application folder with: php -S 127.0.0.1:8080 -t public router.php\n";
    return true;
}
if ($path === '/' || $path === '') {
    header('Location: <!--##=ProjectPageFile("index")##-->', true, 302);
    return true;
}
$file = realpath($public . $path);
if (str_contains($path, "\0") || preg_match('#(^|/)\.#', $path) === 1 || $file === false || !is_file($file)
    || !str_starts_with($file, $public . DIRECTORY_SEPARATOR)) {
    http_response_code(404);
    header('Content-Type: text/plain; charset=utf-8');
    echo "Not found\n";
    return true;
}
return false;
<!--##/session##-->
