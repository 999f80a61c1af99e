<?php
// Logging in and out, registering and changing passwords. Passwords are
// kept only as password_hash() values; the session id changes whenever the
// login state does.
declare(strict_types=1);

namespace Tarnwick;

final class Auth
{
    private const DUMMY_HASH = '$2y$10$wXajnvkoAr6LzN0IJGSe2O.8z5wVnNeUKD4reXyBoelj6lG.defb2';

    public function __construct(private readonly App $app)
    {
    }

    private function sec(): array
    {
        return $this->app->config['security'];
    }

    private function usesTable(): bool
    {
        return in_array($this->sec()['type'], ['table', 'both'], true);
    }

    private function usesStatic(): bool
    {
        return in_array($this->sec()['type'], ['static', 'both'], true);
    }

    /** The user record for a login and password, or null. */
    public function authenticate(string $login, string $password): ?array
    {
        $s = $this->sec();
        if ($login === '' || $password === '') {
            return null;
        }
        if ($this->usesStatic() && isset($s['static_login']) && hash_equals((string)$s['static_login'], $login)) {
            return password_verify($password, (string)($s['static_password'] ?? '')) ? ['login' => $login, 'static' => true] : null;
        }
        if ($this->usesTable()) {
            $db = $this->app->db();
            $row = $db->one('SELECT ' . $db->qi($s['key']) . ' AS id, ' . $db->qi($s['password_field']) . ' AS pw FROM '
                . $db->qi($s['table']) . ' WHERE ' . $db->qi($s['login_field']) . ' = ?', [$login]);
            $hash = $row === null ? '' : (string)$row['pw'];
            if ($hash === '') {
                password_verify($password, self::DUMMY_HASH); // same time whether the user exists or not
                return null;
            }
            if (!$this->verify($password, $hash, $login)) {
                return null;
            }
            if (self::isLegacyHash($hash) || password_needs_rehash($hash, PASSWORD_DEFAULT)) {
                $db->run('UPDATE ' . $db->qi($s['table']) . ' SET ' . $db->qi($s['password_field']) . ' = ? WHERE '
                    . $db->qi($s['key']) . ' = ?', [password_hash($password, PASSWORD_DEFAULT), $row['id']]);
            }
            return ['login' => $login, 'id' => $row['id'], 'static' => false];
        }
        password_verify($password, self::DUMMY_HASH);
        return null;
    }

    /** An unsalted hex SHA-1 or MD5 hash, as older user tables keep passwords. */
    public static function isLegacyHash(string $hash): bool
    {
        return preg_match('/^(?:[0-9A-Fa-f]{32}|[0-9A-Fa-f]{40})$/', $hash) === 1;
    }

    /**
     * Checks a password against a stored hash: a password_hash() value, or
     * with the setting security.legacy_hashes an unsalted hex SHA-1 or MD5
     * hash (rehashed by the caller). Without the setting such a hash is
     * refused and the server log says why.
     */
    private function verify(string $password, string $hash, string $login): bool
    {
        if (!self::isLegacyHash($hash)) {
            return password_verify($password, $hash);
        }
        $kind = strlen($hash) === 40 ? 'sha1' : 'md5';
        if (empty($this->sec()['legacy_hashes'])) {
            password_verify($password, self::DUMMY_HASH);
            error_log('tarnwick: the password of user "' . addcslashes($login, "\0..\37\"\\") . '" is stored as an unsalted '
                . strtoupper($kind) . ' hash, which is not accepted; set \'legacy_hashes\' => true under \'security\' in '
                . 'config.local.php to accept such hashes and replace each by a password_hash() value at its next login');
            return false;
        }
        return hash_equals(strtolower($hash), hash($kind, $password));
    }

