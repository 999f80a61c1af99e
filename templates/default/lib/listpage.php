<?php
// The list page: paging, sorting by column headers, basic and advanced
// search, links to the record pages, multi-delete, exports and charts.
declare(strict_types=1);

namespace Tarnwick;

final class ListPage
{
    private Db $db;
    private Search $search;
    /** @var list<array{0:string,1:string}> field name and direction */
    private array $sort = [];
    private int $recPerPage = 20;
    private string $recPerPageParam = '';
    private int $pageNo = 1;

    public function __construct(private readonly App $app, private readonly array $t)
    {
        $this->db = $app->db();
    }

    public function from(): string
    {
        if ($this->t['type'] === 'CUSTOMVIEW' && !empty($this->t['sql'])) {
            return '(' . $this->t['sql'] . ') ' . $this->db->qi('tw_custom');
        }
        return $this->db->qi($this->t['name']);
    }

    private function page(string $kind): ?string
    {
        return $this->t['pages'][$kind] ?? null;
    }

    /** @return array<string,array> */
    private function listFields(): array
    {
        return array_filter($this->t['fields'], static fn($f) => $f['list']);
    }

    private function byVar(string $var): ?array
    {
        foreach ($this->t['fields'] as $f) {
            if ($f['var'] === $var) {
                return $f;
            }
        }
        return null;
    }

    private function readSort(): void
    {
        $type = (int)$this->t['list']['sort_type'];
        $text = $type > 0 ? $this->app->query('sort') : '';
        foreach (array_filter(explode(',', $text)) as $part) {
            $desc = str_starts_with($part, '-');
            $f = $this->byVar(ltrim($part, '-'));
            if ($f !== null && $f['list'] && $f['kind'] !== 'blob') {
                $this->sort[] = [$f['name'], $desc ? 'DESC' : 'ASC'];
            }
            if ($type === 1) {
                break;
            }
        }
        $this->sort = array_slice($this->sort, 0, 3);
    }

    private function sortParam(array $sort): string
    {
        return implode(',', array_map(fn($s) => ($s[1] === 'DESC' ? '-' : '') . $this->t['fields'][$s[0]]['var'], $sort));
    }

    /** Read from the other end: each sort direction turned (the page's rows then come last first). */
    private bool $reversed = false;

    /**
     * The list's order: the sort (or the default order), then the key in the
     * direction of the last sort column, so that an index on that column
     * (which holds the key) serves the whole order and no two rows tie.
     *
     * @return list<array{0:string,1:string}>
     */
    private function orderColumns(): array
    {
        $order = $this->sort ?: array_map(static fn($o) => [(string)$o[0], strtoupper((string)($o[1] ?? 'ASC'))],
            $this->t['default_order']);
        $out = [];
        $last = 'ASC';
        foreach ($order as [$name, $dir]) {
            if (isset($this->t['fields'][$name]) && !isset($out[$name])) {
                $last = $dir === 'DESC' ? 'DESC' : 'ASC';
                $out[$name] = [$name, $last];
            }
        }
        foreach ($this->t['key'] as $k) {
            $out[$k] ??= [$k, $last];
        }
        return array_values($out);
    }

    private function orderBy(): string
    {
        $parts = [];
        foreach ($this->orderColumns() as [$name, $dir]) {
            $parts[] = $this->db->qi($name) . ' ' . ($this->reversed ? ($dir === 'DESC' ? 'ASC' : 'DESC') : $dir);
        }
        return $parts ? ' ORDER BY ' . implode(', ', $parts) : '';
    }

    private function readPaging(): void
    {
        $choices = array_map('strval', (array)$this->t['list']['rec_per_page_list']);
        $asked = $this->app->query('recperpage');
        $this->recPerPage = max(1, (int)$this->t['list']['rec_per_page']);
        if ($asked !== '' && in_array(strtoupper($asked), array_map('strtoupper', $choices), true)) {
            $this->recPerPageParam = $asked;
            $this->recPerPage = strtoupper($asked) === 'ALL' ? 0 : max(1, (int)$asked);
        }
        $this->pageNo = max(1, (int)$this->app->query('pageno', '1'));
    }

    /** A link to this list with the current state and some changes. */
    private function url(array $changes = []): string
    {
        $params = $this->search->state + ['sort' => $this->sortParam($this->sort), 'recperpage' => $this->recPerPageParam,
            'pageno' => $this->pageNo > 1 ? (string)$this->pageNo : ''];
        return H::url($this->page('list') ?? '', array_merge($params, $changes));
    }

