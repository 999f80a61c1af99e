<?php
// Turning the search parameters of a list page into a WHERE clause with
// bound values: basic search over the quick-search fields, advanced search
// with each field's operator, and the master record's key for detail lists.
declare(strict_types=1);

namespace Tarnwick;

final class Search
{
    /** @var list<string> */
    public array $where = [];
    public array $params = [];
    /** Active search parameters, carried along in paging and sorting links. */
    public array $state = [];
    /** @var list<string> */
    public array $errors = [];
    /** The master record of a detail list, with the master's settings. */
    public ?array $master = null;

    public function __construct(private readonly App $app, private readonly array $t)
    {
    }

    /** @var list<int> the number of parameters of each condition */
    private array $counts = [];
    /** @var array<int,list<string>> the conditions that read every row (a text contained anywhere): their columns */
    private array $scans = [];

    /**
     * Whether an index serves a case-insensitive search for a text at the
     * start of a field: MySQL's and MariaDB's indexes follow the column's
     * collation; SQLite's and PostgreSQL's compare bytes.
     */
    private function prefixIndexed(): bool
    {
        return $this->app->db()->driver === 'mysql';
    }

    private function add(string $sql, array $params = [], array $scanColumns = []): void
    {
        if ($scanColumns) {
            $this->scans[count($this->where)] = $scanColumns;
        }
        $this->where[] = $sql;
        $this->counts[] = count($params);
        array_push($this->params, ...$params);
    }

    /**
     * The conditions in two: those an index may serve (as a WHERE clause)
     * and those that read every row (texts contained anywhere), each with
     * its parameters, and the columns the second ones read.
     *
     * @return array{0:string,1:list<mixed>,2:string,3:list<mixed>,4:list<string>}
     */
    public function split(): array
    {
        $plain = $plainParams = $scan = $scanParams = $columns = [];
        $at = 0;
        foreach ($this->where as $i => $w) {
            $p = array_slice($this->params, $at, $this->counts[$i]);
            $at += $this->counts[$i];
            if (isset($this->scans[$i])) {
                $scan[] = '(' . $w . ')';
                array_push($scanParams, ...$p);
                array_push($columns, ...$this->scans[$i]);
            } else {
                $plain[] = '(' . $w . ')';
                array_push($plainParams, ...$p);
            }
        }
        return [$plain ? ' WHERE ' . implode(' AND ', $plain) : '', $plainParams, implode(' AND ', $scan), $scanParams,
            array_values(array_unique($columns))];
    }

    public function sql(): string
    {
        return $this->where ? ' WHERE ' . implode(' AND ', array_map(static fn($w) => '(' . $w . ')', $this->where)) : '';
    }

    /** Reads the query string; $q defaults to $_GET. */
    public function build(?array $q = null): self
    {
        $q ??= $_GET;
        if (!empty($this->t['filter'])) {
            $this->add((string)$this->t['filter']);
        }
        $this->masterFilter($q);
        $this->basic($q);
        $this->advanced($q);
        return $this;
    }

    private static function str(array $q, string $name): string
    {
        $v = $q[$name] ?? '';
        return is_string($v) ? $v : '';
    }

    private function masterFilter(array $q): void
    {
        $name = self::str($q, 'master');
        if ($name === '') {
            return;
        }
        foreach ($this->t['masters'] as $m) {
            if ($m['table'] !== $name) {
                continue;
            }
            $db = $this->app->db();
            $values = [];
            foreach ($m['detail_fields'] as $i => $df) {
                $f = $this->t['fields'][$df];
                $v = self::str($q, 'fk_' . $f['var']);
                $this->state['fk_' . $f['var']] = $v;
                $this->add($db->qi($df) . ' = ?', [$v]);
                $values[$m['master_fields'][$i]] = $v;
            }
            $this->state['master'] = $name;
            $this->master = ['settings' => $m, 'values' => $values];
            return;
        }
        $this->errors[] = Lang::t('bad_request');
    }

    private function likeFields(): array
    {
        return array_filter($this->t['fields'], static fn($f) => $f['basic_search'] && $f['kind'] !== 'blob');
    }

