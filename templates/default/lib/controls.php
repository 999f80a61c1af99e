<?php
// Edit controls: drawing them with the current value and reading what the
// user sent back, with the field's checks.
declare(strict_types=1);

namespace Tarnwick;

final class Controls
{
    /** @var array<string,list<array{0:string,1:string}>> */
    private static array $optionCache = [];

    /** Lookup choices offered in a form at once; larger lookup tables are searched by typing. */
    public const LOOKUP_PAGE = 100;

    /** The choices of a RADIO, CHECKBOX or SELECT field: its value list or (the first page of) its lookup table. */
    public static function options(App $app, array $f): array
    {
        if ($f['lookup'] === null) {
            if (!$f['values'] && $f['kind'] === 'bool') {
                return [['1', Lang::t('yes')], ['0', Lang::t('no')]];
            }
            return $f['values'];
        }
        $cacheKey = $f['name'] . '|' . $f['lookup']['table'];
        if (!isset(self::$optionCache[$cacheKey])) {
            self::$optionCache[$cacheKey] = self::lookupPage($app, $f, '', 0, self::LOOKUP_PAGE);
        }
        return self::$optionCache[$cacheKey]['items'];
    }

    /** True when the lookup table holds more choices than a form offers at once. */
    public static function lookupIsLarge(App $app, array $f): bool
    {
        if ($f['lookup'] === null) {
            return false;
        }
        self::options($app, $f);
        return self::$optionCache[$f['name'] . '|' . $f['lookup']['table']]['more'];
    }

    private static function lookupSelect(Db $db, array $l): string
    {
        return 'SELECT ' . ($l['distinct'] ? 'DISTINCT ' : '') . $db->qi($l['value']) . ' AS v, ' . $db->qi($l['display']) . ' AS d'
            . ($l['display2'] !== '' ? ', ' . $db->qi($l['display2']) . ' AS d2' : '') . ' FROM ' . $db->qi($l['table']);
    }

    private static function label(array $r): string
    {
        $label = (string)$r['d'];
        if (isset($r['d2']) && $r['d2'] !== null && $r['d2'] !== '') {
            $label .= ', ' . $r['d2'];
        }
        return $label;
    }

    /**
     * One page of a lookup's choices whose display texts contain $term:
     * ['items' => [[value, label], ...], 'more' => whether later pages hold more].
     */
    public static function lookupPage(App $app, array $f, string $term, int $page, int $size): array
    {
        $l = $f['lookup'];
        $db = $app->db();
        $where = $l['filter'] ? ['(' . $l['filter'] . ')'] : [];
        $params = [];
        if ($term !== '') {
            $like = [];
            foreach (array_unique(array_filter([$l['display'], $l['display2'], $l['value']])) as $col) {
                $like[] = $db->like($col);
                $params[] = '%' . Db::likeEscape($term) . '%';
            }
            $where[] = '(' . implode(' OR ', $like) . ')';
        }
        $order = $db->qi($l['order'] !== '' ? $l['order'] : $l['display'])
            . (strtoupper((string)$l['order_dir']) === 'DESC' ? ' DESC' : ' ASC');
        $sql = self::lookupSelect($db, $l) . ($where ? ' WHERE ' . implode(' AND ', $where) : '')
            . ' ORDER BY ' . $order . ($l['distinct'] ? '' : ', ' . $db->qi($l['value'])) . ' LIMIT ? OFFSET ?';
        array_push($params, $size + 1, max(0, $page) * $size);
        $items = [];
        foreach ($db->all($sql, $params) as $r) {
            $items[] = [(string)$r['v'], self::label($r)];
        }
        $more = count($items) > $size;
        return ['items' => array_slice($items, 0, $size), 'more' => $more];
    }

    /**
     * The lookup search of an add, edit or search form: JSON of the choices
     * whose texts contain "q", page "page" (from 0). Only for a field of the
     * form with a lookup, and only with the session's token.
     */
    public static function lookupJson(App $app, array $t): void
    {
        $var = $app->query('lookup');
        $f = null;
        foreach ($t['fields'] as $candidate) {
            if ($candidate['var'] === $var && $candidate['lookup'] !== null && ($candidate['edit'] || $candidate['add'] || $candidate['search'])) {
                $f = $candidate;
            }
        }
        $sent = $app->query('tw_token');
        if ($f === null || $sent === '' || empty($_SESSION['tw_csrf']) || !hash_equals((string)$_SESSION['tw_csrf'], $sent)) {
            throw new HttpError(404, Lang::t('bad_request'));
        }
        $term = Format::cut(trim($app->query('q')), 100);
        $page = min(10000, max(0, (int)$app->query('page', '0')));
        $result = self::lookupPage($app, $f, $term, $page, self::LOOKUP_PAGE);
        $app->cleanOutput();
        header('Content-Type: application/json; charset=utf-8');
        header('Cache-Control: no-store');
        echo json_encode(['items' => array_map(static fn($i) => ['value' => $i[0], 'label' => $i[1]], $result['items']),
            'more' => $result['more'], 'page' => $page], JSON_UNESCAPED_UNICODE | JSON_INVALID_UTF8_SUBSTITUTE);
    }

