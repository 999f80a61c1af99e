<?php
// Record keys in links, and the condition that finds a record by its key.
declare(strict_types=1);

namespace Tarnwick;

/** Record keys in URLs: the key values, each URL-encoded, joined by commas. */
final class Keys
{
    public static function encode(array $t, array $row): string
    {
        return implode(',', array_map(static fn($k) => rawurlencode((string)$row[$k]), $t['key']));
    }

    /** @return array<string,string>|null */
    public static function decode(array $t, string $text): ?array
    {
        if (!$t['key'] || $text === '') {
            return null;
        }
        $parts = explode(',', $text);
        if (count($parts) !== count($t['key'])) {
            return null;
        }
        $out = [];
        foreach ($t['key'] as $i => $k) {
            $v = rawurldecode($parts[$i]);
            // a key that cannot be a value of its column finds nothing (MySQL would read "5x" as 5)
            if ($t['fields'][$k]['kind'] === 'int' && !Validate::isInteger($v)) {
                return null;
            }
            $out[$k] = $v;
        }
        return $out;
    }

    /** " WHERE k1 = ? AND k2 = ?" with its values. */
    public static function where(Db $db, array $key): array
    {
        $w = [];
        foreach (array_keys($key) as $k) {
            $w[] = $db->qi($k) . ' = ?';
        }
        return [' WHERE ' . implode(' AND ', $w), array_values($key)];
    }
}