    private function columns(): string
    {
        $cols = [];
        // the order's columns too: the links to the next and previous pages carry their values
        $names = array_unique(array_merge($this->t['key'], array_keys($this->listFields()), array_column($this->orderColumns(), 0)));
        foreach ($names as $n) {
            $cols[] = $this->db->column($this->t['fields'][$n]);
        }
        return implode(', ', $cols);
    }

    public function count(): int
    {
        return (int)$this->db->value('SELECT COUNT(*) FROM ' . $this->from() . $this->search->sql(), $this->search->params);
    }

    /**
     * The number of rows, or null when the list is not counted: a search
     * for texts contained anywhere in a field reads at most the list
     * setting count_limit rows to count its matches; on MySQL, MariaDB and
     * PostgreSQL, whose counts read every row, counting stops past
     * count_limit rows; on MySQL and MariaDB a count that takes longer than
     * count_time_limit (milliseconds) is given up. The page is then shown
     * without a total and says why.
     */
    private function boundedCount(): ?int
    {
        $limit = max(0, (int)($this->t['list']['count_limit'] ?? 0));
        $cap = $this->db->driver === 'sqlite' ? 0 : $limit;
        [$where, $params, $scan, $scanParams, $scanColumns] = $this->search->split();
        if ($scan !== '' && $limit > 0) {
            // the matches among the first rows that the other conditions keep
            $sql = ' COUNT(*) AS ' . $this->db->qi('tw_read') . ', SUM(CASE WHEN ' . $scan . ' THEN 1 ELSE 0 END) FROM (SELECT '
                . implode(', ', array_map([$this->db, 'qi'], $scanColumns)) . ' FROM ' . $this->from() . $where . ' LIMIT ?) '
                . $this->db->qi('tw_count');
            $params = array_merge($scanParams, $params, [$limit + 1]);
            $cap = $limit;
        } elseif ($cap > 0) {
            $sql = ' COUNT(*) FROM (SELECT 1 AS ' . $this->db->qi('tw_one') . ' FROM ' . $this->from() . $this->search->sql()
                . ' LIMIT ?) ' . $this->db->qi('tw_count');
            $params = array_merge($this->search->params, [$cap + 1]);
        } else {
            // alone in its query: SQLite then counts a table from its smallest index
            $sql = ' COUNT(*) FROM ' . $this->from() . $this->search->sql();
            $params = $this->search->params;
        }
        $ms = (float)($this->t['list']['count_time_limit'] ?? 0);
        if ($ms > 0 && $this->db->driver === 'mysql') {
            $mariadb = stripos((string)$this->db->pdo->getAttribute(\PDO::ATTR_SERVER_VERSION), 'mariadb') !== false;
            $sql = $mariadb ? 'SET STATEMENT max_statement_time=' . sprintf('%.6F', $ms / 1000) . ' FOR SELECT' . $sql
                : 'SELECT /*+ MAX_EXECUTION_TIME(' . max(1, (int)ceil($ms)) . ') */' . $sql;
        } else {
            $sql = 'SELECT' . $sql;
        }
        try {
            $counts = array_map('intval', $this->db->run($sql, $params)->fetch(\PDO::FETCH_NUM) ?: [0]);
            [$read, $n] = [$counts[0], $counts[1] ?? $counts[0]];
        } catch (\PDOException $e) {
            if (in_array((int)($e->errorInfo[1] ?? 0), [1969, 3024], true)) {
                $this->uncounted = 'slow'; // interrupted: too slow to count
                return null;
            }
            throw $e;
        }
        if ($cap > 0 && $read > $cap) {
            $this->uncounted = $scan !== '' ? 'search' : 'long';
            return null;
        }
        return $n;
    }

    /**
     * Why a list has no total: 'slow' (counting took too long), 'long' (more
     * rows than count_limit) or 'search' (a search that would read more).
     */
    private string $uncounted = '';

    /** Whether a page shown without a total has rows after it. */
    private bool $more = false;

    /** A view is counted in the query of its page (one evaluation), a table apart. */
    private function countsInPage(): bool
    {
        return $this->t['type'] !== 'TABLE';
    }

    /** Rows of the current search and order; all of them when $limit is 0. */
    public const ALL_LIMIT = 10000;

