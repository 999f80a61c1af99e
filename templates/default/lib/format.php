<?php
// Display formatting of field values: numbers, currency, percentages and the
// date/time formats 0..11.
declare(strict_types=1);

namespace Tarnwick;

final class Format
{
    /** Project-wide settings: date_format (5, 6 or 7), date_separator, currency_symbol. */
    public static array $settings = ['date_format' => 5, 'date_separator' => '/', 'currency_symbol' => '$',
        'decimal_point' => '.', 'thousands_separator' => ','];

    /** Plain (unescaped) text of a value as the field's format shows it. */
    public static function text(array $f, mixed $v): string
    {
        if ($v === null || $v === '') {
            return '';
        }
        if ($f['kind'] === 'blob') {
            return '';
        }
        switch ($f['format']) {
            case 'Currency':
                return is_numeric($v) ? self::currency((float)$v, (int)$f['digits'], $f) : (string)$v;
            case 'Number':
                return is_numeric($v) ? self::number((float)$v, (int)$f['digits'], $f) : (string)$v;
            case 'Percent':
                return is_numeric($v) ? self::number((float)$v * 100, (int)$f['digits'], $f) . '%' : (string)$v;
            case 'Date/Time':
                $format = (int)$f['date_format'];
                if ($f['kind'] === 'datetime' && in_array($format, [2, 5, 6, 7], true)) {
                    // a date format on a date-time column still shows the time it holds
                    $format = $format === 2 ? 8 : $format + 4;
                }
                return self::date((string)$v, $format);
        }
        if ($f['kind'] === 'bool' || $f['values']) {
            foreach ($f['values'] as [$value, $label]) {
                if ((string)$v === $value) {
                    return $label;
                }
            }
        }
        return (string)$v;
    }

    private static function tri(int $v, bool $default): bool
    {
        return $v === -2 ? $default : $v !== 0;
    }

    public static function number(float $v, int $digits, array $f = []): string
    {
        $group = self::tri((int)($f['group_digits'] ?? -2), true);
        $lead = self::tri((int)($f['lead_digit'] ?? -2), true);
        $paren = self::tri((int)($f['paren'] ?? -2), false);
        $digits = max(0, $digits);
        $text = number_format(abs($v), $digits, self::$settings['decimal_point'],
            $group ? self::$settings['thousands_separator'] : '');
        if (!$lead && str_starts_with($text, '0' . self::$settings['decimal_point'])) {
            $text = substr($text, 1);
        }
        if (round($v, $digits) < 0) {
            return $paren ? '(' . $text . ')' : '-' . $text;
        }
        return $text;
    }

    public static function currency(float $v, int $digits, array $f = []): string
    {
        $text = self::number(abs($v), $digits, $f);
        $text = self::$settings['currency_symbol'] . $text;
        if (round($v, max(0, $digits)) < 0) {
            return self::tri((int)($f['paren'] ?? -2), false) ? '(' . $text . ')' : '-' . $text;
        }
        return $text;
    }

    /** Splits a stored date, time or timestamp into its parts. */
    public static function parseStored(string $v): ?array
    {
        if (preg_match('/^(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2}):(\d{2})(?::(\d{2}))?)?/', $v, $m)) {
            return ['y' => (int)$m[1], 'm' => (int)$m[2], 'd' => (int)$m[3], 'H' => (int)($m[4] ?? 0),
                'i' => (int)($m[5] ?? 0), 's' => (int)($m[6] ?? 0), 'time' => isset($m[4]), 'date' => true];
        }
        // a time of day, with fractions of a second and a time zone (PostgreSQL's time and timetz)
        if (preg_match('/^(\d{1,2}):(\d{2})(?::(\d{2}))?(?:\.\d+)?(?:[+-]\d{2}(?::?\d{2})?)?$/', $v, $m)) {
            return ['y' => 0, 'm' => 0, 'd' => 0, 'H' => (int)$m[1], 'i' => (int)$m[2], 's' => (int)($m[3] ?? 0),
                'time' => true, 'date' => false];
        }
        return null;
    }

