<?php
// Database access: one PDO connection, identifiers quoted for the driver,
// every value bound as a parameter.
declare(strict_types=1);

namespace Tarnwick;

use PDO;
use PDOException;
use PDOStatement;

/** A value that is bound as binary data. */
final class Blob
{
    public function __construct(public readonly string $data)
    {
    }
}

final class Db
{
    public readonly PDO $pdo;
    public readonly string $driver;

    /** The key value the last insert made (PostgreSQL reports it with RETURNING). */
    private ?string $insertedKey = null;

    /**
     * $c: driver ("sqlite", "mysql" or "pgsql"); for sqlite: path; for mysql:
     * host, port, socket, name, user, password, charset (default utf8mb4);
     * for pgsql: host (or a socket folder), port, name, user, password,
     * schema (default public).
     */
    public function __construct(array $c, string $baseDir)
    {
        $driver = strtolower((string)($c['driver'] ?? 'sqlite'));
        $options = [
            PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION,
            PDO::ATTR_DEFAULT_FETCH_MODE => PDO::FETCH_ASSOC,
            PDO::ATTR_EMULATE_PREPARES => false,
        ];
        if ($driver === 'sqlite') {
            $path = (string)($c['path'] ?? '');
            if ($path !== '' && $path !== ':memory:' && !self::isAbsolute($path)) {
                $path = $baseDir . '/' . $path;
            }
            $options[PDO::ATTR_TIMEOUT] = 10;
            $this->pdo = new PDO('sqlite:' . $path, null, null, $options);
            $this->pdo->exec('PRAGMA foreign_keys = ON');
            // A page reads few pages of the file again: a small cache (1 MiB) bounds
            // the memory that sorting and scanning a large table leave to the process.
            $this->pdo->exec('PRAGMA cache_size = -1024');
        } elseif ($driver === 'mysql' || $driver === 'mariadb') {
            $driver = 'mysql';
            $charset = preg_replace('/[^A-Za-z0-9_]/', '', (string)($c['charset'] ?? 'utf8mb4')) ?: 'utf8mb4';
            $dsn = 'mysql:';
            if (!empty($c['socket'])) {
                $dsn .= 'unix_socket=' . $c['socket'];
            } else {
                $dsn .= 'host=' . ($c['host'] ?? '127.0.0.1') . ';port=' . (int)($c['port'] ?? 3306);
            }
            $dsn .= ';dbname=' . ($c['name'] ?? '') . ';charset=' . $charset;
            $this->pdo = new PDO($dsn, (string)($c['user'] ?? ''), (string)($c['password'] ?? ''), $options);
        } elseif ($driver === 'pgsql' || $driver === 'postgresql' || $driver === 'postgres') {
            $driver = 'pgsql';
            $dsn = 'pgsql:host=' . ($c['host'] ?? '127.0.0.1') . ';port=' . (int)($c['port'] ?? 5432)
                . ';dbname=' . ($c['name'] ?? '') . ";options='--client_encoding=UTF8'";
            // Booleans arrive as '1' and '0', as from the other databases.
            $options[PDO::ATTR_STRINGIFY_FETCHES] = true;
            $this->pdo = new PDO($dsn, (string)($c['user'] ?? ''), (string)($c['password'] ?? ''), $options);
            $schema = (string)($c['schema'] ?? '');
            if ($schema !== '' && $schema !== 'public') {
                $this->pdo->prepare("SELECT set_config('search_path', quote_ident(?) || ', public', false)")
                    ->execute([$schema]);
            }
        } else {
            throw new \RuntimeException('unsupported database driver ' . $driver);
        }
        $this->driver = $driver;
    }

    private static function isAbsolute(string $path): bool
    {
        return $path[0] === '/' || $path[0] === '\\' || preg_match('/^[A-Za-z]:[\\\\\/]/', $path) === 1;
    }

    /** Quotes a table or column name for this database. */
    public function qi(string $name): string
    {
        if ($this->driver === 'mysql') {
            return '`' . str_replace('`', '``', $name) . '`';
        }
        return '"' . str_replace('"', '""', $name) . '"';
    }

    /**
     * The select-list entry of a field: binary columns only say whether they
     * hold data (1 or 0); MySQL's BIT columns are read as numbers.
     */
    public function column(array $f): string
    {
        $q = $this->qi($f['name']);
        if ($f['kind'] === 'blob') {
            return 'CASE WHEN ' . $q . ' IS NULL THEN 0 ELSE 1 END AS ' . $q;
        }
        if ($f['kind'] === 'bool' && $this->driver === 'mysql') {
            return '(' . $q . ' + 0) AS ' . $q;
        }
        return $q;
    }

    /** Runs a statement with positional parameters. */
    public function run(string $sql, array $params = []): PDOStatement
    {
        $st = $this->pdo->prepare($sql);
        $i = 0;
        foreach ($params as $value) {
            $i++;
            if ($value instanceof Blob) {
                $st->bindValue($i, $value->data, PDO::PARAM_LOB);
            } elseif (is_int($value)) {
                $st->bindValue($i, $value, PDO::PARAM_INT);
            } elseif (is_bool($value)) {
                $st->bindValue($i, $value ? 1 : 0, PDO::PARAM_INT);
            } elseif ($value === null) {
                $st->bindValue($i, null, PDO::PARAM_NULL);
            } else {
                $st->bindValue($i, (string)$value, PDO::PARAM_STR);
            }
        }
        $st->execute();
        return $st;
    }

