<?php
// The application object: configuration, database, session, CSRF tokens,
// page layout, redirects and error pages.
declare(strict_types=1);

namespace Tarnwick;

/** An error whose message may be shown to the user (never SQL or traces). */
final class HttpError extends \RuntimeException
{
    public function __construct(public readonly int $status, string $message)
    {
        parent::__construct($message);
    }
}

final class App
{
    private static ?App $instance = null;
    private ?Db $db = null;
    public readonly array $config;
    public string $title = '';

    private function __construct(public readonly string $dir)
    {
        $config = require $dir . '/config.php';
        if (!is_array($config)) {
            throw new \RuntimeException('config.php must return an array');
        }
        $config += ['app' => [], 'db' => [], 'security' => [], 'list' => [], 'menu' => [], 'phrases' => []];
        $config['app'] += [
            'title' => 'Application', 'charset' => 'utf-8', 'default_page' => 'index.php',
            'date_format' => 5, 'date_separator' => '/', 'currency_symbol' => '$',
            'upload_path' => 'uploads', 'max_upload_size' => 2000000, 'css' => [],
            'session_name' => 'TWSESSID', 'session_path' => null, 'debug' => false,
        ];
        $config['security'] += ['type' => 'none', 'register' => false, 'change_password' => true,
            'min_password_length' => 8, 'login_page' => 'login.php', 'legacy_hashes' => false];
        $config['security']['type'] = strtolower((string)$config['security']['type']);
        $this->config = $config;
        Lang::load($config['phrases']);
        Format::$settings = array_merge(Format::$settings, array_intersect_key($config['app'],
            Format::$settings));
    }

    public static function boot(string $dir): App
    {
        ini_set('display_errors', '0');
        ini_set('log_errors', '1');
        if (self::$instance === null) {
            self::$instance = new App($dir);
        }
        return self::$instance;
    }

    public static function instance(): App
    {
        if (self::$instance === null) {
            throw new \LogicException('application not started');
        }
        return self::$instance;
    }

    public function db(): Db
    {
        return $this->db ??= new Db($this->config['db'], $this->dir);
    }

    /**
     * A connection for reading a long result row by row (an export): MySQL
     * gets a connection of its own whose results are not buffered, so that
     * the page's other queries can still run beside it.
     */
    public function streamDb(): Db
    {
        if ($this->db()->driver === 'sqlite') {
            // a result read once from start to end gains nothing from a large page cache
            $this->db()->pdo->exec('PRAGMA cache_size = -256');
        }
        if ($this->db()->driver !== 'mysql') {
            return $this->db();
        }
        $db = new Db($this->config['db'], $this->dir);
        $db->pdo->setAttribute(\PDO::MYSQL_ATTR_USE_BUFFERED_QUERY, false);
        return $db;
    }

    // ---- request -----------------------------------------------------------------

    public function isPost(): bool
    {
        return ($_SERVER['REQUEST_METHOD'] ?? 'GET') === 'POST';
    }

    /** A text parameter from the query string (arrays give ''). */
    public function query(string $name, string $default = ''): string
    {
        $v = $_GET[$name] ?? $default;
        return is_string($v) ? $v : $default;
    }

    public function post(string $name, string $default = ''): string
    {
        $v = $_POST[$name] ?? $default;
        return is_string($v) ? $v : $default;
    }

    /** @return list<string> */
    public function postList(string $name): array
    {
        $v = $_POST[$name] ?? [];
        if (is_string($v)) {
            return [$v];
        }
        return is_array($v) ? array_values(array_filter($v, 'is_string')) : [];
    }

    /** The current page with its query string, for returning after login. */
    public function selfUrl(): string
    {
        $page = basename((string)($_SERVER['SCRIPT_NAME'] ?? 'index.php'));
        $q = (string)($_SERVER['QUERY_STRING'] ?? '');
        return $q === '' ? $page : $page . '?' . $q;
    }

    /** A return address is accepted only when it names a page of this application. */
    public static function localUrl(string $url): ?string
    {
        return preg_match('/^[A-Za-z0-9_\-]+\.php(\?[^\s\\\\]*)?$/', $url) ? $url : null;
    }

    // ---- session, CSRF, flash messages -------------------------------------------