    /**
     * $seek: a further condition with its parameters (the rows after a
     * position, see Seek).
     */
    public function rows(int $limit, int $offset = 0, ?string $columns = null, ?Db $db = null, int $cap = 0,
        ?array $seek = null): \PDOStatement
    {
        $db ??= $this->db;
        $columns ??= $this->columns();
        if ($columns === '') {
            // nothing to show but the number of rows
            $columns = '1 AS ' . $db->qi('tw_none');
        }
        $params = $this->search->params;
        $key = $this->t['key'];
        if ($limit > 0 && $offset > 0 && $seek === null && $this->t['type'] === 'TABLE' && count($key) === 1) {
            // a deep page: the keys of the page are found in the index
            // alone, then only their rows are read
            $k = $db->qi($key[0]);
            $sql = 'SELECT ' . $columns . ' FROM ' . $this->from() . ' JOIN (SELECT ' . $k . ' AS ' . $db->qi('tw_key')
                . ' FROM ' . $this->from() . $this->search->sql() . $this->orderBy() . ' LIMIT ? OFFSET ?) '
                . $db->qi('tw_page') . ' ON ' . $this->from() . '.' . $k . ' = ' . $db->qi('tw_page') . '.' . $db->qi('tw_key')
                . $this->orderBy();
            array_push($params, $limit, $offset);
            return $db->run($sql, $params);
        }
        $where = $this->search->sql();
        if ($seek !== null) {
            $where .= ($where === '' ? ' WHERE ' : ' AND ') . '(' . $seek[0] . ')';
            array_push($params, ...$seek[1]);
        }
        $sql = 'SELECT ' . $columns . ($limit > 0 && $this->countsInPage() ? ', COUNT(*) OVER () AS ' . $db->qi('tw_total') : '')
            . ' FROM ' . $this->from() . $where . $this->orderBy();
        if ($limit > 0) {
            $sql .= ' LIMIT ? OFFSET ?';
            array_push($params, $limit, $offset);
        } elseif ($cap > 0) {
            $sql .= ' LIMIT ?';
            $params[] = $cap;
        }
        return $db->run($sql, $params);
    }

    public function run(): void
    {
        $this->search = (new Search($this->app, $this->t))->build();
        $this->readSort();
        $this->readPaging();
        $export = strtolower($this->app->query('export'));
        if ($export !== '') {
            if (!in_array($export, array_map('strtolower', (array)$this->t['list']['export']), true)) {
                throw new HttpError(404, Lang::t('bad_request'));
            }
            $fields = array_filter($this->listFields(), static fn($f) => $f['kind'] !== 'blob');
            $cols = implode(', ', array_map(fn($f) => $this->db->column($f), $fields));
            (new Export($this->app, $this->t, $fields))->send($export, $this->rows(0, 0, $cols, $this->app->streamDb()));
            return;
        }
        $offset = 0;
        if ($this->recPerPage > 0) {
            [$rows, $total] = $this->currentPage();
            if ($rows) {
                $this->firstRow = $rows[0];
                $this->lastRow = $rows[count($rows) - 1];
            }
            $pages = $total === null ? null : max(1, (int)ceil($total / $this->recPerPage));
            $offset = ($this->pageNo - 1) * $this->recPerPage;
        } else {
            // "all": every row up to a limit that a page can hold, and says so beyond it
            $rows = $this->rows(0, 0, null, null, self::ALL_LIMIT + 1)->fetchAll();
            $total = count($rows);
            if ($total > self::ALL_LIMIT) {
                $rows = array_slice($rows, 0, self::ALL_LIMIT);
                $total = $this->count();
            }
            $pages = 1;
        }

        $html = '<h1>' . H::e($this->t['caption']) . '</h1>';
        if ($this->search->master !== null) {
            $html .= $this->masterPanel();
        }
        $html .= $this->toolbar();
        foreach ($this->search->errors as $err) {
            $html .= '<div class="tw-msg tw-msg-error" role="alert">' . H::e($err) . '</div>';
        }
        $html .= $this->charts(1);
        if (!$rows) {
            $html .= '<p class="tw-empty">' . H::e(Lang::t('no_records')) . '</p>';
        } else {
            $last = $offset + count($rows);
            $html .= '<div class="tw-count">' . H::e(match (true) {
                $total !== null => Lang::t('records', $offset + 1, $last, $total),
                $this->uncounted === 'long' => Lang::t('records_over', $offset + 1, $last,
                    max((int)$this->t['list']['count_limit'], $last)),
                $this->uncounted === 'search' => Lang::t('records_unsearched', $offset + 1, $last,
                    (int)$this->t['list']['count_limit']),
                default => Lang::t('records_uncounted', $offset + 1, $last),
            }) . '</div>';
            if ($offset + count($rows) < $total && $this->recPerPage === 0) {
                $html .= '<div class="tw-msg tw-msg-warning" role="status">' . H::e(Lang::t('all_limited', count($rows), $total)) . '</div>';
            }
            $html .= $this->table($rows);
        }
        $html .= $total === null ? $this->uncountedPager() : $this->pager($total, $pages);
        $html .= $this->charts(2);
        $this->app->render($this->t['caption'], $html);
    }