    public function loginPage(): void
    {
        $app = $this->app;
        if (!$app->securityOn()) {
            $app->redirect($app->config['app']['default_page']);
        }
        $error = '';
        $login = '';
        $return = App::localUrl($app->isPost() ? $app->post('return') : $app->query('return')) ?? '';
        if ($app->isPost()) {
            $app->checkCsrf();
            $login = trim($app->post('username'));
            $user = $this->authenticate($login, $app->post('password'));
            if ($user !== null) {
                $app->regenerateSession();
                $_SESSION['tw_user'] = $user;
                $app->redirect($return !== '' ? $return : $app->config['app']['default_page']);
            }
            $error = Lang::t('login_failed');
        }
        $html = '<section class="tw-panel tw-narrow"><h1>' . H::e(Lang::t('login')) . '</h1>';
        if ($error !== '') {
            $html .= '<div class="tw-msg tw-msg-error" role="alert">' . H::e($error) . '</div>';
        }
        $html .= '<form method="post" action="' . H::e($this->sec()['login_page']) . '" class="tw-form">' . $app->csrfField()
            . '<input type="hidden" name="return" value="' . H::e($return) . '">'
            . '<label>' . H::e(Lang::t('username')) . '<input type="text" name="username" autocomplete="username" required value="' . H::e($login) . '"></label>'
            . '<label>' . H::e(Lang::t('password')) . '<input type="password" name="password" autocomplete="current-password" required></label>'
            . '<div class="tw-buttons"><button type="submit" class="tw-btn tw-btn-primary">' . H::e(Lang::t('login')) . '</button>';
        if ($this->sec()['register'] && $this->usesTable()) {
            $html .= ' <a href="register.php">' . H::e(Lang::t('register')) . '</a>';
        }
        $html .= '</div></form></section>';
        $app->render(Lang::t('login'), $html);
    }

    public function logoutPage(): void
    {
        $app = $this->app;
        if ($app->isPost()) {
            $app->checkCsrf();
            $_SESSION = [];
            $app->regenerateSession();
            $app->flash('info', Lang::t('logged_out'));
            $app->redirect($this->sec()['login_page']);
        }
        $html = '<section class="tw-panel tw-narrow"><h1>' . H::e(Lang::t('logout')) . '</h1>'
            . '<form method="post" action="logout.php">' . $app->csrfField()
            . '<button type="submit" class="tw-btn tw-btn-primary">' . H::e(Lang::t('logout')) . '</button></form></section>';
        $app->render(Lang::t('logout'), $html);
    }

    private function passwordError(string $new, string $confirm): ?string
    {
        $min = (int)$this->sec()['min_password_length'];
        if (Format::length($new) < $min) {
            return Lang::t('password_short', $min);
        }
        if (!hash_equals($new, $confirm)) {
            return Lang::t('password_mismatch');
        }
        return null;
    }

    /** Registration into the user table; $table holds that table's settings. */
    public function registerPage(?array $table): void
    {
        $app = $this->app;
        $s = $this->sec();
        if (!$s['register'] || !$this->usesTable() || $table === null) {
            throw new HttpError(404, Lang::t('forbidden'));
        }
        $t = Meta::table($table, $app->config);
        $db = $app->db();
        $fields = array_filter($t['fields'], static fn($f) => $f['register']
            && !in_array($f['name'], [$s['login_field'], $s['password_field']], true) && $f['control'] !== 'NO');
        $values = [];
        $errors = [];
        $login = '';
        if ($app->isPost()) {
            $app->checkCsrf();
            $login = trim($app->post('username'));
            if ($login === '') {
                $errors['username'] = Lang::t('required', Lang::t('username'));
            } elseif ((int)$db->value('SELECT COUNT(*) FROM ' . $db->qi($s['table']) . ' WHERE ' . $db->qi($s['login_field']) . ' = ?', [$login]) > 0) {
                $errors['username'] = Lang::t('login_taken');
            }
            $pwError = $this->passwordError($app->post('password'), $app->post('confirm'));
            if ($pwError !== null) {
                $errors['password'] = $pwError;
            }
            $row = [];
            foreach ($fields as $f) {
                [$value, $err] = Controls::read($app, $f);
                $values[$f['name']] = $value;
                if ($err !== null) {
                    $errors[$f['name']] = $err;
                } else {
                    $row[$f['name']] = $value;
                }
            }
            if (!$errors) {
                $row[$s['login_field']] = $login;
                $row[$s['password_field']] = password_hash($app->post('password'), PASSWORD_DEFAULT);
                $cols = array_map([$db, 'qi'], array_keys($row));
                try {
                    $db->run('INSERT INTO ' . $db->qi($s['table']) . ' (' . implode(', ', $cols) . ') VALUES ('
                        . implode(', ', array_fill(0, count($row), '?')) . ')', array_values($row));
                } catch (\PDOException $e) {
                    if (!Db::isConstraint($e)) {
                        throw $e;
                    }
                    $errors['username'] = Lang::t('save_failed');
                }
                if (!$errors) {
                    $app->flash('info', Lang::t('registered'));
                    $app->redirect($s['login_page']);
                }
            }
        } else {
            foreach ($fields as $f) {
                $values[$f['name']] = $f['default'];
            }
        }
        $html = '<section class="tw-panel tw-narrow"><h1>' . H::e(Lang::t('register')) . '</h1>';
        if ($errors) {
            $html .= '<div class="tw-msg tw-msg-error" role="alert">' . H::e(Lang::t('fix_errors')) . '<ul>';
            foreach ($errors as $e) {
                $html .= '<li>' . H::e($e) . '</li>';
            }
            $html .= '</ul></div>';
        }
        $html .= '<form method="post" action="register.php" class="tw-form">' . $app->csrfField()
            . '<label>' . H::e(Lang::t('username')) . '<input type="text" name="username" required autocomplete="username" value="' . H::e($login) . '"></label>'
            . '<label>' . H::e(Lang::t('password')) . '<input type="password" name="password" required autocomplete="new-password"></label>'
            . '<label>' . H::e(Lang::t('confirm_password')) . '<input type="password" name="confirm" required autocomplete="new-password"></label>';
        foreach ($fields as $f) {
            $html .= '<div class="tw-field"><span class="tw-label">' . H::e($f['caption']) . ($f['required'] ? ' *' : '') . '</span>'
                . Controls::render($app, $f, $values[$f['name']] ?? null, false) . '</div>';
        }
        $html .= '<div class="tw-buttons"><button type="submit" class="tw-btn tw-btn-primary">' . H::e(Lang::t('register'))
            . '</button></div></form></section>';
        $app->render(Lang::t('register'), $html);
    }