    public function startSession(): void
    {
        if (session_status() === PHP_SESSION_ACTIVE) {
            return;
        }
        ini_set('session.use_strict_mode', '1');
        ini_set('session.use_only_cookies', '1');
        ini_set('session.use_trans_sid', '0');
        if (!empty($this->config['app']['session_path'])) {
            session_save_path((string)$this->config['app']['session_path']);
        }
        session_name((string)$this->config['app']['session_name']);
        $https = !empty($_SERVER['HTTPS']) && $_SERVER['HTTPS'] !== 'off';
        session_set_cookie_params(['lifetime' => 0, 'path' => '/', 'secure' => $https,
            'httponly' => true, 'samesite' => 'Lax']);
        session_start();
    }

    /** A new session id, keeping the data (after logging in or out). */
    public function regenerateSession(): void
    {
        session_regenerate_id(true);
        $_SESSION['tw_csrf'] = bin2hex(random_bytes(32));
    }

    public function csrfToken(): string
    {
        if (empty($_SESSION['tw_csrf']) || !is_string($_SESSION['tw_csrf'])) {
            $_SESSION['tw_csrf'] = bin2hex(random_bytes(32));
        }
        return $_SESSION['tw_csrf'];
    }

    public function csrfField(): string
    {
        return '<input type="hidden" name="tw_token" value="' . H::e($this->csrfToken()) . '">';
    }

    /** Every request that changes data must carry the session's token. */
    public function checkCsrf(): void
    {
        $sent = $_POST['tw_token'] ?? '';
        if (!is_string($sent) || empty($_SESSION['tw_csrf']) || !hash_equals((string)$_SESSION['tw_csrf'], $sent)) {
            throw new HttpError(403, Lang::t('csrf'));
        }
        $origin = $_SERVER['HTTP_ORIGIN'] ?? '';
        if ($origin !== '' && $origin !== 'null') {
            $host = parse_url($origin, PHP_URL_HOST) . (parse_url($origin, PHP_URL_PORT) ? ':' . parse_url($origin, PHP_URL_PORT) : '');
            if (strcasecmp($host, (string)($_SERVER['HTTP_HOST'] ?? '')) !== 0) {
                throw new HttpError(403, Lang::t('csrf'));
            }
        }
    }

    public function flash(string $type, string $text): void
    {
        $_SESSION['tw_flash'][] = [$type, $text];
    }

    private function flashHtml(): string
    {
        $out = '';
        foreach ($_SESSION['tw_flash'] ?? [] as [$type, $text]) {
            $out .= '<div class="tw-msg tw-msg-' . H::e($type) . '" role="status">' . H::e($text) . '</div>';
        }
        unset($_SESSION['tw_flash']);
        return $out;
    }

    // ---- users -------------------------------------------------------------------

    public function securityOn(): bool
    {
        return $this->config['security']['type'] !== 'none';
    }

    public function user(): ?array
    {
        $u = $_SESSION['tw_user'] ?? null;
        return is_array($u) ? $u : null;
    }

    public function requireLogin(): void
    {
        if (!$this->securityOn() || $this->user() !== null) {
            return;
        }
        $this->flash('info', Lang::t('login_required'));
        $this->redirect(H::url($this->config['security']['login_page'], ['return' => $this->selfUrl()]));
    }

    // ---- output ------------------------------------------------------------------

    public function redirect(string $url): never
    {
        throw new Redirect($url);
    }

    public static function e(mixed $v): string
    {
        return H::e($v);
    }

    /**
     * Sends a page: the application's header.php, messages, body, footer.php.
     * A header.local.php or footer.local.php beside them is used instead:
     * the generation run writes the .php ones, never the .local.php ones.
     */
    public function render(string $title, string $body): void
    {
        $this->title = $title;
        $app = $this;
        $flash = $this->flashHtml();
        $header = $this->localOr('header');
        $footer = $this->localOr('footer');
        if (is_file($header)) {
            include $header;
        } else {
            echo '<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>', H::e($title), '</title>',
                $this->styleLinks(), '</head><body><main class="tw-main">';
        }
        echo $flash, $body;
        if (is_file($footer)) {
            include $footer;
        } else {
            echo '</main></body></html>';
        }
    }

    private function localOr(string $name): string
    {
        $local = $this->dir . '/' . $name . '.local.php';
        return is_file($local) ? $local : $this->dir . '/' . $name . '.php';
    }

    /** The folder the web server serves: the pages and their style sheets. */
    public function publicDir(): string
    {
        return $this->dir . '/public';
    }