    /**
     * The rows of the current page and the number of all rows. A page past
     * the end shows the last one.
     *
     * @return array{0:list<array>,1:int}
     */
    private function currentPage(): array
    {
        $n = $this->recPerPage;
        if (!$this->countsInPage()) {
            $rows = $this->soughtPage();
            if ($rows === null && $this->pageNo === 1) {
                $rows = $this->rows($n + 1, 0)->fetchAll();
                $this->more = count($rows) > $n;
                $rows = array_slice($rows, 0, $n);
                if (!$this->more) {
                    return [$rows, count($rows)]; // the whole list on one page: nothing more to count
                }
            }
            if ($rows !== null) {
                $total = $this->boundedCount() ?? $this->endTotal($rows);
                if ($total !== null) {
                    $this->pageNo = min($this->pageNo, max(1, (int)ceil($total / $n)));
                }
                return [$rows, $total];
            }
            $total = $this->boundedCount();
            if ($total === null) {
                $rows = $this->rows($n + 1, ($this->pageNo - 1) * $n)->fetchAll();
                $this->more = count($rows) > $n;
                $rows = array_slice($rows, 0, $n);
                return [$rows, $this->endTotal($rows)];
            }
            $this->pageNo = min($this->pageNo, max(1, (int)ceil($total / $n)));
            $offset = ($this->pageNo - 1) * $n;
            if ($offset > $total / 2 && $this->t['key']) {
                // a page in the second half is read from the end: the mirrored
                // order (with the key last, it is exact) skips fewer rows
                $this->reversed = true;
                $count = min($n, $total - $offset);
                $rows = array_reverse($this->rows($count, $total - $offset - $count)->fetchAll());
                $this->reversed = false;
                return [$rows, $total];
            }
            return [$this->rows($n, $offset)->fetchAll(), $total];
        }
        $rows = $this->rows($n, ($this->pageNo - 1) * $n)->fetchAll();
        if (!$rows && $this->pageNo > 1) {
            $total = $this->count();
            $this->pageNo = max(1, (int)ceil($total / $n));
            $rows = $this->rows($n, ($this->pageNo - 1) * $n)->fetchAll();
        }
        $total = $rows ? (int)$rows[0]['tw_total'] : 0;
        return [$rows, $total];
    }

    /** An uncounted list's last page tells the total: the rows before it and its own. */
    private function endTotal(array $rows): ?int
    {
        return !$this->more && $rows ? ($this->pageNo - 1) * $this->recPerPage + count($rows) : null;
    }

    /** The order's seeking, when the list can be paged by position. */
    private ?Seek $seek = null;
    /** The first and last rows of the page shown: the previous and next links start from them. */
    private ?array $firstRow = null;
    private ?array $lastRow = null;

    /**
     * The page after (or before) the position that the link followed
     * carries, or null when there is none to follow (or it leads nowhere):
     * the page is then found by its number.
     *
     * @return list<array>|null
     */
    private function soughtPage(): ?array
    {
        $seek = new Seek($this->db, $this->t, $this->orderColumns());
        if (!$seek->usable()) {
            return null;
        }
        $this->seek = $seek;
        $after = $this->app->query('after');
        $back = $after === '' && $this->app->query('before') !== '';
        $values = $seek->decode($back ? $this->app->query('before') : $after);
        if ($values === null) {
            return null;
        }
        $n = $this->recPerPage;
        $this->reversed = $back;
        $rows = $this->rows($n + 1, 0, null, null, 0, $seek->where($values, $back))->fetchAll();
        $this->reversed = false;
        $beyond = count($rows) > $n;
        $rows = array_slice($rows, 0, $n);
        if (!$back) {
            if (!$rows) {
                return null; // nothing after it (rows were deleted): the page by its number
            }
            $this->more = $beyond;
            $this->pageNo = max(2, $this->pageNo);
            return $rows;
        }
        if (!$beyond) {
            // no rows before these: the first page
            $this->pageNo = 1;
            return count($rows) === $n ? array_reverse($rows) : null;
        }
        $this->more = true;
        $this->pageNo = max(2, $this->pageNo);
        return array_reverse($rows);
    }