    private function basic(array $q): void
    {
        $text = trim(self::str($q, 'psearch'));
        $type = strtoupper(self::str($q, 'psearchtype'));
        if (!in_array($type, ['', 'AND', 'OR', 'START'], true)) {
            $type = 'AND';
        }
        if ($text === '' || !$this->t['search']['basic']) {
            return;
        }
        $this->state['psearch'] = $text;
        $this->state['psearchtype'] = $type;
        $fields = $this->likeFields();
        if (!$fields) {
            return;
        }
        $db = $this->app->db();
        // START: fields that start with the text (an index on the field can serve it)
        $words = $type === '' || $type === 'START' ? [$text] : (preg_split('/\s+/u', $text, -1, PREG_SPLIT_NO_EMPTY) ?: []);
        $parts = [];
        $params = [];
        foreach ($words as $w) {
            $or = [];
            foreach ($fields as $f) {
                $or[] = $db->like($f['name']);
                $params[] = ($type === 'START' ? '' : '%') . Db::likeEscape($w) . '%';
            }
            $parts[] = '(' . implode(' OR ', $or) . ')';
        }
        $this->add(implode($type === 'OR' ? ' OR ' : ' AND ', $parts), $params,
            $type === 'START' && $this->prefixIndexed() ? [] : array_column($fields, 'name'));
    }

    /** Converts a search value for comparing with the field; null when not valid. */
    public static function value(array $f, string $v): mixed
    {
        $v = trim($v);
        switch ($f['kind']) {
            case 'int':
                return Validate::isInteger($v) ? (int)$v : null;
            case 'float':
                return Validate::isFloat($v) ? $v : null;
            case 'date': case 'datetime':
                $check = Validate::effective($f);
                return Validate::parseDate($v, Validate::dateOrder($check === 'ISODATE' ? 'DATE' : $check));
            case 'time':
                return Validate::parseTime($v);
        }
        return $v;
    }

    /** The operator of a field: its own, or the user's choice when it is USER SELECT. */
    public static function operator(array $f, array $q): string
    {
        if ($f['search_op'] === 'USER SELECT') {
            $op = strtoupper(self::str($q, 'z_' . $f['var']));
            return in_array($op, Meta::OPERATORS, true) ? $op : '=';
        }
        return in_array($f['search_op'], Meta::OPERATORS, true) ? $f['search_op'] : '=';
    }

    private function advanced(array $q): void
    {
        $db = $this->app->db();
        foreach ($this->t['fields'] as $f) {
            if (!$f['search']) {
                continue;
            }
            $x = trim(self::str($q, 'x_' . $f['var']));
            $y = trim(self::str($q, 'y_' . $f['var']));
            if ($x === '' && $y === '') {
                continue;
            }
            $op = self::operator($f, $q);
            $this->state['x_' . $f['var']] = $x;
            if ($f['search_op'] === 'USER SELECT') {
                $this->state['z_' . $f['var']] = $op;
            }
            $col = $db->qi($f['name']);
            if (in_array($op, ['LIKE', 'NOT LIKE', 'START WITH'], true)) {
                $pattern = $op === 'START WITH' ? Db::likeEscape($x) . '%' : '%' . Db::likeEscape($x) . '%';
                $this->add($db->like($f['name'], $op === 'NOT LIKE'), [$pattern],
                    $op === 'START WITH' && $this->prefixIndexed() ? [] : [$f['name']]);
                continue;
            }
            $a = self::value($f, $x);
            if ($a === null) {
                $this->errors[] = Lang::t('invalid_search', $f['caption']);
                continue;
            }
            if ($op === 'BETWEEN') {
                $this->state['y_' . $f['var']] = $y;
                $b = self::value($f, $y);
                if ($b === null) {
                    $this->errors[] = Lang::t('invalid_search', $f['caption']);
                    continue;
                }
                $this->add($col . ' BETWEEN ? AND ?', [$a, $b]);
                continue;
            }
            $this->add($col . ' ' . $op . ' ?', [$a]);
        }
    }
}
