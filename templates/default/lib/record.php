<?php
// The record pages: view, add (and copy), edit and delete with confirmation.
declare(strict_types=1);

namespace Tarnwick;

final class RecordPage
{
    private Db $db;

    public function __construct(private readonly App $app, private readonly array $t)
    {
        $this->db = $app->db();
        if (!$t['key']) {
            throw new HttpError(404, Lang::t('forbidden'));
        }
    }

    public function run(string $page): void
    {
        match ($page) {
            'view' => $this->view(),
            'add' => $this->add(),
            'edit' => $this->edit(),
            'delete' => $this->delete(),
        };
    }

    private function page(string $kind): ?string
    {
        return $this->t['pages'][$kind] ?? null;
    }

    private function keyFrom(string $text): array
    {
        $key = Keys::decode($this->t, $text);
        if ($key === null) {
            throw new HttpError(404, Lang::t('not_found'));
        }
        return $key;
    }

    /** The record with every field; binary columns only say whether they hold data. */
    private function load(array $key): ?array
    {
        $cols = [];
        foreach ($this->t['fields'] as $f) {
            $cols[] = $this->db->column($f);
        }
        [$where, $params] = Keys::where($this->db, $key);
        return $this->db->one('SELECT ' . implode(', ', $cols) . ' FROM ' . $this->db->qi($this->t['name']) . $where, $params);
    }

    private function fieldByVar(string $var): ?array
    {
        foreach ($this->t['fields'] as $f) {
            if ($f['var'] === $var) {
                return $f;
            }
        }
        return null;
    }

    private function fileUrl(array $f, string $key): ?string
    {
        $view = $this->page('view');
        return $view === null ? null : H::url($view, ['key' => $key, $f['kind'] === 'blob' ? 'blob' : 'file' => $f['var']]);
    }

    // ---- view --------------------------------------------------------------------

    private function view(): void
    {
        $keyText = $this->app->query('key');
        $key = $this->keyFrom($keyText);
        foreach (['blob', 'file'] as $what) {
            $var = $this->app->query($what);
            if ($var !== '') {
                $this->sendFile($what, $var, $key);
                return;
            }
        }
        $row = $this->load($key);
        if ($row === null) {
            throw new HttpError(404, Lang::t('not_found'));
        }
        $html = '<h1>' . H::e($this->t['caption']) . '</h1><div class="tw-toolbar">';
        $html .= $this->recordLinks($keyText, 'view') . '</div><table class="tw-grid tw-record">';
        foreach ($this->t['fields'] as $f) {
            if (!$f['view']) {
                continue;
            }
            $html .= '<tr><th scope="row">' . H::e($f['caption']) . '</th><td class="' . Format::cellClass($f) . '" id="tw_view_' . H::e($f['var']) . '">'
                . $this->shown($f, $row[$f['name']] ?? null, $keyText) . '</td></tr>';
        }
        $html .= '</table>';
        if ($this->t['details']) {
            $html .= '<section class="tw-panel"><h2>' . H::e(Lang::t('details')) . '</h2><ul class="tw-details">';
            foreach ($this->t['details'] as $d) {
                $where = [];
                $params = [];
                foreach ($d['detail_fields'] as $i => $df) {
                    $where[] = $this->db->qi($df) . ' = ?';
                    $params[] = $row[$d['master_fields'][$i]];
                }
                $n = (int)$this->db->value('SELECT COUNT(*) FROM ' . $this->db->qi($d['table']) . ' WHERE ' . implode(' AND ', $where), $params);
                $html .= '<li><a href="' . H::e(ListPage::detailUrl($this->t, $d, $row)) . '">' . H::e($d['caption']) . '</a> <span class="tw-badge">'
                    . $n . '</span></li>';
            }
            $html .= '</ul></section>';
        }
        $this->app->render($this->t['caption'], $html);
    }

