<?php
// Server-side checks of entered values and their conversion into what is
// stored in the database.
declare(strict_types=1);

namespace Tarnwick;

final class Validate
{
    /** Date order of a validation kind: 5 y/m/d, 6 m/d/y, 7 d/m/y. */
    public static function dateOrder(string $validate): int
    {
        return match ($validate) {
            'USDATE' => 6,
            'EURODATE' => 7,
            default => 5,
        };
    }

    /** The pattern shown to users for a date order. */
    public static function datePattern(int $order): string
    {
        $s = Format::$settings['date_separator'];
        return match ($order) {
            6 => "mm{$s}dd{$s}yyyy",
            7 => "dd{$s}mm{$s}yyyy",
            default => "yyyy{$s}mm{$s}dd",
        };
    }

    /**
     * Parses an entered date (with an optional time) in the given order;
     * "-", "/" and "." all separate. Returns "Y-m-d" or "Y-m-d H:i:s", or null.
     */
    public static function parseDate(string $s, int $order): ?string
    {
        $s = trim($s);
        if (!preg_match('/^(\d{1,4})[\/.\-](\d{1,2})[\/.\-](\d{1,4})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2}))?)?$/', $s, $m)) {
            return null;
        }
        // An ISO date (four-digit year first) is accepted whatever the order.
        if (strlen($m[1]) === 4) {
            [$y, $mo, $d] = [(int)$m[1], (int)$m[2], (int)$m[3]];
        } elseif ($order === 6) {
            [$mo, $d, $y] = [(int)$m[1], (int)$m[2], (int)$m[3]];
        } elseif ($order === 7) {
            [$d, $mo, $y] = [(int)$m[1], (int)$m[2], (int)$m[3]];
        } else {
            return null;
        }
        if (strlen((string)$y) !== 4 || !checkdate($mo, $d, $y)) {
            return null;
        }
        $date = sprintf('%04d-%02d-%02d', $y, $mo, $d);
        if (isset($m[4]) && $m[4] !== '') {
            $t = self::parseTime($m[4] . ':' . $m[5] . (isset($m[6]) && $m[6] !== '' ? ':' . $m[6] : ''));
            if ($t === null) {
                return null;
            }
            return $date . ' ' . $t;
        }
        return $date;
    }

    public static function parseTime(string $s): ?string
    {
        if (!preg_match('/^(\d{1,2}):(\d{2})(?::(\d{2}))?$/', trim($s), $m)) {
            return null;
        }
        [$h, $i, $sec] = [(int)$m[1], (int)$m[2], (int)($m[3] ?? 0)];
        if ($h > 23 || $i > 59 || $sec > 59) {
            return null;
        }
        return sprintf('%02d:%02d:%02d', $h, $i, $sec);
    }

    public static function isInteger(string $s): bool
    {
        return preg_match('/^[+-]?\d{1,18}$/', trim($s)) === 1;
    }

    public static function isFloat(string $s): bool
    {
        return preg_match('/^[+-]?(\d+(\.\d*)?|\.\d+)([eE][+-]?\d+)?$/', trim($s)) === 1;
    }

    public static function isGuid(string $s): bool
    {
        return preg_match('/^\{?[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\}?$/', trim($s)) === 1;
    }

    /** The kind of check a field gets: its validation setting, else one from its type. */
    public static function effective(array $f): string
    {
        if ($f['validate'] !== '') {
            return $f['validate'];
        }
        return match ($f['kind']) {
            'int' => 'INTEGER',
            'float' => 'FLOAT',
            'date', 'datetime' => 'ISODATE',
            'time' => 'TIME',
            'guid' => 'GUID',
            default => '',
        };
    }