    private function pageUrl(string $label, int $target): string
    {
        return match ($label) {
            'next' => $this->nextUrl(),
            'previous' => $this->previousUrl(),
            default => $this->url(['pageno' => (string)$target]),
        };
    }

    /** The link to the page after the current one: it carries the position of the last row. */
    private function nextUrl(): string
    {
        $changes = ['pageno' => (string)($this->pageNo + 1)];
        if ($this->seek !== null && $this->lastRow !== null) {
            $changes['after'] = $this->seek->cursor($this->lastRow);
        }
        return $this->url($changes);
    }

    /** The link to the page before the current one: it carries the position of the first row. */
    private function previousUrl(): string
    {
        if ($this->pageNo <= 2) {
            return $this->url(['pageno' => '']);
        }
        $changes = ['pageno' => (string)($this->pageNo - 1)];
        if ($this->seek !== null && $this->firstRow !== null) {
            $changes['before'] = $this->seek->cursor($this->firstRow);
        }
        return $this->url($changes);
    }

    private function masterPanel(): string
    {
        $m = $this->search->master;
        $settings = $m['settings'];
        $mt = Meta::table(require $this->app->dir . '/info/' . basename((string)$settings['info']), $this->app->config);
        $key = [];
        foreach ($m['values'] as $k => $v) {
            $key[$k] = $v;
        }
        [$where, $params] = Keys::where($this->db, $key);
        $cols = array_filter($mt['fields'], static fn($f) => $f['list'] && $f['kind'] !== 'blob');
        $row = $this->db->one('SELECT ' . ($cols ? implode(', ', array_map(fn($f) => $this->db->column($f), $cols)) : '1 AS tw_none') . ' FROM '
            . $this->db->qi($mt['name']) . $where, $params);
        if ($row === null) {
            throw new HttpError(404, Lang::t('not_found'));
        }
        $html = '<section class="tw-panel tw-master"><h2>' . H::e(Lang::t('master_record')) . ': ' . H::e($mt['caption']) . '</h2><table class="tw-grid"><tr>';
        foreach ($cols as $f) {
            $html .= '<th>' . H::e($f['caption']) . '</th>';
        }
        $html .= '</tr><tr>';
        foreach ($cols as $f) {
            $display = $f['lookup'] !== null ? (Controls::lookupLabels($this->app, $f, [$row[$f['name']]])[(string)$row[$f['name']]] ?? null) : null;
            $html .= '<td class="' . Format::cellClass($f) . '">' . Format::html($f, $row[$f['name']], $display) . '</td>';
        }
        $html .= '</tr></table>';
        if (isset($settings['list_page'])) {
            $html .= '<p><a href="' . H::e($settings['list_page']) . '">' . H::e(Lang::t('back_to_list')) . '</a></p>';
        }
        return $html . '</section>';
    }