    /**
     * The runtime's style sheet, the project's, and custom.css of the
     * document root when there is one (the deployer's own, never generated).
     */
    public function styleLinks(): string
    {
        $out = '<link rel="stylesheet" href="assets/tarnwick.css">';
        $sheets = (array)$this->config['app']['css'];
        if (is_file($this->publicDir() . '/custom.css')) {
            $sheets[] = 'custom.css';
        }
        foreach ($sheets as $css) {
            $out .= '<link rel="stylesheet" href="' . H::e($css) . '">';
        }
        return $out;
    }

    public function scriptLinks(): string
    {
        return '<script src="assets/tarnwick.js" defer></script>';
    }

    /** The navigation menu: every page of config['menu'], grouped. */
    public function menuHtml(): string
    {
        // Tables, views and reports in this order, then any other group.
        $groups = ['tables' => [], 'views' => [], 'reports' => []];
        foreach ($this->config['menu'] as $item) {
            $groups[$item['group'] ?? 'tables'][] = $item;
        }
        $current = basename((string)($_SERVER['SCRIPT_NAME'] ?? ''));
        $out = '<ul class="tw-menu-list"><li><a href="' . H::e($this->config['app']['default_page']) . '">'
            . H::e(Lang::t('home')) . '</a></li>';
        foreach (array_filter($groups) as $group => $items) {
            $out .= '<li class="tw-menu-group">' . H::e(Lang::t((string)$group)) . '</li>';
            foreach ($items as $item) {
                $cls = $item['page'] === $current ? ' class="tw-active"' : '';
                $out .= '<li' . $cls . '><a href="' . H::e($item['page']) . '">' . H::e($item['caption']) . '</a></li>';
            }
        }
        return $out . '</ul>';
    }

    /** Login state in the page header: who is logged in, logout and password links. */
    public function userBoxHtml(): string
    {
        if (!$this->securityOn()) {
            return '';
        }
        $u = $this->user();
        $s = $this->config['security'];
        if ($u === null) {
            $out = '<a href="' . H::e($s['login_page']) . '">' . H::e(Lang::t('login')) . '</a>';
            if ($s['register']) {
                $out .= ' <a href="register.php">' . H::e(Lang::t('register')) . '</a>';
            }
            return '<div class="tw-user">' . $out . '</div>';
        }
        $out = '<span class="tw-user-name">' . H::e(Lang::t('logged_in_as', $u['login'])) . '</span>';
        if ($s['change_password'] && empty($u['static'])) {
            $out .= ' <a href="changepwd.php">' . H::e(Lang::t('change_password')) . '</a>';
        }
        $out .= ' <form class="tw-inline" method="post" action="logout.php">' . $this->csrfField()
            . '<button type="submit" class="tw-btn tw-btn-small">' . H::e(Lang::t('logout')) . '</button></form>';
        return '<div class="tw-user">' . $out . '</div>';
    }

    private function sendHeaders(): void
    {
        header('Content-Type: text/html; charset=' . $this->config['app']['charset']);
        header('X-Content-Type-Options: nosniff');
        $ancestors = self::frameAncestors();
        if ($ancestors === "'none'") {
            header('X-Frame-Options: DENY');
        }
        header('Referrer-Policy: same-origin');
        header("Content-Security-Policy: default-src 'self'; img-src 'self' data:; style-src 'self' 'unsafe-inline'; "
            . "script-src 'self'; object-src 'none'; base-uri 'self'; form-action 'self'; frame-ancestors " . $ancestors);
    }

    /**
     * Who may show the pages inside a frame: nobody, unless the server runs
     * with TARNWICK_FRAME_ANCESTORS naming origins (scheme, host and port,
     * separated by blanks) on the loopback address, as tarnwick studio does
     * for the preview it shows beside its settings. Anything else in it
     * counts as nobody.
     */
    private static function frameAncestors(): string
    {
        $given = getenv('TARNWICK_FRAME_ANCESTORS');
        if ($given === false || trim($given) === '') {
            return "'none'";
        }
        $origins = preg_split('/ +/', trim($given));
        foreach ($origins as $origin) {
            if (!preg_match('~^http://(127\.0\.0\.1|localhost|\[::1\]):[0-9]{1,5}$~D', $origin)) {
                return "'none'";
            }
        }
        return implode(' ', $origins);
    }

