<?php
// Charts drawn on the server as inline SVG: column, bar, line, area, pie
// and doughnut charts of one aggregated value per label.
declare(strict_types=1);

namespace Tarnwick;

final class Chart
{
    public const COLUMN = 1;
    public const BAR = 2;
    public const LINE = 3;
    public const PIE = 4;
    public const AREA = 5;
    public const DOUGHNUT = 6;

    private const PALETTE = ['#4e79a7', '#f28e2b', '#e15759', '#76b7b2', '#59a14f', '#edc948', '#b07aa1',
        '#ff9da7', '#9c755f', '#bab0ac'];

    /**
     * The chart's data: [[label, value], ...], one row per value of the X
     * field, the Y field aggregated. $fromWhere is the FROM and WHERE part
     * of the list the chart belongs to.
     */
    public static function data(App $app, array $t, array $c, string $fromWhere, array $params): array
    {
        $db = $app->db();
        if (!isset($t['fields'][$c['x']])) {
            return [];
        }
        $agg = strtoupper((string)$c['agg']);
        if (!in_array($agg, ['SUM', 'AVG', 'COUNT', 'MIN', 'MAX'], true)) {
            $agg = 'SUM';
        }
        $y = ($agg === 'COUNT' || !isset($t['fields'][$c['y']])) ? 'COUNT(*)' : $agg . '(' . $db->qi($c['y']) . ')';
        $order = match ((int)$c['sort']) {
            2 => 'lbl DESC',
            3 => 'val ASC',
            4 => 'val DESC',
            default => 'lbl ASC',
        };
        $rows = $db->all('SELECT ' . $db->qi($c['x']) . ' AS lbl, ' . $y . ' AS val FROM ' . $fromWhere . ' GROUP BY '
            . $db->qi($c['x']) . ' ORDER BY ' . $order . ' LIMIT 60', $params);
        $xf = $t['fields'][$c['x']];
        $labels = $xf['lookup'] !== null ? Controls::lookupLabels($app, $xf, array_column($rows, 'lbl')) : [];
        $out = [];
        foreach ($rows as $r) {
            $label = $r['lbl'] === null ? '' : ($labels[(string)$r['lbl']] ?? Format::text($xf, $r['lbl']));
            $out[] = [$label, (float)$r['val']];
        }
        return $out;
    }

    public static function render(App $app, array $t, array $c, string $fromWhere, array $params): string
    {
        return self::svg($c, self::data($app, $t, $c, $fromWhere, $params));
    }

    /** A round upper bound for an axis: 1, 2, 2.5 or 5 times a power of ten. */
    public static function niceMax(float $v): float
    {
        if ($v <= 0) {
            return 1.0;
        }
        $mag = 10 ** floor(log10($v));
        foreach ([1, 2, 2.5, 5, 10] as $step) {
            if ($v <= $step * $mag) {
                return $step * $mag;
            }
        }
        return 10 * $mag;
    }

    private static function num(float $v): string
    {
        return abs($v - round($v)) < 0.005 ? number_format($v, 0, '.', ',') : number_format($v, 2, '.', ',');
    }

    private static function f(float $v): string
    {
        return rtrim(rtrim(sprintf('%.2f', $v), '0'), '.');
    }

    private static function label(string $s, int $max): string
    {
        return $max > 0 && Format::length($s) > $max ? Format::cut($s, $max - 1) . '…' : $s;
    }

    /** The SVG figure for data rows [[label, value], ...]. */
    public static function svg(array $c, array $data): string
    {
        $w = max(200, (int)$c['width']);
        $h = max(150, (int)$c['height']);
        $palette = $c['palette'] ?: self::PALETTE;
        $type = (int)$c['type'];
        $caption = (string)$c['caption'];
        $svg = '<svg xmlns="http://www.w3.org/2000/svg" class="tw-chart-svg" width="' . $w . '" height="' . $h . '" viewBox="0 0 '
            . $w . ' ' . $h . '" role="img" aria-label="' . H::e($caption) . '">';
        $svg .= '<rect x="0" y="0" width="' . $w . '" height="' . $h . '" fill="' . H::e($c['bg_color'] ?? '#ffffff') . '"/>';
        if (!$data) {
            $svg .= '<text x="' . ($w / 2) . '" y="' . ($h / 2) . '" text-anchor="middle">' . H::e(Lang::t('no_records')) . '</text>';
        } elseif ($type === self::PIE || $type === self::DOUGHNUT) {
            $svg .= self::pie($data, $w, $h, $palette, $type === self::DOUGHNUT, $c);
        } else {
            $svg .= self::axes($data, $w, $h, $palette, $type, $c);
        }
        $svg .= '</svg>';
        return '<figure class="tw-chart" data-chart="' . H::e($c['name']) . '">' . ($caption !== '' ? '<figcaption>' . H::e($caption) . '</figcaption>' : '')
            . $svg . '</figure>';
    }