    private function shown(array $f, mixed $v, string $keyText): string
    {
        if ($f['kind'] === 'blob' || ($f['control'] === 'FILE' && $f['upload']['store'] === 'file')) {
            if (!$v) {
                return '';
            }
            $url = $this->fileUrl($f, $keyText);
            if ($f['view_tag'] === 'IMAGE') {
                return '<img class="tw-image" src="' . H::e($url) . '" alt="' . H::e($f['caption']) . '"'
                    . H::attrs(['width' => $f['img_width'] ?: null, 'height' => $f['img_height'] ?: null]) . '>';
            }
            return '<a href="' . H::e($url) . '">' . H::e(Lang::t('file')) . '</a>';
        }
        if (($tick = Format::tick($f, $v)) !== null) {
            return $tick;
        }
        $display = null;
        if ($f['lookup'] !== null && $v !== null) {
            $display = Controls::lookupLabels($this->app, $f, [$v])[(string)$v] ?? (string)$v;
        }
        return Format::html($f, $v, $display);
    }

    private function recordLinks(string $keyText, string $here): string
    {
        $html = '';
        $links = ['view' => $this->page('view'), 'edit' => $this->page('edit'),
            'copy' => $this->t['copy'] ? $this->page('add') : null, 'delete' => $this->page('delete')];
        foreach ($links as $kind => $page) {
            if ($page === null || $kind === $here) {
                continue;
            }
            $params = $kind === 'copy' ? ['copy' => $keyText] : ['key' => $keyText];
            $html .= '<a class="tw-btn' . ($kind === 'delete' ? ' tw-btn-danger' : '') . '" href="' . H::e(H::url($page, $params)) . '">'
                . H::e(Lang::t($kind)) . '</a> ';
        }
        if ($list = $this->page('list')) {
            $html .= '<a class="tw-btn tw-btn-plain" href="' . H::e($list) . '">' . H::e(Lang::t('back_to_list')) . '</a>';
        }
        return $html;
    }

    private function sendFile(string $what, string $var, array $key): void
    {
        $f = $this->fieldByVar($var);
        if ($f === null || !$f['view'] || ($what === 'blob') !== ($f['kind'] === 'blob')) {
            throw new HttpError(404, Lang::t('not_found'));
        }
        [$where, $params] = Keys::where($this->db, $key);
        $v = $this->db->value('SELECT ' . $this->db->qi($f['name']) . ' FROM ' . $this->db->qi($this->t['name']) . $where, $params);
        if ($what === 'blob') {
            $data = Db::blobText($v);
        } else {
            $path = Upload::dir($this->app) . '/' . basename((string)$v);
            $data = ($v !== null && $v !== '' && is_file($path)) ? (string)file_get_contents($path) : null;
        }
        if ($data === null || $data === '') {
            throw new HttpError(404, Lang::t('not_found'));
        }
        Upload::send($this->app, $data, $what === 'blob' ? $this->t['var'] . '_' . $var : basename((string)$v));
    }

    // ---- add and edit ------------------------------------------------------------

    /** Fields shown on the add or edit form. */
    private function formFields(string $mode): array
    {
        $fields = array_filter($this->t['fields'], static fn($f) => $mode === 'add'
            ? ($f['add'] && $f['control'] !== 'NO' && !$f['auto_increment'])
            : $f['edit']);
        if ($mode === 'add') {
            foreach ($fields as $n => $f) {
                // a column with a default of the database may be left empty
                $fields[$n]['required'] = $f['required'] && !$f['db_default'];
            }
        }
        return $fields;
    }

