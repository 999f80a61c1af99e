<?php
// HTML output helpers: everything that goes into a page passes through e().
declare(strict_types=1);

namespace Tarnwick;

final class H
{
    /** Escapes a value for HTML text and attribute values. */
    public static function e(mixed $value): string
    {
        if ($value === null) {
            return '';
        }
        if (is_bool($value)) {
            $value = $value ? '1' : '0';
        }
        return htmlspecialchars((string)$value, ENT_QUOTES | ENT_SUBSTITUTE | ENT_HTML5, 'UTF-8');
    }

    /** Attribute list; true writes the bare name, false and null leave it out. */
    public static function attrs(array $attrs): string
    {
        $out = '';
        foreach ($attrs as $name => $value) {
            if ($value === null || $value === false) {
                continue;
            }
            $out .= ' ' . $name;
            if ($value !== true) {
                $out .= '="' . self::e($value) . '"';
            }
        }
        return $out;
    }

    public static function tag(string $name, array $attrs = [], ?string $innerHtml = null): string
    {
        $html = '<' . $name . self::attrs($attrs) . '>';
        return $innerHtml === null ? $html : $html . $innerHtml . '</' . $name . '>';
    }

    /** A link to a page of this application with query parameters. */
    public static function url(string $page, array $params = []): string
    {
        $params = array_filter($params, static fn($v) => $v !== null && $v !== '' && $v !== []);
        $query = http_build_query($params, '', '&', PHP_QUERY_RFC3986);
        return $query === '' ? $page : $page . '?' . $query;
    }

    public static function link(string $href, string $text, array $attrs = []): string
    {
        return self::tag('a', ['href' => $href] + $attrs, self::e($text));
    }

    /**
     * A URL that is safe to put into href: relative links and the schemes
     * http, https, mailto, ftp and tel pass, anything else (javascript:, data:)
     * gives null.
     */
    public static function safeHref(string $url): ?string
    {
        $url = trim($url);
        if ($url === '') {
            return null;
        }
        if (preg_match('/^([a-zA-Z][a-zA-Z0-9+.\-]*):/', $url, $m)) {
            return in_array(strtolower($m[1]), ['http', 'https', 'mailto', 'ftp', 'tel'], true) ? $url : null;
        }
        // No scheme: refuse anything a browser might still read as one.
        return preg_match('/^[\x00-\x20]|[\x00-\x1f]/', $url) ? null : $url;
    }

    /** Text that is safe inside XML: characters XML 1.0 forbids are dropped. */
    public static function xml(mixed $value): string
    {
        $text = preg_replace('/[^\x{9}\x{A}\x{D}\x{20}-\x{D7FF}\x{E000}-\x{FFFD}\x{10000}-\x{10FFFF}]/u', '', (string)$value) ?? '';
        return htmlspecialchars($text, ENT_QUOTES | ENT_XML1 | ENT_SUBSTITUTE, 'UTF-8');
    }
}