    private function toolbar(): string
    {
        $html = '<div class="tw-toolbar">';
        if ($add = $this->page('add')) {
            $params = [];
            if ($this->search->master !== null) {
                $params = ['master' => $this->search->state['master']] + array_filter($this->search->state,
                    static fn($k) => str_starts_with((string)$k, 'fk_'), ARRAY_FILTER_USE_KEY);
            }
            $html .= '<a class="tw-btn tw-btn-primary" href="' . H::e(H::url($add, $params)) . '">' . H::e(Lang::t('add_record')) . '</a>';
        }
        if ($this->t['search']['basic']) {
            $state = $this->search->state;
            $html .= '<form class="tw-search" method="get" action="' . H::e($this->page('list')) . '" role="search">';
            // a detail list keeps its master while searching
            foreach ($state as $k => $v) {
                if ($k === 'master' || str_starts_with((string)$k, 'fk_')) {
                    $html .= '<input type="hidden" name="' . H::e($k) . '" value="' . H::e($v) . '">';
                }
            }
            $type = $state['psearchtype'] ?? 'AND';
            $html .= '<input type="search" name="psearch" id="tw_psearch" value="' . H::e($state['psearch'] ?? '') . '" placeholder="'
                . H::e(Lang::t('search')) . '" aria-label="' . H::e(Lang::t('search')) . '">'
                . '<select name="psearchtype" aria-label="search type">';
            foreach (['' => 'exact_phrase', 'AND' => 'all_words', 'OR' => 'any_word', 'START' => 'starts_with'] as $v => $label) {
                $html .= '<option value="' . $v . '"' . ($type === $v ? ' selected' : '') . '>' . H::e(Lang::t($label)) . '</option>';
            }
            $html .= '</select><button type="submit" class="tw-btn">' . H::e(Lang::t('search')) . '</button>'
                . '<a class="tw-btn tw-btn-plain" href="' . H::e(H::url($this->page('list') ?? '', array_intersect_key($state,
                    array_flip(array_merge(['master'], array_filter(array_keys($state), static fn($k) => str_starts_with((string)$k, 'fk_'))))))) . '">'
                . H::e(Lang::t('show_all')) . '</a>';
            $html .= '</form>';
        }
        if ($this->t['search']['advanced'] && ($s = $this->page('search'))) {
            $html .= '<a class="tw-btn tw-btn-plain" href="' . H::e($s) . '">' . H::e(Lang::t('advanced_search')) . '</a>';
        }
        if ($this->t['list']['export']) {
            $html .= '<span class="tw-export">' . H::e(Lang::t('export')) . ':';
            foreach ($this->t['list']['export'] as $kind) {
                $html .= ' <a href="' . H::e($this->url(['export' => strtolower($kind), 'pageno' => ''])) . '">'
                    . H::e(Lang::t('export_' . strtolower($kind))) . '</a>';
            }
            $html .= '</span>';
        }
        return $html . '</div>';
    }

    private function headerCell(array $f): string
    {
        $caption = H::e($f['caption']);
        $type = (int)$this->t['list']['sort_type'];
        if ($type === 0 || $f['kind'] === 'blob') {
            return '<th class="' . Format::cellClass($f) . '">' . $caption . '</th>';
        }
        $current = null;
        foreach ($this->sort as $i => [$name, $dir]) {
            if ($name === $f['name']) {
                $current = [$i, $dir];
            }
        }
        $next = ($current !== null && $current[0] === 0 && $current[1] === 'ASC') ? 'DESC' : 'ASC';
        $sort = [[$f['name'], $next]];
        if ($type === 2) {
            foreach ($this->sort as $s) {
                if ($s[0] !== $f['name']) {
                    $sort[] = $s;
                }
            }
            $sort = array_slice($sort, 0, 3);
        }
        $arrow = '';
        if ($current !== null) {
            $arrow = ' <span class="tw-sort" aria-hidden="true">' . ($current[1] === 'ASC' ? '▲' : '▼') . '</span>';
        }
        $aria = $current !== null ? ' aria-sort="' . ($current[1] === 'ASC' ? 'ascending' : 'descending') . '"' : '';
        return '<th class="' . Format::cellClass($f) . '"' . $aria . '><a href="' . H::e($this->url(['sort' => $this->sortParam($sort), 'pageno' => '']))
            . '">' . $caption . $arrow . '</a></th>';
    }

