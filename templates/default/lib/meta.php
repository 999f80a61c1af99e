<?php
// Table and field settings: the arrays that generated pages declare are
// completed here with the defaults documented in README.md.
declare(strict_types=1);

namespace Tarnwick;

final class Meta
{
    public const CONTROLS = ['TEXT', 'TEXTAREA', 'RADIO', 'CHECKBOX', 'SELECT', 'FILE', 'PASSWORD', 'HIDDEN', 'NO'];
    public const OPERATORS = ['=', '<>', '<', '<=', '>', '>=', 'BETWEEN', 'LIKE', 'NOT LIKE', 'START WITH'];

    /** Field kind from the column's type code (ADO numbering). */
    public static function kind(int $type): string
    {
        return match (true) {
            in_array($type, [20, 3, 2, 16, 21, 19, 18, 17], true) => 'int',
            in_array($type, [6, 14, 5, 131, 4, 139], true) => 'float',
            $type === 11 => 'bool',
            in_array($type, [7, 133], true) => 'date',
            $type === 135 => 'datetime',
            $type === 134 => 'time',
            in_array($type, [201, 203], true) => 'memo',
            in_array($type, [128, 204, 205], true) => 'blob',
            $type === 72 => 'guid',
            default => 'string',
        };
    }

    /** The variable name of a table, field or chart: letters, digits and "_". */
    public static function varName(string $name, string $prefix = ''): string
    {
        $out = '';
        foreach (preg_split('//u', $name, -1, PREG_SPLIT_NO_EMPTY) ?: [] as $ch) {
            if (preg_match('/^[A-Za-z0-9 _]$/', $ch)) {
                $out .= $ch;
            } else {
                $cp = function_exists('mb_ord') ? mb_ord($ch, 'UTF-8') : self::codePoint($ch);
                $out .= strtoupper(dechex((int)$cp));
            }
        }
        $out = str_replace(' ', '_', $out);
        if ($out === '' || !ctype_alpha($out[0])) {
            $out = 'x' . $out;
        }
        return $prefix . $out;
    }

    private static function codePoint(string $ch): int
    {
        $u = unpack('N', (string)iconv('UTF-8', 'UCS-4BE', $ch));
        return $u ? (int)$u[1] : 0;
    }

    /**
     * A value list: either a list of [value, label] pairs, or the text form
     * of lines, each a quoted value, a comma and a quoted label.
     *
     * @return list<array{0:string,1:string}>
     */
    public static function values(mixed $v): array
    {
        if (is_array($v)) {
            $out = [];
            foreach ($v as $k => $item) {
                if (is_array($item)) {
                    $out[] = [(string)$item[0], (string)($item[1] ?? $item[0])];
                } else {
                    $out[] = is_int($k) ? [(string)$item, (string)$item] : [(string)$k, (string)$item];
                }
            }
            return $out;
        }
        $out = [];
        foreach (preg_split('/\r\n|\n|\r/', (string)$v) ?: [] as $line) {
            if (trim($line) === '') {
                continue;
            }
            if (preg_match('/^\s*"((?:[^"]|"")*)"\s*,\s*"((?:[^"]|"")*)"\s*$/', $line, $m)) {
                $out[] = [str_replace('""', '"', $m[1]), str_replace('""', '"', $m[2])];
            } else {
                $out[] = [trim($line, " \t\""), trim($line, " \t\"")];
            }
        }
        return $out;
    }

    /** The table's settings with every default filled in. */
    public static function table(array $t, array $config): array
    {
        $name = (string)($t['name'] ?? '');
        if ($name === '') {
            throw new \InvalidArgumentException('table settings without a name');
        }
        $list = $config['list'] ?? [];
        $t += [
            'var' => self::varName($name),
            'caption' => $name,
            'type' => 'TABLE',
            'sql' => null,
            'key' => [],
            'security' => true,
            'pages' => [],
            'copy' => false,
            'filter' => null,
            'default_order' => [],
            'search' => ['basic' => true, 'advanced' => false],
            'masters' => [],
            'details' => [],
            'report' => [],
            'charts' => [],
            'list' => [],
        ];
        $t['type'] = strtoupper((string)$t['type']);
        $t['list'] += [
            'rec_per_page' => $list['rec_per_page'] ?? 20,
            'rec_per_page_list' => $list['rec_per_page_list'] ?? [10, 20, 50, 100],
            'pager_style' => $list['pager_style'] ?? 2,
            'sort_type' => $list['sort_type'] ?? 1,
            'multi_delete' => $list['multi_delete'] ?? false,
            'export' => $list['export'] ?? [],
            'link_on_left' => $list['link_on_left'] ?? true,
            'count_time_limit' => $list['count_time_limit'] ?? 100,
            'count_limit' => $list['count_limit'] ?? 100000,
        ];
        if (is_string($t['list']['rec_per_page_list'])) {
            $t['list']['rec_per_page_list'] = array_values(array_filter(array_map('trim', explode(',', $t['list']['rec_per_page_list'])), 'strlen'));
        }
        $t['search'] += ['basic' => true, 'advanced' => false];
        $t['report'] += ['show_details' => true, 'grand_total' => true, 'source' => $name,
            'max_rows' => (int)($config['app']['report_max_rows'] ?? 5000)];
        $fields = [];
        foreach ($t['fields'] ?? [] as $key => $f) {
            if (!isset($f['name'])) {
                $f['name'] = (string)$key;
            }
            $f = self::field($f, $t['key'], $config);
            $fields[$f['name']] = $f;
        }
        $sec = $config['security'] ?? [];
        if (isset($sec['table'], $sec['password_field']) && $sec['table'] === $name && isset($fields[$sec['password_field']])) {
            // the login table's password column: never listed, shown, searched or
            // exported; its edit control stores a new hash only when one is typed
            $pw = &$fields[$sec['password_field']];
            $pw['list'] = $pw['view'] = $pw['search'] = $pw['basic_search'] = false;
            $pw['control'] = 'PASSWORD';
            $pw['password'] = true;
            $pw['readonly'] = false;
            $pw['lookup'] = null;
            unset($pw);
        }
        $t['fields'] = $fields;
        foreach ($t['key'] as $k) {
            if (!isset($fields[$k])) {
                throw new \InvalidArgumentException('key field ' . $k . ' is not in the field list');
            }
        }
        foreach ($t['details'] as $i => $d) {
            $t['details'][$i] += ['caption' => (string)($d['table'] ?? ''), 'master_fields' => $t['key']];
            $t['details'][$i]['detail_vars'] ??= array_map(static fn($n) => self::varName((string)$n, 'x_'),
                (array)$t['details'][$i]['detail_fields']);
        }
        $charts = [];
        foreach ($t['charts'] as $c) {
            $charts[] = $c + ['name' => 'chart', 'caption' => '', 'type' => 1, 'x' => '', 'y' => '',
                'agg' => 'SUM', 'width' => 600, 'height' => 320, 'sort' => 0, 'show_values' => true,
                'show_names' => true, 'grid_lines' => 5, 'x_axis_name' => '', 'y_axis_name' => '',
                'palette' => [], 'position' => 1, 'max_char' => 14, 'show' => true];
        }
        $t['charts'] = $charts;
        return $t;
    }

