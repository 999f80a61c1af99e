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
        $sql = 'SELECT ' . implode(', ', array_map([$this->db, 'qi'], $cols)) . ' FROM ' . $this->source()
            . ($t['filter'] ? ' WHERE ' . $t['filter'] : '') . ($order ? ' ORDER BY ' . implode(', ', $order) : '') . ' LIMIT ?';
        $rows = $this->db->all($sql, [(int)$t['report']['max_rows']]);

        $labels = [];
        foreach ($t['fields'] as $f) {
            if ($f['lookup'] !== null && in_array($f['name'], $cols, true)) {
                $labels[$f['name']] = Controls::lookupLabels($this->app, $f, array_column($rows, $f['name']));
            }
        }
        $html = '<h1>' . H::e($t['caption']) . '</h1>';
        $fromWhere = $this->source() . ($t['filter'] ? ' WHERE ' . $t['filter'] : '');
        foreach ($t['charts'] as $c) {
            if ($c['show'] && (int)$c['position'] === 1) {
                $html .= Chart::render($this->app, $t, $c, $fromWhere, []);
            }
        }
        $span = max(1, count($details));
        $html .= '<div class="tw-scroll"><table class="tw-grid tw-report"><thead><tr>';
        foreach ($details as $f) {
            $html .= '<th class="' . Format::cellClass($f) . '">' . H::e($f['caption']) . '</th>';
        }
        $html .= '</tr></thead><tbody>';
        $levels = count($groups);
        $acc = array_fill(0, $levels + 1, null);
        $current = array_fill(0, $levels, null);
        $first = true;
        $newAcc = static function () use ($aggFields): array {
            $a = ['n' => 0];
            foreach ($aggFields as $f) {
                $a[$f['name']] = ['sum' => 0.0, 'min' => null, 'max' => null, 'n' => 0];
            }
            return $a;
        };
        $acc[$levels] = $newAcc();
        foreach ($rows as $row) {
            // the first group level whose value changed closes it and every deeper level
            $changed = $first ? 0 : $levels;
            if (!$first) {
                for ($i = 0; $i < $levels; $i++) {
                    if ((string)$row[$groups[$i]['name']] !== (string)$current[$i]) {
                        $changed = $i;
                        break;
                    }
                }
                for ($i = $levels - 1; $i >= $changed; $i--) {
                    $html .= $this->summaryRow($groups[$i], $current[$i], $acc[$i], $aggFields, $details, $span, $i, $labels);
                }
            }
            for ($i = $changed; $i < $levels; $i++) {
                $current[$i] = $row[$groups[$i]['name']];
                $acc[$i] = $newAcc();
                $html .= '<tr class="tw-group tw-group-' . ($i + 1) . '"><td colspan="' . $span . '">' . H::e($groups[$i]['caption']) . ': <strong>'
                    . $this->text($groups[$i], $current[$i], $labels) . '</strong></td></tr>';
            }
            $first = false;
            for ($i = 0; $i <= $levels; $i++) {
                $acc[$i]['n']++;
                foreach ($aggFields as $f) {
                    $v = $row[$f['name']];
                    if ($v === null || !is_numeric($v)) {
                        continue;
                    }
                    $a = &$acc[$i][$f['name']];
                    $a['sum'] += (float)$v;
                    $a['n']++;
                    $a['min'] = $a['min'] === null ? (float)$v : min($a['min'], (float)$v);
                    $a['max'] = $a['max'] === null ? (float)$v : max($a['max'], (float)$v);
                    unset($a);
                }
            }
            if ($t['report']['show_details']) {
                $html .= '<tr class="tw-row">';
                foreach ($details as $f) {
                    $html .= '<td class="' . Format::cellClass($f) . '">' . $this->text($f, $row[$f['name']], $labels) . '</td>';
                }
                $html .= '</tr>';
            }
        }
        if (!$first) {
            for ($i = $levels - 1; $i >= 0; $i--) {
                $html .= $this->summaryRow($groups[$i], $current[$i], $acc[$i], $aggFields, $details, $span, $i, $labels);
            }
        }
        if ($t['report']['grand_total'] && $rows) {
            $html .= $this->aggRows(Lang::t('grand_total'), $acc[$levels], $aggFields, $details, 'tw-grand');
        }
        if (!$rows) {
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
                $a = $acc[$f['name']];
                $v = match ($kind) {
                    'SUM' => $a['sum'],
                    'AVG' => $a['n'] ? $a['sum'] / $a['n'] : null,
                    'MIN' => $a['min'],
                    'MAX' => $a['max'],
                };
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