    private function table(array $rows): string
    {
        $fields = $this->listFields();
        $labels = [];
        foreach ($fields as $f) {
            if ($f['lookup'] !== null) {
                $labels[$f['name']] = Controls::lookupLabels($this->app, $f, array_column($rows, $f['name']));
            }
        }
        $multi = $this->t['list']['multi_delete'] && $this->page('delete') && $this->t['key'];
        $links = $this->t['key'] ? array_filter(['view' => $this->page('view'), 'edit' => $this->page('edit'),
            'copy' => $this->t['copy'] ? $this->page('add') : null, 'delete' => $this->page('delete')]) : [];
        $details = $this->t['key'] ? $this->t['details'] : [];
        $left = (bool)$this->t['list']['link_on_left'];

        $html = '';
        if ($multi) {
            $html .= '<form method="post" action="' . H::e($this->page('delete')) . '" class="tw-multi">' . $this->app->csrfField();
        }
        $html .= '<div class="tw-scroll"><table class="tw-grid tw-list" id="tw_list_' . H::e($this->t['var']) . '"><thead><tr>';
        if ($multi) {
            $html .= '<th class="tw-check"><input type="checkbox" class="tw-check-all" aria-label="' . H::e(Lang::t('select_all')) . '"></th>';
        }
        $linkHead = ($links || $details) ? '<th class="tw-links">' . H::e(Lang::t('actions')) . '</th>' : '';
        $html .= $left ? $linkHead : '';
        foreach ($fields as $f) {
            $html .= $this->headerCell($f);
        }
        $html .= ($left ? '' : $linkHead) . '</tr></thead><tbody>';
        foreach ($rows as $i => $row) {
            $key = $this->t['key'] ? Keys::encode($this->t, $row) : '';
            $html .= '<tr class="tw-row ' . ($i % 2 ? 'tw-alt' : '') . '"' . ($key !== '' ? ' data-key="' . H::e($key) . '"' : '') . '>';
            if ($multi) {
                $html .= '<td class="tw-check"><input type="checkbox" name="keys[]" value="' . H::e($key) . '" aria-label="select"></td>';
            }
            $linkCell = '';
            if ($links || $details) {
                $linkCell = '<td class="tw-links">';
                foreach ($links as $kind => $page) {
                    $params = $kind === 'copy' ? ['copy' => $key] : ['key' => $key];
                    $linkCell .= '<a class="tw-link-' . $kind . '" href="' . H::e(H::url($page, $params)) . '">' . H::e(Lang::t($kind)) . '</a> ';
                }
                foreach ($details as $d) {
                    $linkCell .= '<a class="tw-link-detail" href="' . H::e(self::detailUrl($this->t, $d, $row)) . '">' . H::e($d['caption']) . '</a> ';
                }
                $linkCell .= '</td>';
            }
            $html .= $left ? $linkCell : '';
            foreach ($fields as $f) {
                $v = $row[$f['name']] ?? null;
                $html .= '<td class="' . Format::cellClass($f) . '">' . $this->cell($f, $v, $key, $labels[$f['name']] ?? null) . '</td>';
            }
            $html .= ($left ? '' : $linkCell) . '</tr>';
        }
        $html .= '</tbody></table></div>';
        if ($multi) {
            $html .= '<div class="tw-buttons"><button type="submit" class="tw-btn tw-btn-danger">' . H::e(Lang::t('delete_selected')) . '</button></div></form>';
        }
        return $html;
    }

    /** The link from a master row to its detail list. */
    public static function detailUrl(array $t, array $d, array $row): string
    {
        $params = ['master' => $t['name']];
        foreach ($d['detail_vars'] as $i => $var) {
            $params['fk_' . $var] = (string)($row[$d['master_fields'][$i]] ?? '');
        }
        return H::url($d['page'], $params);
    }

    private function cell(array $f, mixed $v, string $key, ?array $labels): string
    {
        if ($f['kind'] === 'blob' || ($f['control'] === 'FILE' && $f['upload']['store'] === 'file')) {
            $view = $this->page('view');
            if (!$v || $view === null || $key === '') {
                return '';
            }
            $param = $f['kind'] === 'blob' ? 'blob' : 'file';
            $url = H::url($view, ['key' => $key, $param => $f['var']]);
            if ($f['view_tag'] === 'IMAGE') {
                return '<img class="tw-thumb" src="' . H::e($url) . '" alt=""' . H::attrs(['width' => $f['img_width'] ?: null,
                    'height' => $f['img_height'] ?: null]) . ' loading="lazy">';
            }
            return '<a href="' . H::e($url) . '">' . H::e(Lang::t('file')) . '</a>';
        }
        if (($tick = Format::tick($f, $v)) !== null) {
            return $tick;
        }
        $display = null;
        if ($labels !== null && $v !== null) {
            $display = $labels[(string)$v] ?? (string)$v;
        }
        return Format::html($f, $v, $display);
    }

    /** Paging without a total: previous and next. */
    private function uncountedPager(): string
    {
        $p = $this->pageNo;
        $html = '<nav class="tw-pager" aria-label="pages">';
        foreach ([['first', 1, $p > 1], ['previous', $p - 1, $p > 1], ['next', $p + 1, $this->more]] as [$label, $target, $on]) {
            $rel = ['previous' => ' rel="prev"', 'next' => ' rel="next"'][$label] ?? '';
            $html .= $on ? '<a href="' . H::e($this->pageUrl($label, $target)) . '"' . $rel . '>' . H::e(Lang::t($label)) . '</a>'
                : '<span class="tw-off">' . H::e(Lang::t($label)) . '</span>';
        }
        return $html . ' <span class="tw-current" aria-current="page">' . H::e(Lang::t('page')) . ' ' . $p . '</span></nav>';
    }