    /**
     * Reads the posted form: [columns to store, values to show again, errors,
     * stored files to discard after saving].
     */
    private function readForm(string $mode, ?array $old): array
    {
        $row = [];
        $shown = [];
        $errors = [];
        $discard = [];
        foreach ($this->formFields($mode) as $f) {
            if ($f['control'] === 'NO' || $f['readonly']) {
                continue;
            }
            $name = $f['name'];
            if ($f['control'] === 'FILE') {
                $has = $old !== null && !empty($old[$name]);
                $r = Upload::read($this->app, $f, $has);
                if ($r[0] === 'error') {
                    $errors[$name] = $r[1];
                } elseif ($r[0] === 'remove') {
                    $row[$name] = null;
                    $discard[] = [$f, $old[$name] ?? null];
                } elseif ($r[0] === 'set') {
                    $row[$name] = $r[1];
                    if ($has) {
                        $discard[] = [$f, $old[$name]];
                    }
                }
                $shown[$name] = $old[$name] ?? null;
                continue;
            }
            if ($f['control'] === 'PASSWORD') {
                $pw = $this->app->post($f['var']);
                if ($pw === '') {
                    if ($mode === 'add' && $f['required']) {
                        $errors[$name] = Lang::t('required', $f['caption']);
                    }
                    continue;
                }
                $row[$name] = $f['password'] ? password_hash($pw, PASSWORD_DEFAULT) : $pw;
                continue;
            }
            $raw = $_POST[$f['var']] ?? null;
            $shown[$name] = is_array($raw) ? array_values(array_filter($raw, 'is_string')) : (is_string($raw) ? $raw : null);
            if ($mode === 'add' && $f['db_default'] && self::leftEmpty($raw)) {
                continue; // left empty, the database fills in its default
            }
            [$value, $err] = Controls::read($this->app, $f, $old[$name] ?? null, $old !== null);
            if ($err !== null) {
                $errors[$name] = $err;
            } else {
                $row[$name] = $value;
            }
        }
        return [$row, $shown, $errors, $discard];
    }

    /** Whether the form marks the field as one to fill in: an empty set and a kept password are values. */
    private static function mustFill(array $f, bool $existing): bool
    {
        return $f['required'] && $f['control'] !== 'NO' && !$f['set'] && !($f['control'] === 'PASSWORD' && $existing);
    }

    private static function leftEmpty(mixed $raw): bool
    {
        return $raw === null || $raw === [] || (is_string($raw) && trim($raw) === '');
    }

    private function form(string $mode, array $values, array $errors, string $action, ?string $keyText, bool $existing): string
    {
        $multipart = false;
        foreach ($this->formFields($mode) as $f) {
            $multipart = $multipart || $f['control'] === 'FILE';
        }
        $html = '';
        if ($errors) {
            $html .= '<div class="tw-msg tw-msg-error" role="alert">' . H::e(Lang::t('fix_errors')) . '<ul>';
            foreach ($errors as $e) {
                $html .= '<li>' . H::e($e) . '</li>';
            }
            $html .= '</ul></div>';
        }
        $html .= '<form method="post" action="' . H::e($action) . '" class="tw-form tw-record-form" id="tw_form_' . H::e($mode) . '"'
            . ($multipart ? ' enctype="multipart/form-data"' : '') . ' novalidate>' . $this->app->csrfField();
        $html .= '<table class="tw-grid tw-record">';
        foreach ($this->formFields($mode) as $f) {
            $err = $errors[$f['name']] ?? null;
            $blobUrl = ($existing && $keyText !== null && $f['control'] === 'FILE') ? $this->fileUrl($f, $keyText) : null;
            $html .= '<tr' . ($err !== null ? ' class="tw-invalid"' : '') . '><th scope="row"><label for="tw_' . H::e($f['var']) . '">'
                . H::e($f['caption']) . (self::mustFill($f, $existing) ? ' <span class="tw-req">*</span>' : '') . '</label></th><td>'
                . Controls::render($this->app, $f, $values[$f['name']] ?? null, $existing, $blobUrl)
                . ($mode === 'add' && $f['db_default'] && $f['control'] !== 'NO' ? '<div class="tw-note">' . H::e(Lang::t('db_default')) . '</div>' : '')
                . ($err !== null ? '<div class="tw-field-error">' . H::e($err) . '</div>' : '') . '</td></tr>';
        }
        $html .= '</table><div class="tw-buttons"><button type="submit" class="tw-btn tw-btn-primary">'
            . H::e(Lang::t($mode === 'add' ? 'add' : 'save')) . '</button> ';
        if ($list = $this->page('list')) {
            $html .= '<a class="tw-btn tw-btn-plain" href="' . H::e($list) . '">' . H::e(Lang::t('cancel')) . '</a>';
        }
        return $html . '</div></form>';
    }