    /**
     * Display texts of lookup values, in one query per field.
     * @return array<string,string>
     */
    public static function lookupLabels(App $app, array $f, array $values): array
    {
        $values = array_values(array_unique(array_filter(array_map(
            static fn($v) => $v === null ? null : (string)$v, $values), static fn($v) => $v !== null && $v !== '')));
        if ($f['lookup'] === null || !$values) {
            return [];
        }
        $l = $f['lookup'];
        $db = $app->db();
        $out = [];
        foreach (array_chunk($values, 500) as $chunk) {
            $sql = 'SELECT ' . $db->qi($l['value']) . ' AS v, ' . $db->qi($l['display']) . ' AS d'
                . ($l['display2'] !== '' ? ', ' . $db->qi($l['display2']) . ' AS d2' : '')
                . ' FROM ' . $db->qi($l['table']) . ' WHERE ' . $db->qi($l['value']) . ' IN ('
                . implode(', ', array_fill(0, count($chunk), '?')) . ')';
            foreach ($db->all($sql, $chunk) as $r) {
                $label = (string)$r['d'];
                if (isset($r['d2']) && $r['d2'] !== null && $r['d2'] !== '') {
                    $label .= ', ' . $r['d2'];
                }
                $out[(string)$r['v']] = $label;
            }
        }
        return $out;
    }

    private static function isSet(array $f): bool
    {
        return ($f['control'] === 'CHECKBOX' || $f['control'] === 'SELECT') && $f['multiple'];
    }

