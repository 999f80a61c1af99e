<?php
// Checks of the runtime's pure helpers (formatting, validation, names, value
// lists, keys, charts) without a web server. Run: php tests/e2e/runtime_unit.php
declare(strict_types=1);

require __DIR__ . '/../../templates/default/lib/tarnwick.php';

use Tarnwick\{Chart, Export, Format, H, Keys, Meta, Validate};

$passed = 0;
$failed = 0;
function same(string $name, mixed $expected, mixed $actual): void
{
    global $passed, $failed;
    if ($expected === $actual) {
        $passed++;
        return;
    }
    $failed++;
    echo "[ FAIL ] runtime.$name: expected ", var_export($expected, true), ', got ', var_export($actual, true), "\n";
}

$cfg = ['app' => ['max_upload_size' => 1000]];
$field = fn(array $f) => Meta::field($f + ['name' => 'f'], [], $cfg);

// identifiers made from names
same('var_blank', 'x_Total_Amount', Meta::varName('Total Amount', 'x_'));
same('var_hyphen', 'x_Unit2DPrice', Meta::varName('Unit-Price', 'x_'));
same('var_digit_first', 'x2005_Sales', Meta::varName('2005 Sales'));
same('var_non_ascii', 'FC', Meta::varName('ü'));
same('var_non_ascii_digit_first', 'x131k', Meta::varName('ık'));

// value lists in their text form
same('values_text', [['Y', 'Yes'], ['N', 'No']], Meta::values("\"Y\",\"Yes\"\r\n\"N\",\"No\"\r\n"));
same('values_quotes', [['a"b', 'A "B"']], Meta::values('"a""b","A ""B"""'));
same('values_map', [['Y', 'Yes'], ['N', 'No']], Meta::values(['Y' => 'Yes', 'N' => 'No']));

// kinds from type codes
same('kind_decimal', 'float', Meta::kind(131));
same('kind_timestamp', 'datetime', Meta::kind(135));
same('kind_memo', 'memo', Meta::kind(201));
same('kind_blob', 'blob', Meta::kind(205));
same('default_control_auto', 'NO', $field(['type' => 3, 'auto_increment' => true])['control']);
same('default_not_listed_memo', false, $field(['type' => 203])['list']);

// numbers
Format::$settings = ['date_format' => 5, 'date_separator' => '/', 'currency_symbol' => '$',
    'decimal_point' => '.', 'thousands_separator' => ','];
same('number_grouped', '1,234,567.89', Format::number(1234567.891, 2));
same('number_round_half', '2.50', Format::number(2.499999, 2));
same('number_no_group', '1234.5', Format::number(1234.5, 1, ['group_digits' => 0]));
same('number_paren', '(3.00)', Format::number(-3, 2, ['paren' => -1]));
same('number_no_lead', '.50', Format::number(0.5, 2, ['lead_digit' => 0]));
same('currency', '$2,500.50', Format::currency(2500.5, 2));
same('currency_negative', '-$7.25', Format::currency(-7.25, 2));
same('percent', '15%', Format::text($field(['type' => 131, 'format' => 'Percent', 'digits' => 0]), '0.15'));
same('negative_zero', '0.00', Format::number(-0.001, 2));

// dates: formats 0..11
$d = '2024-03-09 14:05:30';
$expect = [0 => '2024/03/09 14:05:30', 1 => 'Saturday, March 9, 2024', 2 => '2024/03/09', 3 => '14:05:30', 4 => '14:05',
    5 => '2024/03/09', 6 => '03/09/2024', 7 => '09/03/2024', 8 => '2024/03/09 14:05:30', 9 => '2024/03/09 14:05:30',
    10 => '03/09/2024 14:05:30', 11 => '09/03/2024 14:05:30'];
foreach ($expect as $fmt => $text) {
    same("date_format_$fmt", $text, Format::date($d, $fmt));
}
same('date_general_no_time', '2024/03/09', Format::date('2024-03-09', 0));
Format::$settings['date_separator'] = '.';
same('date_separator', '09.03.2024', Format::date('2024-03-09', 7));
Format::$settings['date_separator'] = '/';