    private function afterSave(array $key, string $message): never
    {
        $this->app->flash('success', $message);
        $keyText = Keys::encode($this->t, $key);
        if ($view = $this->page('view')) {
            $this->app->redirect(H::url($view, ['key' => $keyText]));
        }
        $this->app->redirect($this->page('list') ?? $this->app->config['app']['default_page']);
    }

    private function add(): void
    {
        $values = [];
        $errors = [];
        $params = [];
        foreach (['copy', 'master'] as $p) {
            if ($this->app->query($p) !== '') {
                $params[$p] = $this->app->query($p);
            }
        }
        if ($this->app->isPost()) {
            $this->app->checkCsrf();
            [$row, $values, $errors] = $this->readForm('add', null);
            if (!$errors) {
                $autoKey = null;
                foreach ($this->t['key'] as $k) {
                    if ($this->t['fields'][$k]['auto_increment']) {
                        $autoKey = $k;
                    }
                }
                try {
                    $this->db->insert($this->t['name'], $row, $autoKey);
                } catch (\PDOException $e) {
                    $refusal = $row ? Db::refusal($e) : null;
                    if ($refusal === null) {
                        throw $e;
                    }
                    $errors['_'] = Lang::t($refusal);
                }
                if (!$errors) {
                    $key = [];
                    foreach ($this->t['key'] as $k) {
                        $key[$k] = ($this->t['fields'][$k]['auto_increment'] || !array_key_exists($k, $row)) ? $this->db->lastId() : $row[$k];
                    }
                    $this->afterSave($key, Lang::t('added'));
                }
            }
        } else {
            foreach ($this->formFields('add') as $f) {
                $values[$f['name']] = $f['default'];
            }
            if (isset($params['copy'])) {
                $src = $this->load($this->keyFrom($params['copy']));
                if ($src === null || !$this->t['copy']) {
                    throw new HttpError(404, Lang::t('not_found'));
                }
                foreach ($this->formFields('add') as $f) {
                    if ($f['control'] !== 'FILE' && $f['control'] !== 'PASSWORD') {
                        $values[$f['name']] = $src[$f['name']];
                    }
                }
            }
            foreach ($this->t['masters'] as $m) {
                if (($params['master'] ?? '') !== $m['table']) {
                    continue;
                }
                foreach ($m['detail_fields'] as $df) {
                    $var = $this->t['fields'][$df]['var'];
                    $values[$df] = $this->app->query('fk_' . $var);
                    $params['fk_' . $var] = $values[$df];
                }
            }
        }
        $html = '<h1>' . H::e($this->t['caption']) . ': ' . H::e(Lang::t(isset($params['copy']) ? 'copy' : 'add')) . '</h1>'
            . $this->form('add', $values, $errors, H::url($this->page('add'), $params), null, false);
        $this->app->render($this->t['caption'], $html);
    }

    private function edit(): void
    {
        $keyText = $this->app->query('key');
        $key = $this->keyFrom($keyText);
        $old = $this->load($key);
        if ($old === null) {
            throw new HttpError(404, Lang::t('not_found'));
        }
        $values = $old;
        $errors = [];
        if ($this->app->isPost()) {
            $this->app->checkCsrf();
            [$row, $shown, $errors, $discard] = $this->readForm('edit', $old);
            $values = $shown + $old;
            if (!$errors) {
                if ($row) {
                    [$where, $params] = Keys::where($this->db, $key);
                    $sets = implode(', ', array_map(fn($c) => $this->db->qi($c) . ' = ?', array_keys($row)));
                    try {
                        $this->db->run('UPDATE ' . $this->db->qi($this->t['name']) . ' SET ' . $sets . $where,
                            array_merge(array_values($row), $params));
                    } catch (\PDOException $e) {
                        $refusal = Db::refusal($e);
                        if ($refusal === null) {
                            throw $e;
                        }
                        $errors['_'] = Lang::t($refusal);
                    }
                }
                if (!$errors) {
                    foreach ($discard as [$f, $file]) {
                        Upload::discard($this->app, $f, $file);
                    }
                    foreach ($this->t['key'] as $k) {
                        if (array_key_exists($k, $row)) {
                            $key[$k] = (string)$row[$k];
                        }
                    }
                    $this->afterSave($key, Lang::t('updated'));
                }
            }
        }
        $html = '<h1>' . H::e($this->t['caption']) . ': ' . H::e(Lang::t('edit')) . '</h1>'
            . $this->form('edit', $values, $errors, H::url($this->page('edit'), ['key' => $keyText]), $keyText, true);
        $this->app->render($this->t['caption'], $html);
    }