    private static function axes(array $data, int $w, int $h, array $palette, int $type, array $c): string
    {
        $left = $c['y_axis_name'] !== '' ? 92 : 70;
        $right = 20;
        $top = 20;
        $bottom = 70;
        $pw = $w - $left - $right;
        $ph = $h - $top - $bottom;
        $values = array_column($data, 1);
        $max = self::niceMax(max(0.0, ...$values));
        $min = min(0.0, ...$values);
        $min = $min < 0 ? -self::niceMax(-$min) : 0.0;
        $range = $max - $min ?: 1.0;
        $lines = max(1, (int)$c['grid_lines']);
        $out = '';
        $horizontal = $type === self::BAR;
        // grid and value axis
        for ($i = 0; $i <= $lines; $i++) {
            $v = $min + $range * $i / $lines;
            if ($horizontal) {
                $x = $left + $pw * $i / $lines;
                $out .= '<line x1="' . self::f($x) . '" y1="' . $top . '" x2="' . self::f($x) . '" y2="' . ($top + $ph) . '" class="tw-grid-line" stroke="#dde3ea"/>'
                    . '<text x="' . self::f($x) . '" y="' . ($top + $ph + 16) . '" text-anchor="middle" font-size="11">' . H::e(self::num($v)) . '</text>';
            } else {
                $y = $top + $ph - $ph * $i / $lines;
                $out .= '<line x1="' . $left . '" y1="' . self::f($y) . '" x2="' . ($left + $pw) . '" y2="' . self::f($y) . '" class="tw-grid-line" stroke="#dde3ea"/>'
                    . '<text x="' . ($left - 6) . '" y="' . self::f($y + 4) . '" text-anchor="end" font-size="11">' . H::e(self::num($v)) . '</text>';
            }
        }
        $n = count($data);
        $slot = ($horizontal ? $ph : $pw) / $n;
        $zero = $horizontal ? $left + $pw * (0 - $min) / $range : $top + $ph - $ph * (0 - $min) / $range;
        $points = [];
        foreach ($data as $i => [$label, $v]) {
            $color = $palette[$i % count($palette)];
            $title = '<title>' . H::e($label . ': ' . self::num($v)) . '</title>';
            $short = H::e(self::label($label, (int)$c['max_char']));
            if ($horizontal) {
                $y = $top + $slot * $i + $slot * 0.15;
                $x = $left + $pw * ($v - $min) / $range;
                $bh = $slot * 0.7;
                $out .= '<rect class="tw-bar" x="' . self::f(min($x, $zero)) . '" y="' . self::f($y) . '" width="' . self::f(abs($x - $zero))
                    . '" height="' . self::f($bh) . '" fill="' . H::e($color) . '">' . $title . '</rect>';
                if ($c['show_names']) {
                    $out .= '<text x="' . ($left - 6) . '" y="' . self::f($y + $bh / 2 + 4) . '" text-anchor="end" font-size="11">' . $short . '</text>';
                }
                if ($c['show_values']) {
                    $out .= '<text x="' . self::f(max($x, $zero) + 4) . '" y="' . self::f($y + $bh / 2 + 4) . '" font-size="11">' . H::e(self::num($v)) . '</text>';
                }
                continue;
            }
            $cx = $left + $slot * $i + $slot / 2;
            $y = $top + $ph - $ph * ($v - $min) / $range;
            if ($type === self::COLUMN) {
                $bw = $slot * 0.7;
                $out .= '<rect class="tw-bar" x="' . self::f($cx - $bw / 2) . '" y="' . self::f(min($y, $zero)) . '" width="' . self::f($bw)
                    . '" height="' . self::f(abs($zero - $y)) . '" fill="' . H::e($color) . '">' . $title . '</rect>';
            } else {
                $points[] = [$cx, $y, $title];
            }
            if ($c['show_values']) {
                $out .= '<text x="' . self::f($cx) . '" y="' . self::f(min($y, $zero) - 4) . '" text-anchor="middle" font-size="11">' . H::e(self::num($v)) . '</text>';
            }
            if ($c['show_names']) {
                $ly = $top + $ph + 14;
                $out .= '<text x="' . self::f($cx) . '" y="' . $ly . '" text-anchor="end" font-size="11" transform="rotate(-35 '
                    . self::f($cx) . ' ' . $ly . ')">' . $short . '</text>';
            }
        }
        if ($points) {
            $path = implode(' ', array_map(static fn($p) => self::f($p[0]) . ',' . self::f($p[1]), $points));
            $color = $palette[0];
            if ($type === self::AREA) {
                $first = $points[0];
                $last = $points[count($points) - 1];
                $out .= '<polygon class="tw-area" points="' . self::f($first[0]) . ',' . self::f($zero) . ' ' . $path . ' '
                    . self::f($last[0]) . ',' . self::f($zero) . '" fill="' . H::e($color) . '" fill-opacity="0.35"/>';
            }
            $out .= '<polyline class="tw-line" points="' . $path . '" fill="none" stroke="' . H::e($color) . '" stroke-width="2"/>';
            foreach ($points as [$x, $y, $title]) {
                $out .= '<circle cx="' . self::f($x) . '" cy="' . self::f($y) . '" r="3.5" fill="' . H::e($color) . '">' . $title . '</circle>';
            }
        }
        $out .= '<line x1="' . $left . '" y1="' . ($top + $ph) . '" x2="' . ($left + $pw) . '" y2="' . ($top + $ph) . '" stroke="#6b7785"/>'
            . '<line x1="' . $left . '" y1="' . $top . '" x2="' . $left . '" y2="' . ($top + $ph) . '" stroke="#6b7785"/>';
        if ($c['x_axis_name'] !== '') {
            $out .= '<text x="' . ($left + $pw / 2) . '" y="' . ($h - 4) . '" text-anchor="middle" font-size="12" font-weight="bold">' . H::e($c['x_axis_name']) . '</text>';
        }
        if ($c['y_axis_name'] !== '') {
            $out .= '<text x="16" y="' . ($top + $ph / 2) . '" text-anchor="middle" font-size="12" font-weight="bold" transform="rotate(-90 16 '
                . ($top + $ph / 2) . ')">' . H::e($c['y_axis_name']) . '</text>';
        }
        return $out;
    }