    /** HTML of the edit control for a field holding $value. */
    public static function render(App $app, array $f, mixed $value, bool $existing, ?string $blobUrl = null): string
    {
        $name = $f['var'];
        $id = 'tw_' . $name;
        $text = is_array($value) ? '' : Validate::toInput($f, $value);
        if ($f['readonly'] || $f['control'] === 'NO') {
            $shown = $f['lookup'] !== null ? (self::lookupLabels($app, $f, [$value])[(string)$value] ?? $text) : Format::text($f, $value);
            return '<span class="tw-readonly" id="' . H::e($id) . '">' . H::e($shown) . '</span>';
        }
        $req = $f['required'];
        switch ($f['control']) {
            case 'HIDDEN':
                return '<input type="hidden" name="' . H::e($name) . '" value="' . H::e($text) . '">';
            case 'PASSWORD':
                return '<input type="password" id="' . H::e($id) . '" name="' . H::e($name) . '" autocomplete="new-password"'
                    . H::attrs(['size' => $f['tag_size'] ?: null, 'required' => $req && !$existing]) . '>';
            case 'TEXTAREA':
                return '<textarea id="' . H::e($id) . '" name="' . H::e($name) . '"'
                    . H::attrs(['cols' => $f['tag_cols'] ?: 35, 'rows' => $f['tag_rows'] ?: 4, 'required' => $req,
                        'maxlength' => $f['tag_maxlength'] ?: null]) . ">\n" . H::e($text) . '</textarea>';
            case 'RADIO':
                if (self::lookupIsLarge($app, $f)) {
                    $f['control'] = 'SELECT';
                    return self::render($app, $f, $value, $existing, $blobUrl);
                }
                $out = '<span class="tw-choices" id="' . H::e($id) . '">';
                foreach (self::withCurrent($app, $f, self::options($app, $f), $value, $existing) as $i => [$v, $label]) {
                    $out .= '<label class="tw-choice"><input type="radio" name="' . H::e($name) . '" value="' . H::e($v) . '"'
                        . H::attrs(['checked' => $value !== null && (string)$value === $v, 'required' => $req && $i === 0]) . '> '
                        . H::e($label) . '</label>';
                }
                return $out . '</span>';
            case 'CHECKBOX':
                $opts = self::options($app, $f);
                if (self::isSet($f)) {
                    $chosen = is_array($value) ? $value : explode(',', (string)$value);
                    $out = '<span class="tw-choices" id="' . H::e($id) . '">';
                    foreach ($opts as [$v, $label]) {
                        $out .= '<label class="tw-choice"><input type="checkbox" name="' . H::e($name) . '[]" value="' . H::e($v) . '"'
                            . H::attrs(['checked' => in_array($v, $chosen, true)]) . '> ' . H::e($label) . '</label>';
                    }
                    return $out . '</span>';
                }
                $on = $opts[0] ?? ['1', Lang::t('yes')];
                return '<label class="tw-choice"><input type="checkbox" id="' . H::e($id) . '" name="' . H::e($name) . '" value="'
                    . H::e($on[0]) . '"' . H::attrs(['checked' => $value !== null && (string)$value === $on[0]]) . '> '
                    . H::e($on[1]) . '</label>';
            case 'SELECT':
                $multi = self::isSet($f);
                $chosen = is_array($value) ? $value : ($multi ? explode(',', (string)$value) : [(string)$value]);
                $large = !$multi && self::lookupIsLarge($app, $f);
                $out = $large ? '<span class="tw-lookup"><input type="search" class="tw-lookup-search" aria-label="'
                    . H::e(Lang::t('search') . ': ' . $f['caption']) . '" placeholder="' . H::e(Lang::t('search')) . '" data-for="' . H::e($id)
                    . '" data-url="' . H::e(H::url(basename((string)($_SERVER['SCRIPT_NAME'] ?? '')), ['lookup' => $name, 'tw_token' => $app->csrfToken()]))
                    . '"> ' : '';
                $out .= '<select id="' . H::e($id) . '" name="' . H::e($name) . ($multi ? '[]' : '') . '"'
                    . H::attrs(['multiple' => $multi, 'required' => $req]) . '>';
                if (!$multi) {
                    $out .= '<option value="">' . H::e(Lang::t('please_select')) . '</option>';
                }
                $opts = $multi ? self::options($app, $f) : self::withCurrent($app, $f, self::options($app, $f), $value, $existing);
                foreach ($opts as [$v, $label]) {
                    $out .= '<option value="' . H::e($v) . '"' . H::attrs(['selected' => $value !== null && in_array($v, $chosen, true)])
                        . '>' . H::e($label) . '</option>';
                }
                if ($large) {
                    $out .= '<option value="" disabled class="tw-lookup-more">' . H::e(Lang::t('type_to_search')) . '</option>';
                }
                return $out . '</select>' . ($large ? '</span>' : '');
            case 'FILE':
                $out = '';
                // a binary column is read as 1 or 0 (whether it holds data)
                $has = $f['kind'] === 'blob' ? (int)$value === 1 : ($value !== null && $value !== '' && $value !== false);
                if ($existing && $has) {
                    if ($blobUrl !== null && $f['view_tag'] === 'IMAGE') {
                        $out .= '<img class="tw-thumb" src="' . H::e($blobUrl) . '" alt="">';
                    }
                    $out .= '<span class="tw-choices">';
                    foreach (['keep' => 'keep_file', 'remove' => 'remove_file', 'replace' => 'replace_file'] as $v => $label) {
                        $out .= '<label class="tw-choice"><input type="radio" name="a_' . H::e($name) . '" value="' . $v . '"'
                            . ($v === 'keep' ? ' checked' : '') . '> ' . H::e(Lang::t($label)) . '</label>';
                    }
                    $out .= '</span>';
                }
                $accept = implode(',', array_map(static fn($e) => '.' . $e, (array)$f['upload']['extensions']));
                return $out . '<input type="file" id="' . H::e($id) . '" name="' . H::e($name) . '"'
                    . H::attrs(['accept' => $accept, 'required' => $req && !($existing && $has),
                        'data-max-size' => (string)$f['upload']['max_size']]) . '>';
        }
        if (str_contains($text, "\n") || str_contains($text, "\r")) {
            // a one-line input would drop the line breaks of the text it holds
            return '<textarea id="' . H::e($id) . '" name="' . H::e($name) . '"'
                . H::attrs(['cols' => $f['tag_cols'] ?: 35, 'rows' => $f['tag_rows'] ?: 4, 'required' => $req,
                    'maxlength' => $f['tag_maxlength'] ?: null]) . ">\n" . H::e($text) . '</textarea>';
        }
        $check = Validate::effective($f);
        if ($f['calendar'] && ($input = self::calendarType($f)) !== null) {
            // The browser's own date/time picker, which sends ISO values.
            return '<input' . H::attrs(['type' => $input, 'id' => $id, 'name' => $name,
                'value' => self::calendarValue($f, $value), 'required' => $req,
                'step' => $input === 'date' ? null : 1]) . '>';
        }
        $attrs = ['type' => 'text', 'id' => $id, 'name' => $name, 'value' => $text,
            'size' => $f['tag_size'] ?: null, 'maxlength' => $f['tag_maxlength'] ?: null, 'required' => $req];
        if ($check === 'INTEGER') {
            $attrs['inputmode'] = 'numeric';
            $attrs['pattern'] = '[+\-]?[0-9]+';
        } elseif ($check === 'FLOAT') {
            $attrs['inputmode'] = 'decimal';
            $attrs['pattern'] = '[+\-]?([0-9]+([.][0-9]*)?|[.][0-9]+)([eE][+\-]?[0-9]+)?';
        } elseif (in_array($check, ['DATE', 'USDATE', 'EURODATE'], true)) {
            $attrs['placeholder'] = Validate::datePattern(Validate::dateOrder($check));
        } elseif ($check === 'TIME') {
            $attrs['placeholder'] = 'hh:mm:ss';
        }
        return '<input' . H::attrs($attrs) . '>';
    }

