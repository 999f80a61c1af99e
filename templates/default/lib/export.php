<?php
// Exports of a list (its current search and order, every page): CSV, HTML,
// Excel- and Word-compatible HTML, and XML.
declare(strict_types=1);

namespace Tarnwick;

final class Export
{
    public function __construct(private readonly App $app, private readonly array $t, private readonly array $fields)
    {
    }

    /** Spreadsheets run texts that start like a formula; such texts get a leading quote. */
    public static function cellText(string $s): string
    {
        if ($s !== '' && strpbrk($s[0], "=+-@\t\r") !== false && !is_numeric($s)) {
            return "'" . $s;
        }
        return $s;
    }

    /**
     * The exported text of a value: the stored value itself (ISO dates,
     * plain numbers, lookup keys), or with the list setting
     * 'export_formatted' the text the list shows.
     */
    private function text(array $f, mixed $v, array $labels): string
    {
        if ($v === null) {
            return '';
        }
        if (!$this->formatted) {
            return is_float($v) ? Validate::toInput($f + ['kind' => 'float'], $v) : (string)$v;
        }
        if (isset($labels[$f['name']][(string)$v])) {
            return $labels[$f['name']][(string)$v];
        }
        return Format::text($f, $v);
    }

    private bool $formatted = false;

    /**
     * The rows in batches: each batch comes with the display texts of its
     * lookup values (with 'export_formatted'), so that memory stays the
     * same whatever the number of rows.
     *
     * @return \Generator<array{0:array,1:array}>
     */
    private function batches(\PDOStatement $rows): \Generator
    {
        $batch = [];
        while (true) {
            $r = $rows->fetch(\PDO::FETCH_ASSOC);
            if ($r !== false) {
                $batch[] = $r;
            }
            if (($r === false && $batch) || count($batch) >= 500) {
                $labels = [];
                if ($this->formatted) {
                    foreach ($this->fields as $f) {
                        if ($f['lookup'] !== null) {
                            $labels[$f['name']] = Controls::lookupLabels($this->app, $f, array_column($batch, $f['name']));
                        }
                    }
                }
                yield [$batch, $labels];
                $batch = [];
            }
            if ($r === false) {
                return;
            }
        }
    }

    public function send(string $kind, \PDOStatement $rows): void
    {
        $this->app->cleanOutput();
        $base = preg_replace('/[^A-Za-z0-9_-]/', '_', $this->t['var']);
        $this->formatted = (bool)($this->t['list']['export_formatted'] ?? false);
        // nothing is kept: each batch of rows goes out as it is written
        $this->app->endBuffering();
        set_time_limit(0);
        header('X-Content-Type-Options: nosniff');
        switch ($kind) {
            case 'csv':
                header('Content-Type: text/csv; charset=utf-8');
                header('Content-Disposition: attachment; filename="' . $base . '.csv"');
                $out = fopen('php://output', 'w');
                fputcsv($out, array_map(static fn($f) => self::cellText($f['caption']), $this->fields), ',', '"', '');
                foreach ($this->batches($rows) as [$batch, $labels]) {
                    foreach ($batch as $r) {
                        $line = [];
                        foreach ($this->fields as $f) {
                            $line[] = self::cellText($this->text($f, $r[$f['name']] ?? null, $labels));
                        }
                        fputcsv($out, $line, ',', '"', '');
                    }
                    flush();
                }
                fclose($out);
                return;
            case 'xml':
                header('Content-Type: application/xml; charset=utf-8');
                header('Content-Disposition: attachment; filename="' . $base . '.xml"');
                echo '<?xml version="1.0" encoding="utf-8"?>', "\n<table name=\"", H::xml($this->t['name']), "\">\n";
                foreach ($this->batches($rows) as [$batch]) {
                    foreach ($batch as $r) {
                        echo "  <row>\n";
                        foreach ($this->fields as $f) {
                            $tag = preg_replace('/^x_/', '', $f['var']);
                            $v = $r[$f['name']] ?? null;
                            echo '    <', $tag, $v === null ? ' null="true"/>' : '>' . H::xml($this->text($f, $v, [])) . '</' . $tag . '>', "\n";
                        }
                        echo "  </row>\n";
                    }
                    flush();
                }
                echo "</table>\n";
                return;
            case 'html': case 'excel': case 'word':
                $types = ['html' => ['text/html', 'html'], 'excel' => ['application/vnd.ms-excel', 'xls'],
                    'word' => ['application/msword', 'doc']];
                [$mime, $ext] = $types[$kind];
                header('Content-Type: ' . $mime . '; charset=utf-8');
                header('Content-Disposition: attachment; filename="' . $base . '.' . $ext . '"');
                echo '<!DOCTYPE html><html><head><meta charset="utf-8"><title>', H::e($this->t['caption']), '</title></head><body>';
                echo '<table border="1"><thead><tr>';
                foreach ($this->fields as $f) {
                    echo '<th>', H::e($f['caption']), '</th>';
                }
                echo '</tr></thead><tbody>';
                foreach ($this->batches($rows) as [$batch, $labels]) {
                    foreach ($batch as $r) {
                        echo '<tr>';
                        foreach ($this->fields as $f) {
                            $text = $this->text($f, $r[$f['name']] ?? null, $labels);
                            echo '<td>', H::e($kind === 'excel' ? self::cellText($text) : $text), '</td>';
                        }
                        echo '</tr>';
                    }
                    flush();
                }
                echo '</tbody></table></body></html>';
                return;
        }
        throw new HttpError(404, Lang::t('bad_request'));
    }
}