    /** One field's settings with the defaults for its type. */
    public static function field(array $f, array $keys, array $config): array
    {
        $type = (int)($f['type'] ?? 200);
        $kind = self::kind($type);
        $auto = (bool)($f['auto_increment'] ?? false);
        $f += [
            'var' => self::varName((string)$f['name'], 'x_'),
            'caption' => (string)$f['name'],
            'type' => $type,
            'size' => 0,
            'auto_increment' => $auto,
            'required' => false,
            'nullable' => true,
            'list' => !in_array($kind, ['memo', 'blob'], true),
            'view' => true,
            'edit' => !$auto,
            'add' => !$auto,
            'search' => false,
            'basic_search' => false,
            'register' => false,
            'search_op' => in_array($kind, ['string', 'memo'], true) ? 'LIKE' : '=',
            'control' => $auto ? 'NO' : ($kind === 'memo' ? 'TEXTAREA' : ($kind === 'blob' ? 'FILE' : 'TEXT')),
            'readonly' => false,
            'calendar' => false,
            'tag_size' => 30,
            'tag_maxlength' => 0,
            'tag_cols' => 35,
            'tag_rows' => 4,
            'values' => [],
            'multiple' => false,
            'lookup' => null,
            'validate' => '',
            'min' => null,
            'max' => null,
            'error' => '',
            'default' => null,
            'format' => 'None',
            'date_format' => 0,
            'digits' => 2,
            'lead_digit' => -2,
            'paren' => -2,
            'group_digits' => -2,
            'view_tag' => $kind === 'blob' ? 'IMAGE' : 'FORMATTED TEXT',
            'link_prefix' => '',
            'link_suffix' => '',
            'link_target' => '',
            'img_width' => 0,
            'img_height' => 0,
            'bold' => false,
            'italic' => false,
            'align' => '',
            'memo_max' => 0,
            'upload' => [],
            'group_by' => 0,
            'agg' => [],
            'password' => false,
            'set' => false,
            'enum' => false,
            'db_default' => false,
        ];
        $f['kind'] = $kind;
        foreach (['size', 'tag_maxlength'] as $limit) {
            if ((int)$f[$limit] >= 2147483647) {
                $f[$limit] = 0; // a column without a length limit
            }
        }
        $f['key'] = in_array($f['name'], $keys, true);
        $f['control'] = strtoupper((string)$f['control']);
        if (!in_array($f['control'], self::CONTROLS, true)) {
            $f['control'] = 'TEXT';
        }
        $f['validate'] = strtoupper((string)$f['validate']);
        $f['search_op'] = strtoupper((string)$f['search_op']);
        $f['values'] = self::values($f['values']);
        if (in_array(strtolower((string)$f['link_prefix']), ['', 'none'], true)) {
            $f['link_prefix'] = '';
        }
        if ($f['lookup'] !== null) {
            $f['lookup'] += ['table' => '', 'value' => '', 'display' => '', 'display2' => '',
                'order' => '', 'order_dir' => 'ASC', 'distinct' => false, 'filter' => null];
        }
        $f['upload'] += [
            'max_size' => (int)($config['app']['max_upload_size'] ?? 2000000),
            'extensions' => ['jpg', 'jpeg', 'png', 'gif', 'webp', 'pdf', 'txt', 'csv'],
            'store' => $kind === 'blob' ? 'blob' : 'file',
        ];
        $f['agg'] = array_map('strtoupper', (array)$f['agg']);
        if ($f['set'] && in_array($f['control'], ['RADIO', 'CHECKBOX', 'SELECT'], true)) {
            // a set holds any number of its members: one check box (or option) per member
            $f['control'] = $f['control'] === 'SELECT' ? 'SELECT' : 'CHECKBOX';
            $f['multiple'] = true;
        }
        return $f;
    }
}