    /** @return list<array<string,mixed>> */
    public function all(string $sql, array $params = []): array
    {
        return $this->run($sql, $params)->fetchAll();
    }

    /** @return array<string,mixed>|null */
    public function one(string $sql, array $params = []): ?array
    {
        $row = $this->run($sql, $params)->fetch();
        return $row === false ? null : $row;
    }

    public function value(string $sql, array $params = []): mixed
    {
        $v = $this->run($sql, $params)->fetchColumn();
        return $v === false ? null : $v;
    }

    /**
     * Inserts a row (column => value; empty for all defaults). $autoKey names
     * the column the database numbers itself, if any: its new value is what
     * lastId() gives afterwards.
     */
    public function insert(string $table, array $row, ?string $autoKey = null): void
    {
        if (!$row) {
            $sql = 'INSERT INTO ' . $this->qi($table) . ($this->driver === 'mysql' ? ' () VALUES ()' : ' DEFAULT VALUES');
        } else {
            $sql = 'INSERT INTO ' . $this->qi($table) . ' (' . implode(', ', array_map([$this, 'qi'], array_keys($row)))
                . ') VALUES (' . implode(', ', array_fill(0, count($row), '?')) . ')';
        }
        $this->insertedKey = null;
        if ($this->driver !== 'pgsql' || $autoKey === null) {
            $this->run($sql, array_values($row));
            return;
        }
        $this->insertedKey = (string)$this->run($sql . ' RETURNING ' . $this->qi($autoKey), array_values($row))->fetchColumn();
        if (array_key_exists($autoKey, $row)) {
            // A key given by hand leaves the column's sequence behind: move it on.
            $this->run('SELECT setval(pg_get_serial_sequence(?, ?), GREATEST((SELECT MAX(' . $this->qi($autoKey) . ') FROM '
                . $this->qi($table) . '), 1))', [$this->qi($table), $autoKey]);
        }
    }

    public function lastId(): string
    {
        return $this->insertedKey ?? (string)$this->pdo->lastInsertId();
    }

    /** A case-insensitive LIKE of a column (of any type) with one parameter, '!' escaping. */
    public function like(string $column, bool $negate = false): string
    {
        if ($this->driver === 'pgsql') {
            return 'CAST(' . $this->qi($column) . ' AS TEXT)' . ($negate ? ' NOT ILIKE' : ' ILIKE') . " ? ESCAPE '!'";
        }
        return $this->qi($column) . ($negate ? ' NOT LIKE' : ' LIKE') . " ? ESCAPE '!'";
    }

    /** Escapes a text for LIKE with '!' as the escape character. */
    public static function likeEscape(string $text): string
    {
        return strtr($text, ['!' => '!!', '%' => '!%', '_' => '!_']);
    }

    /**
     * Why the database refused the values of a record, as the key of the
     * phrase that tells the user: a duplicate, a reference to no record, a
     * broken CHECK rule, a missing value, or a value the column cannot hold
     * (its form or size). Null when the failure is not about the values (the
     * connection, the query itself): that is an error of the page.
     */
    public static function refusal(\Throwable $e): ?string
    {
        if (!$e instanceof PDOException) {
            return null;
        }
        $state = (string)$e->getCode();
        $code = (int)($e->errorInfo[1] ?? 0); // MySQL's and MariaDB's own error number
        $text = (string)($e->errorInfo[2] ?? $e->getMessage()); // SQLite tells the kind only in its text
        $kinds = [
            'save_failed' => [['23505'], [1062, 1586], ['UNIQUE constraint failed', 'PRIMARY KEY constraint failed']],
            'save_bad_reference' => [['23503'], [1216, 1452], ['FOREIGN KEY constraint failed']],
            'save_broken_rule' => [['23514'], [3819, 4025], ['CHECK constraint failed']],
            'save_missing_value' => [['23502'], [1048, 1364], ['NOT NULL constraint failed']],
            'save_bad_value' => [[], [1264, 1265, 1292, 1366, 1406, 1411], []],
        ];
        foreach ($kinds as $phrase => [$states, $codes, $texts]) {
            if (in_array($state, $states, true) || in_array($code, $codes, true)) {
                return $phrase;
            }
            foreach ($texts as $t) {
                if (str_starts_with($text, $t)) {
                    return $phrase;
                }
            }
        }
        if (str_starts_with($state, '23')) {
            return 'save_failed';
        }
        return str_starts_with($state, '22') ? 'save_bad_value' : null;
    }

    /** True for a violated constraint (duplicate key, foreign key, NOT NULL). */
    public static function isConstraint(\Throwable $e): bool
    {
        return $e instanceof PDOException && str_starts_with((string)$e->getCode(), '23');
    }

    /** Reads a column that may come back as a stream (LOBs). */
    public static function blobText(mixed $v): ?string
    {
        if (is_resource($v)) {
            $v = stream_get_contents($v);
        }
        return $v === null || $v === false ? null : (string)$v;
    }
}