    /**
     * Checks one entered text and converts it to the stored value.
     * Returns [value, error message or null].
     */
    public static function convert(array $f, string $input, mixed $old = null, bool $existing = false): array
    {
        $s = trim($input);
        $caption = $f['caption'];
        if ($s === '') {
            // an empty text is a value: a record that holds one keeps it
            if ($existing && $old !== null && !is_array($old) && trim((string)$old) === '' && in_array($f['kind'], ['string', 'memo'], true)) {
                return [$input === '' ? (string)$old : $input, null];
            }
            // a column without NULL takes no empty number, date or choice,
            // even where its default makes it optional on an add form
            if ($f['required'] || (!$f['nullable'] && !in_array($f['kind'], ['string', 'memo', 'blob'], true))) {
                return [null, Lang::t('required', $caption)];
            }
            if (in_array($f['kind'], ['string', 'memo'], true) && !$f['nullable']) {
                return ['', null];
            }
            return [null, null];
        }
        $check = self::effective($f);
        $value = $s;
        switch ($check) {
            case 'INTEGER':
                if (!self::isInteger($s)) {
                    return [null, Lang::t('invalid_integer', $caption)];
                }
                $value = (int)$s;
                break;
            case 'FLOAT':
                if (!self::isFloat($s)) {
                    return [null, Lang::t('invalid_float', $caption)];
                }
                $value = $s;
                break;
            case 'DATE': case 'USDATE': case 'EURODATE': case 'ISODATE':
                $order = self::dateOrder($check);
                $value = self::parseDate($s, $order);
                if ($value === null) {
                    return [null, Lang::t('invalid_date', $caption, self::datePattern($order))];
                }
                if ($f['kind'] === 'date') {
                    $value = substr($value, 0, 10);
                }
                break;
            case 'TIME':
                $value = self::parseTime($s);
                if ($value === null) {
                    return [null, Lang::t('invalid_time', $caption)];
                }
                break;
            case 'GUID':
                if (!self::isGuid($s)) {
                    return [null, Lang::t('invalid_guid', $caption)];
                }
                break;
        }
        if ($existing && is_string($old) && is_string($value) && in_array($check, ['DATE', 'USDATE', 'EURODATE', 'ISODATE', 'TIME'], true)
            && $value === self::toSeconds($f, $old)) {
            // the form shows whole seconds: a value left as shown keeps its fractions and time zone
            return [$old, null];
        }
        if ($f['kind'] === 'bool' && is_string($value) && self::isInteger($value)) {
            $value = (int)$value; // a BIT column takes a number, not its text
        }
        if ($f['kind'] === 'int' && is_string($value)) {
            if (!self::isInteger($value)) {
                return [null, Lang::t('invalid_integer', $caption)];
            }
            $value = (int)$value;
        } elseif ($f['kind'] === 'float' && !self::isFloat((string)$value)) {
            return [null, Lang::t('invalid_float', $caption)];
        }
        if (($f['min'] !== null || $f['max'] !== null) && is_numeric($value)) {
            if (($f['min'] !== null && $value < $f['min']) || ($f['max'] !== null && $value > $f['max'])) {
                return [null, $f['error'] !== '' ? $f['error'] : Lang::t('out_of_range', $caption, (string)$f['min'], (string)$f['max'])];
            }
        }
        if (in_array($f['kind'], ['string', 'memo'], true)) {
            if ($existing && is_string($old) && $old !== $input && str_replace("\r\n", "\n", $old) === str_replace("\r\n", "\n", $input)) {
                return [$old, null]; // browsers send the line breaks of a text area as CR LF
            }
            $max = (int)($f['tag_maxlength'] ?: $f['size']);
            if ($max > 0 && Format::length($s) > $max) {
                return [null, Lang::t('too_long', $caption, $max)];
            }
            $value = $input; // text is stored as entered (only the emptiness test trims)
        }
        return [$value, null];
    }

    /** A stored date, date-time or time as the checks above give it back: without fractions of a second or time zone. */
    private static function toSeconds(array $f, string $stored): ?string
    {
        $p = Format::parseStored($stored);
        if ($p === null) {
            return null;
        }
        $time = sprintf('%02d:%02d:%02d', $p['H'], $p['i'], $p['s']);
        if (!$p['date']) {
            return $time;
        }
        $date = sprintf('%04d-%02d-%02d', $p['y'], $p['m'], $p['d']);
        return $f['kind'] === 'date' || !$p['time'] ? $date : $date . ' ' . $time;
    }

    /** The text put into an edit control for a stored value. */
    public static function toInput(array $f, mixed $v): string
    {
        if ($v === null) {
            return '';
        }
        if (is_float($v)) {
            // the shortest text that reads back as the same number
            $v = var_export($v, true);
            return str_ends_with($v, '.0') ? substr($v, 0, -2) : $v;
        }
        $v = (string)$v;
        $check = self::effective($f);
        if (in_array($check, ['DATE', 'USDATE', 'EURODATE'], true) && ($p = Format::parseStored($v)) && $p['date']) {
            $text = Format::datePart($p, self::dateOrder($check));
            if ($f['kind'] === 'datetime' && $p['time']) {
                $text .= sprintf(' %02d:%02d:%02d', $p['H'], $p['i'], $p['s']);
            }
            return $text;
        }
        if ($f['kind'] === 'float' && is_numeric($v) && str_contains($v, 'E') === false) {
            return $v;
        }
        return $v;
    }
}
