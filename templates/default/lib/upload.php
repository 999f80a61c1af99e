<?php
// File uploads: size and type checks, generated stored names, and sending
// stored files back to the browser.
declare(strict_types=1);

namespace Tarnwick;

final class Upload
{
    /** Extensions never accepted, whatever a field allows: they could run on the server. */
    private const NEVER = ['php', 'php3', 'php4', 'php5', 'php7', 'php8', 'phtml', 'phar', 'pht', 'phps',
        'cgi', 'pl', 'py', 'sh', 'asp', 'aspx', 'jsp', 'htaccess', 'htm', 'html', 'shtml', 'svg', 'xhtml', 'js', 'exe'];

    /** The upload folder of the application, created on first use. */
    public static function dir(App $app): string
    {
        $rel = trim(str_replace('\\', '/', (string)$app->config['app']['upload_path']), '/');
        if ($rel === '' || preg_match('#(^|/)\.\.(/|$)#', $rel)) {
            $rel = 'uploads';
        }
        $dir = $rel[0] === '/' ? $rel : $app->dir . '/' . $rel;
        if (!is_dir($dir)) {
            mkdir($dir, 0750, true);
        }
        if (!is_file($dir . '/.htaccess')) {
            file_put_contents($dir . '/.htaccess', "Require all denied\n<IfModule mod_php.c>\nphp_flag engine off\n</IfModule>\n");
        }
        return $dir;
    }

    /**
     * Reads the upload of a FILE field. Returns ['keep'], ['remove'] or
     * ['set', value] where value is a Blob or the stored file name; or
     * ['error', message].
     */
    public static function read(App $app, array $f, bool $hasExisting): array
    {
        $choice = $app->post('a_' . $f['var'], $hasExisting ? 'keep' : 'replace');
        if ($choice === 'remove') {
            return $f['required'] ? ['error', Lang::t('required', $f['caption'])] : ['remove'];
        }
        $file = $_FILES[$f['var']] ?? null;
        if (!is_array($file) || !isset($file['error']) || is_array($file['error'])
            || $file['error'] === UPLOAD_ERR_NO_FILE || $choice === 'keep') {
            if ($f['required'] && !$hasExisting) {
                return ['error', Lang::t('required', $f['caption'])];
            }
            return ['keep'];
        }
        $max = (int)$f['upload']['max_size'];
        if (in_array($file['error'], [UPLOAD_ERR_INI_SIZE, UPLOAD_ERR_FORM_SIZE], true) || (int)$file['size'] > $max) {
            return ['error', Lang::t('upload_too_big', $f['caption'], (string)$max)];
        }
        if ($file['error'] !== UPLOAD_ERR_OK || !is_uploaded_file((string)$file['tmp_name'])) {
            return ['error', Lang::t('upload_failed', $f['caption'])];
        }
        $ext = strtolower(pathinfo((string)$file['name'], PATHINFO_EXTENSION));
        $allowed = array_map('strtolower', (array)$f['upload']['extensions']);
        if ($ext === '' || in_array($ext, self::NEVER, true) || !in_array($ext, $allowed, true)) {
            return ['error', Lang::t('upload_bad_type', $f['caption'])];
        }
        $data = (string)file_get_contents((string)$file['tmp_name']);
        if ($f['view_tag'] === 'IMAGE' && @getimagesizefromstring($data) === false) {
            return ['error', Lang::t('upload_not_image', $f['caption'])];
        }
        if ($f['upload']['store'] === 'blob') {
            return ['set', new Blob($data)];
        }
        $name = bin2hex(random_bytes(16)) . '.' . $ext;
        if (!move_uploaded_file((string)$file['tmp_name'], self::dir($app) . '/' . $name)) {
            return ['error', Lang::t('upload_failed', $f['caption'])];
        }
        return ['set', $name];
    }

    /** Removes a stored file that a record no longer refers to. */
    public static function discard(App $app, array $f, mixed $old): void
    {
        if ($f['upload']['store'] !== 'file' || !is_string($old) || $old === '') {
            return;
        }
        $path = self::dir($app) . '/' . basename($old);
        if (is_file($path)) {
            @unlink($path);
        }
    }

    /** Sends stored content; images are shown, anything else is downloaded. */
    public static function send(App $app, string $data, string $downloadName): void
    {
        $app->cleanOutput();
        $info = @getimagesizefromstring($data);
        $types = ['image/png', 'image/jpeg', 'image/gif', 'image/webp'];
        header('X-Content-Type-Options: nosniff');
        header("Content-Security-Policy: default-src 'none'; sandbox");
        if ($info !== false && in_array($info['mime'], $types, true)) {
            header('Content-Type: ' . $info['mime']);
            header('Content-Disposition: inline');
        } else {
            header('Content-Type: application/octet-stream');
            header('Content-Disposition: attachment; filename="' . preg_replace('/[^A-Za-z0-9._-]/', '_', $downloadName) . '"');
        }
        header('Content-Length: ' . strlen($data));
        echo $data;
    }
}