    /** The date part in one of the numeric orders 5 (y/m/d), 6 (m/d/y), 7 (d/m/y). */
    public static function datePart(array $p, int $order): string
    {
        $sep = self::$settings['date_separator'];
        $y = sprintf('%04d', $p['y']);
        $m = sprintf('%02d', $p['m']);
        $d = sprintf('%02d', $p['d']);
        return match ($order) {
            6 => $m . $sep . $d . $sep . $y,
            7 => $d . $sep . $m . $sep . $y,
            default => $y . $sep . $m . $sep . $d,
        };
    }

    public static function date(string $v, int $format): string
    {
        $p = self::parseStored($v);
        if ($p === null) {
            return $v;
        }
        $short = (int)self::$settings['date_format'];
        $longTime = sprintf('%02d:%02d:%02d', $p['H'], $p['i'], $p['s']);
        $hasTime = $p['time'] && ($p['H'] || $p['i'] || $p['s']);
        if (!$p['date']) {
            return $format === 4 ? sprintf('%02d:%02d', $p['H'], $p['i']) : $longTime;
        }
        switch ($format) {
            case 1:
                $dt = \DateTimeImmutable::createFromFormat('!Y-n-j', $p['y'] . '-' . $p['m'] . '-' . $p['d']);
                return $dt ? $dt->format('l, F j, Y') : $v;
            case 2:
                return self::datePart($p, $short);
            case 3:
                return $longTime;
            case 4:
                return sprintf('%02d:%02d', $p['H'], $p['i']);
            case 5: case 6: case 7:
                return self::datePart($p, $format);
            case 8:
                return self::datePart($p, $short) . ' ' . $longTime;
            case 9: case 10: case 11:
                return self::datePart($p, $format - 4) . ' ' . $longTime;
            default:
                return self::datePart($p, $short) . ($hasTime ? ' ' . $longTime : '');
        }
    }

    /** HTML of a value in a list or view cell (escaped, with bold/italic and links). */
    /**
     * A yes/no checkbox (a CHECKBOX of one value) in a list or view cell: a
     * tick when on (its first choice), nothing when off; null for other fields.
     */
    public static function tick(array $f, mixed $v): ?string
    {
        if ($f['control'] !== 'CHECKBOX' || $f['multiple'] || $f['lookup'] !== null) {
            return null;
        }
        $on = $f['values'][0][0] ?? '1';
        if ($v === null || (string)$v !== $on) {
            return '';
        }
        $label = $f['values'][0][1] ?? Lang::t('yes');
        return '<span class="tw-tick" role="img" aria-label="' . H::e($label) . '" title="' . H::e($label) . '">✓</span>';
    }

    public static function html(array $f, mixed $v, ?string $display = null): string
    {
        $text = $display ?? self::text($f, $v);
        if ($f['kind'] === 'memo' && ($f['memo_max'] ?? 0) > 0 && self::length($text) > $f['memo_max']) {
            $text = self::cut($text, (int)$f['memo_max']) . '…';
        }
        $html = nl2br(H::e($text), false);
        if ($text !== '' && ($f['link_prefix'] !== '' || $f['view_tag'] === 'LINK')) {
            $href = H::safeHref($f['link_prefix'] . $v . $f['link_suffix']);
            if ($href !== null) {
                $attrs = ['href' => $href];
                if ($f['link_target'] !== '') {
                    $attrs['target'] = $f['link_target'];
                    $attrs['rel'] = 'noopener noreferrer';
                }
                $html = H::tag('a', $attrs, $html);
            }
        }
        if ($f['bold']) {
            $html = '<strong>' . $html . '</strong>';
        }
        if ($f['italic']) {
            $html = '<em>' . $html . '</em>';
        }
        return $html;
    }

    public static function length(string $s): int
    {
        return preg_match_all('/./us', $s);
    }

    public static function cut(string $s, int $n): string
    {
        return preg_match('/^.{0,' . $n . '}/us', $s, $m) ? $m[0] : $s;
    }

    /** CSS class for a cell: alignment, numbers right-aligned by default. */
    public static function cellClass(array $f): string
    {
        $align = strtolower((string)$f['align']);
        if ($align === '' && in_array($f['kind'], ['int', 'float'], true) && !$f['values'] && !$f['lookup']) {
            $align = 'right';
        }
        return in_array($align, ['left', 'right', 'center'], true) ? 'tw-' . $align : '';
    }
}