    private static function pie(array $data, int $w, int $h, array $palette, bool $hole, array $c): string
    {
        $total = array_sum(array_map(static fn($d) => max(0.0, $d[1]), $data));
        $r = min($w * 0.6, $h) / 2 - 10;
        $cx = $r + 10;
        $cy = $h / 2;
        $out = '';
        $angle = -M_PI / 2;
        foreach ($data as $i => [$label, $v]) {
            $color = $palette[$i % count($palette)];
            $v = max(0.0, $v);
            $share = $total > 0 ? $v / $total : 0;
            $title = '<title>' . H::e($label . ': ' . self::num($v) . ' (' . round($share * 100, 1) . '%)') . '</title>';
            if ($share >= 0.9999) {
                $out .= '<circle class="tw-slice" cx="' . self::f($cx) . '" cy="' . self::f($cy) . '" r="' . self::f($r) . '" fill="' . H::e($color) . '">' . $title . '</circle>';
            } elseif ($share > 0) {
                $end = $angle + $share * 2 * M_PI;
                $large = $share > 0.5 ? 1 : 0;
                $out .= '<path class="tw-slice" d="M' . self::f($cx) . ',' . self::f($cy) . ' L' . self::f($cx + $r * cos($angle)) . ','
                    . self::f($cy + $r * sin($angle)) . ' A' . self::f($r) . ',' . self::f($r) . ' 0 ' . $large . ' 1 '
                    . self::f($cx + $r * cos($end)) . ',' . self::f($cy + $r * sin($end)) . ' Z" fill="' . H::e($color) . '" stroke="#fff">' . $title . '</path>';
                $angle = $end;
            }
            $ly = 20 + $i * 18;
            if ($ly < $h - 10) {
                $out .= '<rect x="' . self::f(2 * $r + 30) . '" y="' . ($ly - 10) . '" width="12" height="12" fill="' . H::e($color) . '"/>'
                    . '<text x="' . self::f(2 * $r + 48) . '" y="' . $ly . '" font-size="12">' . H::e(self::label($label, (int)$c['max_char'] + 10))
                    . ($c['show_values'] ? ' (' . H::e(self::num($v)) . ')' : '') . '</text>';
            }
        }
        if ($hole) {
            $out .= '<circle cx="' . self::f($cx) . '" cy="' . self::f($cy) . '" r="' . self::f($r * 0.55) . '" fill="' . H::e($c['bg_color'] ?? '#ffffff') . '"/>';
        }
        return $out;
    }
}
