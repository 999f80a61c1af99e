<?php
// Edit controls: drawing them with the current value and reading what the
// user sent back, with the field's checks.
declare(strict_types=1);

namespace Tarnwick;

final class Controls
{
    /** @var array<string,list<array{0:string,1:string}>> */
    private static array $optionCache = [];

    /** The choices of a RADIO, CHECKBOX or SELECT field: its value list or its lookup table. */
    public static function options(App $app, array $f): array
    {
        if ($f['lookup'] === null) {
            if (!$f['values'] && $f['kind'] === 'bool') {
                return [['1', Lang::t('yes')], ['0', Lang::t('no')]];
            }
            return $f['values'];
        }
        $cacheKey = $f['name'] . '|' . $f['lookup']['table'];
        if (isset(self::$optionCache[$cacheKey])) {
            return self::$optionCache[$cacheKey];
        }
        $l = $f['lookup'];
        $db = $app->db();
        $sql = 'SELECT ' . ($l['distinct'] ? 'DISTINCT ' : '') . $db->qi($l['value']) . ' AS v, ' . $db->qi($l['display']) . ' AS d'
            . ($l['display2'] !== '' ? ', ' . $db->qi($l['display2']) . ' AS d2' : '')
            . ' FROM ' . $db->qi($l['table']) . ($l['filter'] ? ' WHERE ' . $l['filter'] : '')
            . ' ORDER BY ' . $db->qi($l['order'] !== '' ? $l['order'] : $l['display'])
            . (strtoupper((string)$l['order_dir']) === 'DESC' ? ' DESC' : ' ASC') . ' LIMIT 2000';
        $out = [];
        foreach ($db->all($sql) as $r) {
            $label = (string)$r['d'];
            if (isset($r['d2']) && $r['d2'] !== null && $r['d2'] !== '') {
                $label .= ', ' . $r['d2'];
            }
            $out[] = [(string)$r['v'], $label];
        }
        return self::$optionCache[$cacheKey] = $out;
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
                        'maxlength' => $f['tag_maxlength'] ?: null]) . '>' . H::e($text) . '</textarea>';
            case 'RADIO':
                $out = '<span class="tw-choices" id="' . H::e($id) . '">';
                foreach (self::options($app, $f) as $i => [$v, $label]) {
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
                $out = '<select id="' . H::e($id) . '" name="' . H::e($name) . ($multi ? '[]' : '') . '"'
                    . H::attrs(['multiple' => $multi, 'required' => $req]) . '>';
                if (!$multi) {
                    $out .= '<option value="">' . H::e(Lang::t('please_select')) . '</option>';
                }
                foreach (self::options($app, $f) as [$v, $label]) {
                    $out .= '<option value="' . H::e($v) . '"' . H::attrs(['selected' => $value !== null && in_array($v, $chosen, true)])
                        . '>' . H::e($label) . '</option>';
                }
                return $out . '</select>';
            case 'FILE':
                $out = '';
                $has = $value !== null && $value !== '' && $value !== false;
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
        $check = Validate::effective($f);
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

    /**
     * Reads a posted value: [stored value, error or null]. Choices must be
     * among the offered values.
     */
    public static function read(App $app, array $f): array
    {
        $name = $f['var'];
        if ($f['control'] === 'CHECKBOX' && !self::isSet($f)) {
            $opts = self::options($app, $f);
            $posted = $app->post($name);
            if ($posted === '') {
                $off = $opts[1][0] ?? null;
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
            return Validate::convert($f, implode(',', $chosen));
        }
        $posted = $app->post($name);
        if (in_array($f['control'], ['RADIO', 'SELECT'], true) && trim($posted) !== '') {
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
        return Validate::convert($f, $posted);
    }
}
