<?php
// Report pages: a list grouped by one or more fields, with group summaries
// (sum, average, minimum, maximum, count), a grand total and charts.
declare(strict_types=1);

namespace Tarnwick;

final class ReportPage
{
    private Db $db;

    public function __construct(private readonly App $app, private readonly array $t)
    {
        $this->db = $app->db();
    }

    private function source(): string
    {
        if (!empty($this->t['sql'])) {
            return '(' . $this->t['sql'] . ') ' . $this->db->qi('tw_custom');
        }
        return $this->db->qi((string)$this->t['report']['source']);
    }

    /** A group's identity in maps: NULL apart from every text. */
    private static function groupKey(array $values): string
    {
        return implode("\x1f", array_map(static fn($v) => $v === null ? "\x00" : 's' . $v, $values));
    }

    /**
     * The summaries of every group of the first $level group fields (0: the
     * grand total), computed by the database over all rows of the report.
     *
     * @return list<array{values:list<mixed>,acc:array}>
     */
    private function aggregates(array $groupNames, int $level, array $aggFields, string $fromWhere): array
    {
        $db = $this->db;
        $by = array_map([$db, 'qi'], array_slice($groupNames, 0, $level));
        $cols = $by;
        $cols[] = 'COUNT(*) AS ' . $db->qi('tw_n');
        $i = 0;
        $names = [];
        foreach ($aggFields as $f) {
            $q = $db->qi($f['name']);
            foreach (['sum' => 'SUM', 'avg' => 'AVG', 'min' => 'MIN', 'max' => 'MAX'] as $k => $fn) {
                $alias = 'tw_' . $k . $i;
                $cols[] = $fn . '(' . $q . ') AS ' . $db->qi($alias);
                $names[$f['name']][$k] = $alias;
            }
            $i++;
        }
        $sql = 'SELECT ' . implode(', ', $cols) . ' FROM ' . $fromWhere
            . ($by ? ' GROUP BY ' . implode(', ', $by) . ' ORDER BY ' . implode(', ', array_map(static fn($c) => $c . ' ASC', $by)) : '');
        $out = [];
        foreach ($db->all($sql) as $r) {
            $acc = ['n' => (int)$r['tw_n']];
            foreach ($names as $field => $aliases) {
                foreach ($aliases as $k => $alias) {
                    $acc[$field][$k] = $r[$alias];
                }
            }
            $values = [];
            foreach (array_slice($groupNames, 0, $level) as $g) {
                $values[] = $r[$g];
            }
            $out[] = ['values' => $values, 'acc' => $acc];
        }
        return $out;
    }

    public function run(): void
    {
        $t = $this->t;
        $groups = array_values(array_filter($t['fields'], static fn($f) => (int)$f['group_by'] > 0));
        usort($groups, static fn($a, $b) => (int)$a['group_by'] <=> (int)$b['group_by']);
        $groupNames = array_column($groups, 'name');
        $details = array_filter($t['fields'], static fn($f) => $f['list'] && !in_array($f['name'], $groupNames, true) && $f['kind'] !== 'blob');
        $aggFields = array_filter($t['fields'], static fn($f) => $f['agg'] && $f['kind'] !== 'blob');
        $cols = array_unique(array_merge($groupNames, array_keys($details), array_keys($aggFields)));
        $order = array_map(fn($n) => $this->db->qi($n) . ' ASC', $groupNames);
        foreach ($t['default_order'] as $o) {
            if (isset($t['fields'][$o[0]])) {
                $order[] = $this->db->qi($o[0]) . (strtoupper((string)($o[1] ?? 'ASC')) === 'DESC' ? ' DESC' : ' ASC');
            }
        }
        $fromWhere = $this->source() . ($t['filter'] ? ' WHERE ' . $t['filter'] : '');
        $levels = count($groups);
        // the summaries of every level, over all rows
        $summary = [];
        for ($i = 0; $i <= $levels; $i++) {
            foreach ($this->aggregates($groupNames, $i, $aggFields, $fromWhere) as $g) {
                $summary[$i][self::groupKey($g['values'])] = $g;
            }
        }
        $grand = $summary[0][self::groupKey([])]['acc'] ?? ['n' => 0];
        $leaves = array_values($summary[$levels] ?? []);
        // the detail rows, up to the report's limit
        $max = max(1, (int)$t['report']['max_rows']);
        $rows = [];
        if ($t['report']['show_details'] && $cols) {
            $sql = 'SELECT ' . implode(', ', array_map([$this->db, 'qi'], $cols)) . ' FROM ' . $fromWhere
                . ($order ? ' ORDER BY ' . implode(', ', $order) : '') . ' LIMIT ?';
            $rows = $this->db->all($sql, [$max]);
        }

        $labels = [];
        foreach ($t['fields'] as $f) {
            if ($f['lookup'] !== null && in_array($f['name'], $cols, true)) {
                $values = array_column($rows, $f['name']);
                $gi = array_search($f['name'], $groupNames, true);
                if ($gi !== false) {
                    $values = array_merge($values, array_map(static fn($l) => $l['values'][$gi], $leaves));
                }
                $labels[$f['name']] = Controls::lookupLabels($this->app, $f, $values);
            }
        }
        $html = '<h1>' . H::e($t['caption']) . '</h1>';
        foreach ($t['charts'] as $c) {
            if ($c['show'] && (int)$c['position'] === 1) {
                $html .= Chart::render($this->app, $t, $c, $fromWhere, []);
            }
        }
        if ($t['report']['show_details'] && $grand['n'] > count($rows)) {
            $html .= '<div class="tw-msg tw-msg-warning tw-report-limited" role="status">'
                . H::e(Lang::t('report_limited', count($rows), $grand['n'])) . '</div>';
        }
        $span = max(1, count($details));
        $html .= '<div class="tw-scroll"><table class="tw-grid tw-report"><thead><tr>';
        foreach ($details as $f) {
            $html .= '<th class="' . Format::cellClass($f) . '">' . H::e($f['caption']) . '</th>';
        }
        $html .= '</tr></thead><tbody>';
        $current = null;
        $next = 0;
        foreach ($leaves as $li => $leaf) {
            $values = $leaf['values'];
            // the first group level whose value changed closes it and every deeper level
            $changed = 0;
            if ($current !== null) {
                $changed = $levels;
                for ($i = 0; $i < $levels; $i++) {
                    if (self::groupKey([$values[$i]]) !== self::groupKey([$current[$i]])) {
                        $changed = $i;
                        break;
                    }
                }
                for ($i = $levels - 1; $i >= $changed; $i--) {
                    $html .= $this->closeGroup($groups, $current, $i, $summary, $aggFields, $details, $span, $labels);
                }
            }
            for ($i = $changed; $i < $levels; $i++) {
                $html .= '<tr class="tw-group tw-group-' . ($i + 1) . '"><td colspan="' . $span . '">' . H::e($groups[$i]['caption']) . ': <strong>'
                    . $this->text($groups[$i], $values[$i], $labels) . '</strong></td></tr>';
            }
            $current = $values;
            // the detail rows up to where the next group starts
            $nextKey = isset($leaves[$li + 1]) ? self::groupKey($leaves[$li + 1]['values']) : null;
            while ($next < count($rows)) {
                $row = $rows[$next];
                if ($nextKey !== null && self::groupKey(array_map(static fn($g) => $row[$g], $groupNames)) === $nextKey) {
                    break;
                }
                $html .= '<tr class="tw-row">';
                foreach ($details as $f) {
                    $html .= '<td class="' . Format::cellClass($f) . '">' . $this->text($f, $row[$f['name']], $labels) . '</td>';
                }
                $html .= '</tr>';
                $next++;
            }
        }
        if ($current !== null) {
            for ($i = $levels - 1; $i >= 0; $i--) {
                $html .= $this->closeGroup($groups, $current, $i, $summary, $aggFields, $details, $span, $labels);
            }
        }
        if ($t['report']['grand_total'] && $grand['n'] > 0) {
            $html .= $this->aggRows(Lang::t('grand_total'), $grand, $aggFields, $details, 'tw-grand');
        }
        if ($grand['n'] === 0) {
            $html .= '<tr><td colspan="' . $span . '">' . H::e(Lang::t('no_records')) . '</td></tr>';
        }
        $html .= '</tbody></table></div>';
        foreach ($t['charts'] as $c) {
            if ($c['show'] && (int)$c['position'] === 2) {
                $html .= Chart::render($this->app, $t, $c, $fromWhere, []);
            }
        }
        $this->app->render($t['caption'], $html);
    }