// entered dates and times
same('parse_date', '2024-12-31', Validate::parseDate('2024/12/31', 5));
same('parse_usdate', '2024-12-31', Validate::parseDate('12/31/2024', 6));
same('parse_eurodate', '2024-12-31', Validate::parseDate('31.12.2024', 7));
same('parse_iso_any_order', '2024-12-31', Validate::parseDate('2024-12-31', 7));
same('parse_with_time', '2024-02-29 08:30:00', Validate::parseDate('02/29/2024 8:30', 6));
same('parse_bad_day', null, Validate::parseDate('2023/02/29', 5));
same('parse_two_digit_year', null, Validate::parseDate('31/12/24', 7));
same('parse_wrong_order', null, Validate::parseDate('31/12/2024', 6));
same('parse_time', '07:05:00', Validate::parseTime('7:05'));
same('parse_bad_time', null, Validate::parseTime('24:00'));
same('guid', true, Validate::isGuid('{6F9619FF-8B86-D011-B42D-00C04FC964FF}'));
same('guid_bad', false, Validate::isGuid('6F9619FF-8B86-D011-B42D-00C04FC964F'));
same('integer', true, Validate::isInteger('-42'));
same('integer_bad', false, Validate::isInteger('4.2'));
same('float_exp', true, Validate::isFloat('1.5e3'));
same('float_bad', false, Validate::isFloat('1,5'));

// conversion of entries with the field's checks
$time = $field(['type' => 134, 'caption' => 'Start']);
same('convert_time', ['09:15:00', null], Validate::convert($time, '9:15'));
same('convert_time_bad', [null, 'Start must be a time in the form hh:mm or hh:mm:ss'], Validate::convert($time, '9h15'));
$guid = $field(['type' => 72, 'caption' => 'Id']);
same('convert_guid_bad', [null, 'Id must be a GUID'], Validate::convert($guid, 'nope'));
$qty = $field(['type' => 3, 'caption' => 'Qty', 'min' => 1, 'max' => 9]);
same('convert_int', [5, null], Validate::convert($qty, ' 5 '));
same('convert_range', [null, 'Qty must lie between 1 and 9'], Validate::convert($qty, '10'));
$msg = $field(['type' => 3, 'caption' => 'Qty', 'min' => 1, 'error' => 'At least one']);
same('convert_range_message', [null, 'At least one'], Validate::convert($msg, '0'));
$req = $field(['type' => 200, 'caption' => 'Name', 'required' => true]);
same('convert_required', [null, 'Please enter a value for Name'], Validate::convert($req, '  '));
$text = $field(['type' => 200, 'nullable' => false]);
same('convert_empty_not_null', ['', null], Validate::convert($text, ''));
same('convert_empty_null', [null, null], Validate::convert($field(['type' => 200]), ''));
// a column without NULL whose default makes it optional on an add form still
// takes no empty number, date or time
foreach ([['int', 3], ['float', 5], ['decimal', 131], ['date', 133], ['datetime', 135], ['time', 134]] as [$kind, $type]) {
    same("convert_empty_not_null_$kind", [null, 'Please enter a value for At'],
        Validate::convert($field(['type' => $type, 'caption' => 'At', 'nullable' => false]), '', '5', true));
    same("convert_empty_null_$kind", [null, null], Validate::convert($field(['type' => $type, 'caption' => 'At']), ''));
}
$len = $field(['type' => 200, 'caption' => 'Code', 'size' => 3]);
same('convert_length_code_points', ['äöü', null], Validate::convert($len, 'äöü'));
same('convert_too_long', [null, 'Code may hold at most 3 characters'], Validate::convert($len, 'abcd'));
// a date-time or time saved as its form shows it (whole seconds, no time zone)
// keeps what is stored; another value, or a new record, takes what was entered
$stamp = $field(['type' => 135, 'caption' => 'At']);
$day = $field(['type' => 133, 'validate' => 'USDATE']);
foreach ([
    ['stamp_fraction', $stamp, '2025-01-03 08:15:02.25', '2025-01-03T08:15:02', true, '2025-01-03 08:15:02.25'],
    ['stamp_zone', $stamp, '2024-03-12 10:22:32+00', '2024-03-12 10:22:32', true, '2024-03-12 10:22:32+00'],
    ['stamp_other_second', $stamp, '2025-01-03 08:15:02.25', '2025-01-03T08:15:03', true, '2025-01-03 08:15:03'],
    ['stamp_new_record', $stamp, '2025-01-03 08:15:02.25', '2025-01-03T08:15:02', false, '2025-01-03 08:15:02'],
    ['time_fraction', $time, '08:30:00.5', '8:30', true, '08:30:00.5'],
    ['time_zone', $time, '08:30:00+02', '08:30:00', true, '08:30:00+02'],
    ['time_other', $time, '08:30:00.5', '08:31', true, '08:31:00'],
    ['usdate', $day, '2024-02-29', '02/29/2024', true, '2024-02-29'],
] as [$name, $f, $stored, $entered, $existing, $expected]) {
    same("convert_stored_$name", [$expected, null], Validate::convert($f, $entered, $stored, $existing));
}
$eu = $field(['type' => 133, 'validate' => 'EURODATE']);
same('input_eurodate', '05/01/2021', Validate::toInput($eu, '2021-01-05'));