    /** An error page without internals; the details go to the server's log. */
    public function errorPage(int $status, string $message): void
    {
        while (ob_get_level() > $this->obLevel) {
            ob_end_clean();
        }
        http_response_code($status);
        $body = '<div class="tw-error"><h1>' . H::e(Lang::t('error_title')) . '</h1><p>' . H::e($message) . '</p>'
            . '<p><a href="' . H::e($this->config['app']['default_page']) . '">' . H::e(Lang::t('home')) . '</a></p></div>';
        try {
            ob_start();
            $this->render(Lang::t('error_title'), $body);
            ob_end_flush();
        } catch (\Throwable) {
            while (ob_get_level() > $this->obLevel) {
                ob_end_clean();
            }
            echo '<!DOCTYPE html><html><head><meta charset="utf-8"><title>Error</title></head><body>', $body, '</body></html>';
        }
    }

    private int $obLevel = 0;

    /** Drops what the page has written so far (before sending a file or an export). */
    public function cleanOutput(): void
    {
        while (ob_get_level() > $this->obLevel + 1) {
            ob_end_clean();
        }
        if (ob_get_level() === $this->obLevel + 1) {
            ob_clean();
        }
    }

    /** Drops what the page has written and writes what follows straight out. */
    public function endBuffering(): void
    {
        while (ob_get_level() > $this->obLevel) {
            ob_end_clean();
        }
    }

    // ---- dispatch ----------------------------------------------------------------

    public function dispatch(string $page, ?array $table): void
    {
        $this->obLevel = ob_get_level();
        ob_start();
        try {
            $this->sendHeaders();
            $this->startSession();
            $this->route($page, $table);
            if (ob_get_level() > $this->obLevel) {
                ob_end_flush(); // an export has sent its rows unbuffered
            }
        } catch (Redirect $r) {
            while (ob_get_level() > $this->obLevel) {
                ob_end_clean();
            }
            header('Location: ' . $r->url, true, 303);
        } catch (HttpError $e) {
            $this->errorPage($e->status, $e->getMessage());
        } catch (\Throwable $e) {
            $ref = bin2hex(random_bytes(4));
            error_log('tarnwick [' . $ref . '] ' . get_class($e) . ': ' . $e->getMessage() . ' in '
                . $e->getFile() . ':' . $e->getLine());
            $this->errorPage(500, Lang::t('error_text') . ' (' . $ref . ')');
        }
    }

    private function route(string $page, ?array $table): void
    {
        $auth = static fn(App $app): Auth => new Auth($app);
        switch ($page) {
            case 'index':
                $this->requireLogin();
                $this->indexPage();
                return;
            case 'login':
                $auth($this)->loginPage();
                return;
            case 'logout':
                $auth($this)->logoutPage();
                return;
            case 'register':
                $auth($this)->registerPage($table);
                return;
            case 'changepwd':
                $auth($this)->changePasswordPage();
                return;
        }
        if ($table === null) {
            throw new HttpError(404, Lang::t('bad_request'));
        }
        $t = Meta::table($table, $this->config);
        if ($t['security']) {
            $this->requireLogin();
        }
        if (!isset($t['pages'][$page])) {
            throw new HttpError(404, Lang::t('forbidden'));
        }
        if (in_array($page, ['add', 'edit', 'search'], true) && $this->query('lookup') !== '') {
            Controls::lookupJson($this, $t);
            return;
        }
        switch ($page) {
            case 'list':
                (new ListPage($this, $t))->run();
                return;
            case 'search':
                (new SearchPage($this, $t))->run();
                return;
            case 'report':
                (new ReportPage($this, $t))->run();
                return;
            case 'view': case 'add': case 'edit': case 'delete':
                (new RecordPage($this, $t))->run($page);
                return;
        }
        throw new HttpError(404, Lang::t('bad_request'));
    }

    /** The default page: every table, view and report of the application by caption. */
    private function indexPage(): void
    {
        $groups = [];
        foreach ($this->config['menu'] as $item) {
            $groups[$item['group'] ?? 'tables'][] = $item;
        }
        $html = '<h1>' . H::e($this->config['app']['title']) . '</h1>';
        foreach ($groups as $group => $items) {
            $html .= '<section class="tw-panel"><h2>' . H::e(Lang::t((string)$group)) . '</h2><ul class="tw-index">';
            foreach ($items as $item) {
                $html .= '<li><a href="' . H::e($item['page']) . '">' . H::e($item['caption']) . '</a>'
                    . (isset($item['description']) ? ' <span class="tw-note">' . H::e($item['description']) . '</span>' : '')
                    . '</li>';
            }
            $html .= '</ul></section>';
        }
        $this->render($this->config['app']['title'], $html);
    }
}

/** Thrown to end a page with a redirect (303, so the browser then GETs). */
final class Redirect extends \RuntimeException
{
    public function __construct(public readonly string $url)
    {
        parent::__construct('redirect');
    }
}