    /** The input type of a field with the browser's date/time picker; null for other kinds. */
    public static function calendarType(array $f): ?string
    {
        return ['date' => 'date', 'datetime' => 'datetime-local', 'time' => 'time'][$f['kind']] ?? null;
    }

    /** A stored date, date-time or time as the picker's ISO value. */
    private static function calendarValue(array $f, mixed $value): string
    {
        if ($value === null || is_array($value) || ($p = Format::parseStored((string)$value)) === null) {
            return '';
        }
        $date = sprintf('%04d-%02d-%02d', $p['y'], $p['m'], $p['d']);
        $time = sprintf('%02d:%02d:%02d', $p['H'], $p['i'], $p['s']);
        return match ($f['kind']) {
            'date' => $p['date'] ? $date : '',
            'datetime' => $p['date'] ? $date . 'T' . $time : '',
            default => $time,
        };
    }

    /**
     * The choices with the stored value among them: a value beyond the first
     * page of a lookup (or no longer in its list) is still offered, so that
     * saving the form keeps it.
     */
    private static function withCurrent(App $app, array $f, array $opts, mixed $value, bool $existing): array
    {
        // (a new record's default that is not among the choices is no value of a record)
        if ((!$existing && $f['default'] !== null && (string)$value === (string)$f['default']) || $value === null || is_array($value) || (string)$value === '' || in_array((string)$value, array_column($opts, 0), true)) {
            return $opts;
        }
        $v = (string)$value;
        $label = $f['lookup'] !== null ? (self::lookupLabels($app, $f, [$v])[$v] ?? $v) : Format::text($f, $v);
        return array_merge([[$v, $label]], $opts);
    }

    /**
     * Reads a posted value: [stored value, error or null]. Choices must be
     * among the offered values; the stored value ($old, on an edit form)
     * stays acceptable, and an empty entry keeps an empty stored text.
     */
    public static function read(App $app, array $f, mixed $old = null, bool $existing = false): array
    {
        $name = $f['var'];
        if ($f['control'] === 'CHECKBOX' && !self::isSet($f)) {
            $opts = self::options($app, $f);
            $posted = $app->post($name);
            if ($posted === '') {
                if ($existing && $old === null && $f['nullable']) {
                    return [null, null]; // an unticked box over no value: a box has no third state to show
                }
                $off = $opts[1][0] ?? null;
                if ($off === null && $existing && ($old === null || (string)$old !== ($opts[0][0] ?? '1'))) {
                    return [$old, null]; // a box that was not ticked keeps what it did not show
                }
                if ($off === null && $f['required']) {
                    return [null, Lang::t('required', $f['caption'])];
                }
                return [$off === null ? null : Validate::convert($f, $off)[0], null];
            }
            if ($posted !== ($opts[0][0] ?? '1')) {
                return [null, Lang::t('invalid_choice', $f['caption'])];
            }
            return Validate::convert($f, $posted);
        }
        if (self::isSet($f)) {
            $chosen = $app->postList($name);
            $allowed = array_column(self::options($app, $f), 0);
            foreach ($chosen as $c) {
                if (!in_array($c, $allowed, true)) {
                    return [null, Lang::t('invalid_choice', $f['caption'])];
                }
            }
            // members in the order of the list, as the database keeps them
            $chosen = array_values(array_filter($allowed, static fn($a) => in_array($a, $chosen, true)));
            if (!$chosen) {
                if ($existing && ($old === null || (string)$old === '')) {
                    return [$old, null];
                }
                return $f['required'] || !$f['nullable'] ? ['', null] : [null, null];
            }
            return Validate::convert($f, implode(',', $chosen), $old, $existing);
        }
        $posted = $app->post($name);
        $keeps = $existing && $old !== null && $posted === (string)$old;
        if (in_array($f['control'], ['RADIO', 'SELECT'], true) && trim($posted) !== '' && !$keeps) {
            if ($f['lookup'] !== null) {
                $db = $app->db();
                $n = (int)$db->value('SELECT COUNT(*) FROM ' . $db->qi($f['lookup']['table']) . ' WHERE '
                    . $db->qi($f['lookup']['value']) . ' = ?', [$posted]);
                if ($n === 0) {
                    return [null, Lang::t('invalid_choice', $f['caption'])];
                }
            } elseif (!in_array($posted, array_column(self::options($app, $f), 0), true)) {
                return [null, Lang::t('invalid_choice', $f['caption'])];
            }
        }
        return Validate::convert($f, $posted, $old, $existing);
    }
}