// escaping and links
same('escape', '&lt;a href=&quot;x&quot;&gt;&apos;&amp;', H::e('<a href="x">\'&'));
same('safe_href_js', null, H::safeHref(' javascript:alert(1)'));
same('safe_href_mail', 'mailto:a@b.c', H::safeHref('mailto:a@b.c'));
same('safe_href_relative', 'page.php?a=1', H::safeHref('page.php?a=1'));
same('xml_control_chars', 'ab&amp;', H::xml("a\x01b&"));
same('url', 'p.php?a=1&b=x%20y', H::url('p.php', ['a' => 1, 'b' => 'x y', 'c' => '']));
same('local_url_ok', 'list.php?x=1', Tarnwick\App::localUrl('list.php?x=1'));
same('local_url_scheme', null, Tarnwick\App::localUrl('//evil.example/x.php'));
same('like_escape', 'a!%b!_c!!', Tarnwick\Db::likeEscape('a%b_c!'));
same('csv_formula', "'=1+2", Export::cellText('=1+2'));
same('csv_negative_number', '-12.5', Export::cellText('-12.5'));

// keys in URLs
$t = Meta::table(['name' => 't', 'key' => ['a', 'b'], 'fields' => ['a' => ['type' => 3], 'b' => ['type' => 200]]], $cfg);
$enc = Keys::encode($t, ['a' => 7, 'b' => 'x,y z']);
same('key_encode', '7,x%2Cy%20z', $enc);
same('key_decode', ['a' => '7', 'b' => 'x,y z'], Keys::decode($t, $enc));
same('key_decode_count', null, Keys::decode($t, '7'));
same('key_decode_int', null, Keys::decode($t, '7x,b'));

// paging by position on SQLite: from every row, the rows after it and before
// it in the order are the rest of the whole ordered list, whatever the ties,
// NULLs, directions and the texts of the values
$db = new Tarnwick\Db(['driver' => 'sqlite', 'path' => ':memory:'], __DIR__);
// (raw: no declared type, so SQLite compares its numbers with a text as texts)
$db->pdo->exec('CREATE TABLE s (id INTEGER PRIMARY KEY, name VARCHAR(20), price REAL, code TEXT, amount DECIMAL(8,2), raw)');
$names = ['b', 'a,b', '50%', null, 'Ünï', 'a', 'b', null, 'x%2Cy', 'b', 'n', ''];
foreach ($names as $i => $name) {
    $db->run('INSERT INTO s VALUES (?, ?, CAST(? AS REAL), ?, ?, CAST(? AS REAL))', [$i + 1, $name,
        $i % 3 ? var_export(0.1 * ($i % 4), true) : null, $i % 2 ? 'k' . ($i % 3) : null, $i % 5 ? ($i % 3) * 1.25 : null,
        $i % 4 ? var_export(($i % 6) / 7, true) : null]);
}
$st = Meta::table(['name' => 's', 'key' => ['id'], 'fields' => ['id' => ['type' => 3], 'name' => ['type' => 200],
    'price' => ['type' => 5], 'code' => ['type' => 201], 'amount' => ['type' => 131], 'raw' => ['type' => 5]]], $cfg);