    private function pager(int $total, int $pages): string
    {
        $html = '<nav class="tw-pager" aria-label="pages">';
        if ($pages > 1) {
            $p = $this->pageNo;
            if ((int)$this->t['list']['pager_style'] === 1) {
                $from = max(1, $p - 4);
                $to = min($pages, $from + 9);
                if ($p > 1) {
                    $html .= '<a href="' . H::e($this->previousUrl()) . '" rel="prev">' . H::e(Lang::t('previous')) . '</a>';
                }
                for ($i = $from; $i <= $to; $i++) {
                    $html .= $i === $p ? '<span class="tw-current" aria-current="page">' . $i . '</span>'
                        : '<a href="' . H::e($this->url(['pageno' => (string)$i])) . '">' . $i . '</a>';
                }
                if ($p < $pages) {
                    $html .= '<a href="' . H::e($this->nextUrl()) . '" rel="next">' . H::e(Lang::t('next')) . '</a>';
                }
            } else {
                $nav = [['first', 1, $p > 1], ['previous', $p - 1, $p > 1], ['next', $p + 1, $p < $pages], ['last', $pages, $p < $pages]];
                foreach (array_slice($nav, 0, 2) as [$label, $target, $on]) {
                    $html .= $on ? '<a href="' . H::e($this->pageUrl($label, $target)) . '"' . ($label === 'previous' ? ' rel="prev"' : '') . '>'
                        . H::e(Lang::t($label)) . '</a>' : '<span class="tw-off">' . H::e(Lang::t($label)) . '</span>';
                }
                $html .= '<form method="get" action="' . H::e($this->page('list')) . '" class="tw-inline">';
                foreach ($this->search->state + ['sort' => $this->sortParam($this->sort), 'recperpage' => $this->recPerPageParam] as $k => $v) {
                    if ($v !== '') {
                        $html .= '<input type="hidden" name="' . H::e($k) . '" value="' . H::e($v) . '">';
                    }
                }
                $html .= H::e(Lang::t('page')) . ' <input type="text" name="pageno" size="3" value="' . $p . '" aria-label="page number"> '
                    . H::e(Lang::t('of')) . ' ' . $pages . '</form>';
                foreach (array_slice($nav, 2) as [$label, $target, $on]) {
                    $html .= $on ? '<a href="' . H::e($this->pageUrl($label, $target)) . '"' . ($label === 'next' ? ' rel="next"' : '') . '>'
                        . H::e(Lang::t($label)) . '</a>' : '<span class="tw-off">' . H::e(Lang::t($label)) . '</span>';
                }
            }
        }
        $choices = (array)$this->t['list']['rec_per_page_list'];
        if ($choices && $total > 0) {
            $html .= '<form method="get" action="' . H::e($this->page('list')) . '" class="tw-inline tw-perpage">';
            foreach ($this->search->state + ['sort' => $this->sortParam($this->sort)] as $k => $v) {
                if ($v !== '') {
                    $html .= '<input type="hidden" name="' . H::e($k) . '" value="' . H::e($v) . '">';
                }
            }
            $html .= '<label>' . H::e(Lang::t('records_per_page')) . ' <select name="recperpage" class="tw-autosubmit">';
            $current = $this->recPerPageParam !== '' ? strtoupper($this->recPerPageParam) : (string)$this->recPerPage;
            foreach ($choices as $c) {
                $c = (string)$c;
                $html .= '<option value="' . H::e($c) . '"' . (strtoupper($c) === $current ? ' selected' : '') . '>'
                    . H::e(strtoupper($c) === 'ALL' ? Lang::t('all') : $c) . '</option>';
            }
            $html .= '</select></label> <button type="submit" class="tw-btn tw-btn-small">' . H::e(Lang::t('go')) . '</button></form>';
        }
        return $html . '</nav>';
    }

    private function charts(int $position): string
    {
        $html = '';
        foreach ($this->t['charts'] as $c) {
            if ($c['show'] && (int)$c['position'] === $position) {
                $html .= Chart::render($this->app, $this->t, $c, $this->from() . $this->search->sql(), $this->search->params);
            }
        }
        return $html;
    }
}
