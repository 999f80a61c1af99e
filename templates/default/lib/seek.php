<?php
// Paging by position ("seek"): the next and previous links of a list carry
// the sort values of the page's last (or first) row, and the page after it
// is read with a WHERE condition on those values, so that an index on the
// sort column serves any page as fast as the first; no rows are skipped.
declare(strict_types=1);

namespace Tarnwick;

final class Seek
{
    /** Field kinds whose values compare exactly in the database as they come back from it. */
    private const KINDS = ['int', 'float', 'string', 'memo', 'date', 'datetime', 'time', 'guid'];
    /** Single-precision columns read back rounded: their values do not find themselves. */
    private const INEXACT_TYPES = [4];

    /**
     * $order: the list's complete order, [field name, 'ASC' or 'DESC'] each,
     * ending with the key, so that no two rows take the same place.
     *
     * @param list<array{0:string,1:string}> $order
     */
    public function __construct(private readonly Db $db, private readonly array $t, private readonly array $order)
    {
    }

    /** Whether the order can be sought: a table with a key and only exactly comparable columns. */
    public function usable(): bool
    {
        if ($this->t['type'] !== 'TABLE' || !$this->t['key'] || !$this->order) {
            return false;
        }
        $named = array_column($this->order, 0);
        foreach ($this->t['key'] as $k) {
            if (!in_array($k, $named, true)) {
                return false;
            }
        }
        foreach ($named as $name) {
            $f = $this->t['fields'][$name] ?? null;
            if ($f === null || !in_array($f['kind'], self::KINDS, true) || in_array((int)$f['type'], self::INEXACT_TYPES, true)) {
                return false;
            }
            if (($f['set'] || $f['enum']) && $this->db->driver === 'mysql') {
                return false; // sorted by the place of their members, compared as texts
            }
        }
        return true;
    }

    /**
     * The position of a row in the order, as text for a link: each value
     * with its type (n null, i whole number, f other number, s text).
     */
    public function cursor(array $row): string
    {
        $parts = [];
        foreach ($this->order as [$name]) {
            $v = $row[$name] ?? null;
            $parts[] = match (true) {
                $v === null => 'n',
                is_int($v) => 'i' . $v,
                is_float($v) => 'f' . var_export($v, true),
                is_bool($v) => 'i' . (int)$v,
                // '%' and ',' escaped as in URLs: a comma parts the values
                default => 's' . strtr((string)$v, ['%' => '%25', ',' => '%2C']),
            };
        }
        return implode(',', $parts);
    }

    /** @return list<int|string|array{0:string}|null>|null the values of a cursor (floats as ['1.5']), null when it is none of this order */
    public function decode(string $text): ?array
    {
        $parts = explode(',', $text);
        if ($text === '' || count($parts) !== count($this->order)) {
            return null;
        }
        $values = [];
        foreach ($parts as $p) {
            $type = $p[0] ?? '';
            $rest = substr($p, 1);
            if ($type === 'n' && $rest === '') {
                $values[] = null;
            } elseif ($type === 'i' && preg_match('/^-?[0-9]{1,19}$/', $rest) && (string)(int)$rest === $rest) {
                $values[] = (int)$rest;
            } elseif ($type === 'f' && is_numeric($rest)) {
                $values[] = [$rest];
            } elseif ($type === 's') {
                $values[] = rawurldecode($rest);
            } else {
                return null;
            }
        }
        return $values;
    }

    /**
     * The condition that keeps the rows after the position (before it with
     * $back), with its parameters. It leads with a bound on the first
     * column alone, which an index on that column turns into a range.
     *
     * @return array{0:string,1:list<mixed>}
     */
    public function where(array $values, bool $back): array
    {
        // MySQL, MariaDB and SQLite sort NULL below every value, PostgreSQL above
        $nullLow = $this->db->driver !== 'pgsql';
        $terms = [];
        foreach ($this->order as $i => [$name, $dir]) {
            $asc = ($dir === 'DESC') === $back;
            $nullFirst = $asc === $nullLow;
            $col = $this->db->qi($name);
            $v = $values[$i];
            if ($v === null) {
                $terms[] = ['gt' => $nullFirst ? [$col . ' IS NOT NULL', []] : null, 'eq' => [$col . ' IS NULL', []],
                    'ge' => $nullFirst ? null : [$col . ' IS NULL', []]];
                continue;
            }
            [$mark, $bound] = $this->placeholder($v, $this->t['fields'][$name]);
            // a column without NULLs needs no term for them: the condition stays one range of its index
            $orNull = $nullFirst || !$this->t['fields'][$name]['nullable'] ? '' : ' OR ' . $col . ' IS NULL';
            $terms[] = [
                'gt' => [$col . ($asc ? ' > ' : ' < ') . $mark . $orNull, [$bound]],
                'eq' => [$col . ' = ' . $mark, [$bound]],
                'ge' => [$col . ($asc ? ' >= ' : ' <= ') . $mark . $orNull, [$bound]],
            ];
        }
        // after(i) = gt(i) OR (eq(i) AND after(i + 1)); after(n + 1) is false
        $after = null;
        for ($i = count($terms) - 1; $i >= 0; $i--) {
            $gt = $terms[$i]['gt'];
            $tie = $after === null ? null
                : ['(' . $terms[$i]['eq'][0] . ') AND (' . $after[0] . ')', array_merge($terms[$i]['eq'][1], $after[1])];
            $after = match (true) {
                $gt === null => $tie,
                $tie === null => $gt,
                default => ['(' . $gt[0] . ') OR (' . $tie[0] . ')', array_merge($gt[1], $tie[1])],
            };
        }
        if ($after === null) {
            return ['1 = 0', []];
        }
        $ge = $terms[0]['ge'];
        if ($ge === null) {
            return [$after[0], $after[1]];
        }
        return ['(' . $ge[0] . ') AND (' . $after[0] . ')', array_merge($ge[1], $after[1])];
    }

    /** Exact numbers (currency, decimal, numeric). */
    private const DECIMAL_TYPES = [6, 14, 131, 139];

    /** @return array{0:string,1:mixed} the placeholder of a value and what is bound to it */
    private function placeholder(mixed $v, array $f): array
    {
        if (is_array($v)) {
            // a number that is not whole: SQLite compares a text with a number column's values as text
            return [$this->db->driver === 'sqlite' ? 'CAST(? AS REAL)' : '?', $v[0]];
        }
        if (is_string($v) && $this->db->driver === 'mysql' && in_array((int)$f['type'], self::DECIMAL_TYPES, true)) {
            // MySQL compares a decimal column with a text as floating-point numbers, losing digits
            return ['CAST(? AS DECIMAL(65,30))', $v];
        }
        return ['?', $v];
    }
}