$orders = [
    [['name', 'ASC'], ['id', 'ASC']], [['name', 'DESC'], ['id', 'DESC']], [['price', 'ASC'], ['id', 'ASC']],
    [['price', 'DESC'], ['name', 'ASC'], ['id', 'ASC']], [['code', 'ASC'], ['amount', 'DESC'], ['id', 'DESC']],
    [['amount', 'ASC'], ['id', 'ASC']], [['raw', 'DESC'], ['id', 'DESC']], [['id', 'DESC']],
];
foreach ($orders as $order) {
    $label = implode(',', array_map(static fn($o) => implode(' ', $o), $order));
    $seek = new Tarnwick\Seek($db, $st, $order);
    $by = static fn(bool $back) => ' ORDER BY ' . implode(', ', array_map(static fn($o) => $o[0] . ' '
        . ($back ? ($o[1] === 'DESC' ? 'ASC' : 'DESC') : $o[1]), $order));
    $all = $db->all('SELECT * FROM s' . $by(false));
    $ids = array_column($all, 'id');
    foreach ($all as $at => $row) {
        $values = $seek->decode($seek->cursor($row));
        [$after, $p] = $seek->where($values, false);
        same("seek_after $label from {$row['id']}", array_slice($ids, $at + 1),
            array_column($db->all('SELECT id FROM s WHERE ' . $after . $by(false), $p), 'id'));
        [$before, $p] = $seek->where($values, true);
        same("seek_before $label from {$row['id']}", array_reverse(array_slice($ids, 0, $at)),
            array_column($db->all('SELECT id FROM s WHERE ' . $before . $by(true), $p), 'id'));
    }
}
same('seek_usable_table', true, (new Tarnwick\Seek($db, $st, $orders[0]))->usable());
same('seek_single_float_pages_by_number', false, (new Tarnwick\Seek($db, Meta::table(['name' => 's', 'key' => ['id'],
    'fields' => ['id' => ['type' => 3], 'f' => ['type' => 4]]], $cfg), [['f', 'ASC'], ['id', 'ASC']]))->usable());
same('seek_view_pages_by_number', false, (new Tarnwick\Seek($db, ['type' => 'VIEW'] + $st, $orders[0]))->usable());
$seek = new Tarnwick\Seek($db, $st, $orders[0]);
foreach (['', 'sa', 'sa,i1,i2', 'xa,i1', 'sa,i1x', 'sa,f1e', 'na,i1'] as $bad) {
    same("seek_not_a_position '$bad'", null, $seek->decode($bad));
}

// why the database refused a record's values: SQLite's own refusals, and
// those PostgreSQL (SQLSTATE) and MySQL/MariaDB (error number) report
$db->pdo->exec('CREATE TABLE parent (id INTEGER PRIMARY KEY)');
$db->pdo->exec('PRAGMA foreign_keys = ON');
$db->pdo->exec('CREATE TABLE rules (id INTEGER PRIMARY KEY, code TEXT UNIQUE, n INTEGER NOT NULL CHECK (n > 0),
    parent INTEGER REFERENCES parent (id))');
$db->pdo->exec("INSERT INTO parent VALUES (1); INSERT INTO rules VALUES (1, 'a', 1, 1)");
$refused = static function (callable $write): ?string {
    try {
        $write();
    } catch (\Throwable $e) {
        return Tarnwick\Db::refusal($e);
    }
    return 'stored';
};
$reported = static fn(string $state, int $code) => new class($state, $code) extends PDOException {
    public function __construct(string $state, int $code)
    {
        parent::__construct("SQLSTATE[$state]");
        $this->code = $state;
        $this->errorInfo = [$state, $code, 'refused'];
    }
};
foreach ([
    ['sqlite_duplicate', "INSERT INTO rules VALUES (2, 'a', 1, NULL)", 'save_failed'],
    ['sqlite_duplicate_key', "INSERT INTO rules VALUES (1, 'b', 1, NULL)", 'save_failed'],
    ['sqlite_reference', "INSERT INTO rules VALUES (2, 'b', 1, 7)", 'save_bad_reference'],
    ['sqlite_check', "UPDATE rules SET n = 0", 'save_broken_rule'],
    ['sqlite_not_null', "UPDATE rules SET n = NULL", 'save_missing_value'],
    ['sqlite_stored', "UPDATE rules SET n = 2", 'stored'],
    ['sqlite_no_such_column', "UPDATE rules SET nothing = 2", null],
] as [$name, $sql, $phrase]) {
    same("refusal_$name", $phrase, $refused(fn() => $db->pdo->exec($sql)));
}
foreach ([
    ['pgsql_unique', '23505', 7, 'save_failed'], ['pgsql_foreign_key', '23503', 7, 'save_bad_reference'],
    ['pgsql_check_or_domain', '23514', 7, 'save_broken_rule'], ['pgsql_not_null', '23502', 7, 'save_missing_value'],
    ['pgsql_bad_json', '22P02', 7, 'save_bad_value'], ['pgsql_overflow', '22003', 7, 'save_bad_value'],
    ['pgsql_exclusion', '23P01', 7, 'save_failed'], ['pgsql_undefined_column', '42703', 7, null],
    ['pgsql_connection', '08006', 7, null],
    ['mysql_duplicate', '23000', 1062, 'save_failed'], ['mysql_foreign_key', '23000', 1452, 'save_bad_reference'],
    ['mysql_check', '23000', 4025, 'save_broken_rule'], ['mysql_null', '23000', 1048, 'save_missing_value'],
    ['mysql_incorrect_integer', 'HY000', 1366, 'save_bad_value'], ['mysql_too_long', '22001', 1406, 'save_bad_value'],
    ['mysql_gone_away', 'HY000', 2006, null],
] as [$name, $state, $code, $phrase]) {
    same("refusal_$name", $phrase, Tarnwick\Db::refusal($reported($state, $code)));
}