    public function changePasswordPage(): void
    {
        $app = $this->app;
        $s = $this->sec();
        if (!$app->securityOn() || !$s['change_password']) {
            throw new HttpError(404, Lang::t('forbidden'));
        }
        $app->requireLogin();
        $user = $app->user();
        $error = '';
        if (!empty($user['static'])) {
            $error = Lang::t('password_fixed');
        } elseif ($app->isPost()) {
            $app->checkCsrf();
            $db = $app->db();
            $hash = (string)$db->value('SELECT ' . $db->qi($s['password_field']) . ' FROM ' . $db->qi($s['table'])
                . ' WHERE ' . $db->qi($s['key']) . ' = ?', [$user['id']]);
            if ($hash === '' || !$this->verify($app->post('old'), $hash, (string)$user['login'])) {
                $error = Lang::t('old_password_wrong');
            } else {
                $error = $this->passwordError($app->post('new'), $app->post('confirm')) ?? '';
            }
            if ($error === '') {
                $db->run('UPDATE ' . $db->qi($s['table']) . ' SET ' . $db->qi($s['password_field']) . ' = ? WHERE '
                    . $db->qi($s['key']) . ' = ?', [password_hash($app->post('new'), PASSWORD_DEFAULT), $user['id']]);
                $app->regenerateSession();
                $app->flash('info', Lang::t('password_changed'));
                $app->redirect($app->config['app']['default_page']);
            }
        }
        $html = '<section class="tw-panel tw-narrow"><h1>' . H::e(Lang::t('change_password')) . '</h1>';
        if ($error !== '') {
            $html .= '<div class="tw-msg tw-msg-error" role="alert">' . H::e($error) . '</div>';
        }
        if (empty($user['static'])) {
            $html .= '<form method="post" action="changepwd.php" class="tw-form">' . $app->csrfField()
                . '<label>' . H::e(Lang::t('old_password')) . '<input type="password" name="old" required autocomplete="current-password"></label>'
                . '<label>' . H::e(Lang::t('new_password')) . '<input type="password" name="new" required autocomplete="new-password"></label>'
                . '<label>' . H::e(Lang::t('confirm_password')) . '<input type="password" name="confirm" required autocomplete="new-password"></label>'
                . '<div class="tw-buttons"><button type="submit" class="tw-btn tw-btn-primary">' . H::e(Lang::t('change_password'))
                . '</button></div></form>';
        }
        $html .= '</section>';
        $app->render(Lang::t('change_password'), $html);
    }
}