    private function closeGroup(array $groups, array $values, int $level, array $summary, array $aggFields, array $details, int $span, array $labels): string
    {
        $acc = $summary[$level + 1][self::groupKey(array_slice($values, 0, $level + 1))]['acc'] ?? ['n' => 0];
        return $this->summaryRow($groups[$level], $values[$level], $acc, $aggFields, $details, $span, $level, $labels);
    }

    private function text(array $f, mixed $v, array $labels): string
    {
        $display = ($v !== null && isset($labels[$f['name']][(string)$v])) ? $labels[$f['name']][(string)$v] : null;
        return Format::html($f, $v, $display);
    }

    private function summaryRow(array $g, mixed $value, array $acc, array $aggFields, array $details, int $span, int $level, array $labels): string
    {
        $label = Lang::t('group_total', strip_tags($this->text($g, $value, $labels))) . ' (' . Lang::t('count') . ': ' . $acc['n'] . ')';
        return $this->aggRows($label, $acc, $aggFields, $details, 'tw-summary tw-summary-' . ($level + 1));
    }

    private function aggRows(string $label, array $acc, array $aggFields, array $details, string $class): string
    {
        $html = '<tr class="' . $class . '"><td colspan="' . max(1, count($details)) . '">' . H::e(html_entity_decode($label, ENT_QUOTES | ENT_HTML5, 'UTF-8')) . '</td></tr>';
        foreach (['SUM' => 'sum', 'AVG' => 'avg', 'MIN' => 'min', 'MAX' => 'max'] as $kind => $phrase) {
            $cells = [];
            $any = false;
            foreach ($details as $f) {
                if (!isset($aggFields[$f['name']]) || !in_array($kind, $f['agg'], true)) {
                    $cells[] = '<td></td>';
                    continue;
                }
                $a = $acc[$f['name']] ?? [];
                $v = $a[strtolower($kind)] ?? null;
                $any = true;
                $ff = $f;
                if ($ff['format'] === 'None' || $ff['format'] === 'Date/Time') {
                    $ff['format'] = 'Number';
                    if ($ff['kind'] === 'int' && $kind !== 'AVG') {
                        $ff['digits'] = 0; // sums and extremes of whole numbers stay whole
                    }
                }
                $cells[] = '<td class="tw-right tw-agg" data-agg="' . strtolower($kind) . '">' . H::e($v === null ? '' : Format::text($ff, $v)) . '</td>';
            }
            if ($any) {
                if ($cells[0] === '<td></td>') {
                    $cells[0] = '<td class="tw-agg-name">' . H::e(Lang::t($phrase)) . '</td>';
                }
                $html .= '<tr class="' . $class . ' tw-agg-row">' . implode('', $cells) . '</tr>';
            }
        }
        return $html;
    }
}