    // ---- delete ------------------------------------------------------------------

    private function delete(): void
    {
        $app = $this->app;
        $keyTexts = $app->isPost() ? $app->postList('keys') : [];
        if (!$keyTexts && $app->query('key') !== '') {
            $keyTexts = [$app->query('key')];
        }
        if ($app->isPost()) {
            $app->checkCsrf();
        }
        $keyTexts = array_values(array_unique($keyTexts));
        if (!$keyTexts) {
            $app->flash('error', Lang::t('no_selection'));
            $app->redirect($this->page('list') ?? $app->config['app']['default_page']);
        }
        $records = [];
        foreach ($keyTexts as $kt) {
            $row = $this->load($this->keyFrom($kt));
            if ($row === null) {
                throw new HttpError(404, Lang::t('not_found'));
            }
            $records[$kt] = $row;
        }
        if ($app->isPost() && $app->post('confirm') === '1') {
            $pdo = $this->db->pdo;
            $pdo->beginTransaction();
            try {
                foreach ($records as $kt => $row) {
                    [$where, $params] = Keys::where($this->db, $this->keyFrom((string)$kt));
                    $this->db->run('DELETE FROM ' . $this->db->qi($this->t['name']) . $where, $params);
                }
                $pdo->commit();
            } catch (\PDOException $e) {
                $pdo->rollBack();
                if (!Db::isConstraint($e)) {
                    throw $e;
                }
                $app->flash('error', Lang::t('delete_failed'));
                $app->redirect($this->page('list') ?? $app->config['app']['default_page']);
            }
            foreach ($records as $row) {
                foreach ($this->t['fields'] as $f) {
                    if ($f['control'] === 'FILE') {
                        Upload::discard($app, $f, $row[$f['name']] ?? null);
                    }
                }
            }
            $app->flash('success', Lang::t('deleted', count($records)));
            $app->redirect($this->page('list') ?? $app->config['app']['default_page']);
        }
        $fields = array_filter($this->t['fields'], static fn($f) => $f['list'] && $f['kind'] !== 'blob');
        $html = '<h1>' . H::e($this->t['caption']) . ': ' . H::e(Lang::t('delete')) . '</h1>'
            . '<div class="tw-msg tw-msg-warning">' . H::e(Lang::t('delete_confirm')) . '</div>'
            . '<div class="tw-scroll"><table class="tw-grid tw-list"><thead><tr>';
        foreach ($fields as $f) {
            $html .= '<th>' . H::e($f['caption']) . '</th>';
        }
        $html .= '</tr></thead><tbody>';
        foreach ($records as $kt => $row) {
            $html .= '<tr class="tw-row">';
            foreach ($fields as $f) {
                $html .= '<td class="' . Format::cellClass($f) . '">' . $this->shown($f, $row[$f['name']] ?? null, (string)$kt) . '</td>';
            }
            $html .= '</tr>';
        }
        $html .= '</tbody></table></div><form method="post" action="' . H::e($this->page('delete')) . '" class="tw-form">' . $app->csrfField()
            . '<input type="hidden" name="confirm" value="1">';
        foreach (array_keys($records) as $kt) {
            $html .= '<input type="hidden" name="keys[]" value="' . H::e((string)$kt) . '">';
        }
        $html .= '<div class="tw-buttons"><button type="submit" class="tw-btn tw-btn-danger">' . H::e(Lang::t('delete_confirm_button')) . '</button> ';
        if ($list = $this->page('list')) {
            $html .= '<a class="tw-btn tw-btn-plain" href="' . H::e($list) . '">' . H::e(Lang::t('cancel')) . '</a>';
        }
        $html .= '</div></form>';
        $app->render($this->t['caption'], $html);
    }
}