// charts
same('nice_max', 250.0, Chart::niceMax(201));
same('nice_max_small', 0.5, Chart::niceMax(0.42));
$svg = Chart::svg(['name' => 'c', 'caption' => 'C <b>', 'type' => Chart::COLUMN, 'width' => 300, 'height' => 200, 'palette' => [],
    'show_values' => true, 'show_names' => true, 'grid_lines' => 4, 'x_axis_name' => '', 'y_axis_name' => '', 'max_char' => 10],
    [['A<script>', 10.0], ['B', 20.0], ['C', 5.0]]);
same('chart_bars', 3, substr_count($svg, 'class="tw-bar"'));
same('chart_escaped', false, str_contains($svg, '<script>'));
preg_match_all('/<rect class="tw-bar"[^>]* height="([\d.]+)"/', $svg, $m);
same('chart_heights_in_proportion', true, abs((float)$m[1][1] - 2 * (float)$m[1][0]) < 0.02 && abs((float)$m[1][0] - 2 * (float)$m[1][2]) < 0.02);
$pie = Chart::svg(['name' => 'p', 'caption' => '', 'type' => Chart::PIE, 'width' => 300, 'height' => 200, 'palette' => [],
    'show_values' => false, 'show_names' => true, 'grid_lines' => 4, 'x_axis_name' => '', 'y_axis_name' => '', 'max_char' => 10],
    [['A', 1.0], ['B', 3.0]]);
same('pie_slices', 2, substr_count($pie, 'class="tw-slice"'));
same('pie_large_arc_for_three_quarters', true, str_contains($pie, ' 0 1 1 '));

// who may show the pages in a frame: nobody, unless the server names loopback origins
$ancestors = new ReflectionMethod(Tarnwick\App::class, 'frameAncestors');
foreach ([
    'unset' => [false, "'none'"],
    'empty' => ['', "'none'"],
    'studio' => ['http://127.0.0.1:8700', 'http://127.0.0.1:8700'],
    'studio_both_names' => ['http://127.0.0.1:8700  http://localhost:8700', 'http://127.0.0.1:8700 http://localhost:8700'],
    'other_host' => ['http://evil.example:80', "'none'"],
    'one_bad_of_two' => ['http://127.0.0.1:8700 https://evil.example', "'none'"],
    'wildcard' => ['*', "'none'"],
    'directive_smuggled' => ["http://127.0.0.1:8700; script-src *", "'none'"],
    'no_port' => ['http://127.0.0.1', "'none'"],
    'header_split' => ["http://127.0.0.1:8700\r\nX-Evil: 1", "'none'"],
] as $name => [$env, $expected]) {
    putenv($env === false ? 'TARNWICK_FRAME_ANCESTORS' : "TARNWICK_FRAME_ANCESTORS=$env");
    same("frame_ancestors_$name", $expected, $ancestors->invoke(null));
}
putenv('TARNWICK_FRAME_ANCESTORS');

echo "$passed passed, $failed failed\n";
exit($failed ? 1 : 0);
