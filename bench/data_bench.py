#!/usr/bin/env python3
"""The generated application on a 1,000,000-row table, SQLite and MariaDB.

    python3 bench/data_bench.py [--rows 1000000] [--db sqlite mariadb]
        [--tarnwick build/bin/tarnwick] [--template build/share/tarnwick/templates/default.zip]
        [--compare EARLIER-TEMPLATE.zip]

The bench makes the table itself (items: a key, a name with an index (the
field the quick search looks in), a category, a price with an index, a
date-time, a note) and a view over it
(item_categories: a GROUP BY over every row), generates the application with
the tarnwick command, serves it with PHP's built-in server on a loopback port
and times, each request five times (the best and the median are printed):

  list first / middle / last page by number, sorted by the key descending
  on a deep page, sorted by the name (indexed) descending on a deep page,
  the next and previous pages from there as the page links them (by the
  position of its last and first rows), searched (contains, and starts
  with), the view over all rows (beside the view's own query: no page of it
  can be faster, so the goal below is for the other pages, and the view's
  page is measured by what it adds), a record's view page and edit page,

then a CSV export of every row with the peak resident memory of the PHP
process during it and the export's size: in a fresh PHP process (beside the
memory of that process idle and of a list page in it) and in the process
that served the pages before (its high-water mark reset just before: what
those pages left allocated counts too). Goals: every page under 0.3 s; the
export's peak under 32 MB whatever the row count.
"""
import argparse
import contextlib
import html
import os
import re
import shutil
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import e2e_lib  # noqa: E402

DESCRIPTION = """
name "Items"
project SecType=None RecPerPage=20 RecPerPageList=10,20,50 ExportCsv=True
field items name FldBasicSearch=True
field items category FldBasicSearch=False
field items note FldBasicSearch=False
"""

SQLITE_SCHEMA = """
CREATE TABLE items (id INTEGER PRIMARY KEY, name VARCHAR(60) NOT NULL, category VARCHAR(20) NOT NULL,
  price DECIMAL(10,2) NOT NULL, created DATETIME NOT NULL, note TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < {rows})
INSERT INTO items SELECT i, 'Item ' || printf('%07d', (i * 7919) % {rows}), 'cat' || (i % 37),
  ((i * 31) % 100000) / 100.0, datetime('2020-01-01', '+' || (i % 100000) || ' minutes'),
  CASE WHEN i % 3 = 0 THEN NULL ELSE 'note ' || i END FROM n;
CREATE INDEX items_name ON items(name);
CREATE INDEX items_price ON items(price);
CREATE VIEW item_categories AS SELECT category, COUNT(*) AS items, SUM(price) AS total FROM items GROUP BY category;
"""

MARIADB_SCHEMA = """
CREATE TABLE items (id INT UNSIGNED PRIMARY KEY, name VARCHAR(60) NOT NULL, category VARCHAR(20) NOT NULL,
  price DECIMAL(10,2) NOT NULL, created DATETIME NOT NULL, note TEXT NULL) ENGINE=InnoDB;
INSERT INTO items SELECT seq, CONCAT('Item ', LPAD((seq * 7919) % {rows}, 7, '0')), CONCAT('cat', seq % 37),
  ((seq * 31) % 100000) / 100.0, '2020-01-01' + INTERVAL (seq % 100000) MINUTE,
  IF(seq % 3 = 0, NULL, CONCAT('note ', seq)) FROM seq_1_to_{rows};
CREATE INDEX items_name ON items(name);
CREATE INDEX items_price ON items(price);
CREATE VIEW item_categories AS SELECT category, COUNT(*) AS items, SUM(price) AS total FROM items GROUP BY category;
"""


def timed(client, url, repeat=5):
    times = []
    for _ in range(repeat):
        t = time.perf_counter()
        r = client.get(url)
        times.append(time.perf_counter() - t)
        if r.status != 200:
            raise RuntimeError(f"{url}: HTTP {r.status}")
    return min(times), statistics.median(times)


def memory(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024
    raise RuntimeError("no " + field)


def peak_rss_during(pid, action):
    """Peak resident memory (MB) of the process while action runs."""
    with open(f"/proc/{pid}/clear_refs", "w") as f:
        f.write("5")  # resets the high-water mark
    result = action()
    return memory(pid, "VmHWM"), result


def link(client, page, rel):
    """The page's previous or next link."""
    r = client.get(page)
    m = re.search(r'<a href="([^"]*)"[^>]*rel="' + rel + '"', r.text)
    if not m:
        raise RuntimeError(f"{page} has no {rel} link")
    return html.unescape(m.group(1))


def export(client, pid, rows):
    peak, r = peak_rss_during(pid, lambda: client.get("itemslist.php?export=csv"))
    lines = r.raw.count(b"\n")
    if r.status != 200 or lines != rows + 1:
        raise RuntimeError(f"export: HTTP {r.status}, {lines} lines")
    return peak, len(r.raw)


def view_query_time(db):
    """The best of three runs of the view's own query, fetched whole, timed inside PHP through PDO."""
    if db["driver"] == "sqlite":
        dsn, user, password = "sqlite:" + db["path"], "", ""
    else:
        dsn = f"mysql:host={db['host']};port={db['port']};dbname={db['name']}"
        user, password = db["user"], db["password"]
    code = ("$p = new PDO($argv[1], $argv[2] ?: null, $argv[3] ?: null); $best = INF;"
            "for ($i = 0; $i < 3; $i++) { $t = hrtime(true); $p->query('SELECT * FROM item_categories')->fetchAll();"
            " $best = min($best, (hrtime(true) - $t) / 1e9); } echo $best;")
    out = subprocess.run(["php", "-r", code, dsn, user, password], capture_output=True, text=True, check=True, timeout=600)
    return float(out.stdout)


def bench(engine, args, work):
    rows = args.rows
    cleanup = []
    try:
        started = time.time()
        if engine == "sqlite":
            path = os.path.join(work, "items.sqlite")
            con = sqlite3.connect(path)
            con.executescript(SQLITE_SCHEMA.format(rows=rows))
            con.close()
            url = "sqlite:" + path
            db = {"driver": "sqlite", "path": path}
        else:
            mdir = os.path.join(work, "mariadb")
            r = subprocess.run(["bash", os.path.join(e2e_lib.HERE, "mariadb.sh"), "start", mdir,
                                str(e2e_lib.free_port())], capture_output=True, text=True, timeout=180)
            if r.returncode != 0:
                raise RuntimeError("MariaDB did not start: " + r.stderr)
            cleanup.append(lambda: subprocess.run(["bash", os.path.join(e2e_lib.HERE, "mariadb.sh"), "stop", mdir],
                                                  timeout=120))
            env = dict(line.split("=", 1) for line in r.stdout.split() if "=" in line)
            # the test server's buffer pool is small; a server for this table holds it in memory
            subprocess.run(["bash", os.path.join(e2e_lib.HERE, "mariadb.sh"), "sql", mdir, env["MDB_NAME"]],
                           input="SET GLOBAL innodb_buffer_pool_size = 512 * 1024 * 1024;\n"
                           + MARIADB_SCHEMA.format(rows=rows), text=True, check=True, timeout=1800)
            url = (f"mysql://{env['MDB_USER']}:{env['MDB_PASSWORD']}@{env['MDB_HOST']}:{env['MDB_PORT']}"
                   f"/{env['MDB_NAME']}")
            db = {"driver": "mysql", "host": env["MDB_HOST"], "port": int(env["MDB_PORT"]), "name": env["MDB_NAME"],
                  "user": env["MDB_USER"], "password": env["MDB_PASSWORD"]}
        made = time.time() - started
        description = os.path.join(work, "project.txt")
        with open(description, "w") as f:
            f.write(DESCRIPTION)
        # the template measured, and with --compare the one it is compared with, served side by side
        apps = {}
        for name, template in [("", args.template)] + ([("before", args.compare)] if args.compare else []):
            folder = os.path.join(work, name or "now")
            os.makedirs(folder, exist_ok=True)
            apps[name] = e2e_lib.generate(folder, url, args.tarnwick, template, description)
            os.makedirs(os.path.join(folder, "sessions"), exist_ok=True)
            e2e_lib.write_local_config(apps[name], db, os.path.join(folder, "sessions"))
        print(f"\n{engine}: {rows:,} rows made in {made:.1f}s" + (f"; before: {args.compare}" if args.compare else ""))
        last = (rows + 19) // 20
        deep = min(20_000, last * 2 // 5)  # page 20,000 of 50,000
        pages = [
            ("list, first page", "itemslist.php"),
            ("list, middle page", f"itemslist.php?pageno={last // 2}"),
            ("list, last page", f"itemslist.php?pageno={last}"),
            (f"sorted by key desc, page {deep:,}", f"itemslist.php?sort=-x_id&pageno={deep}"),
            (f"sorted by name desc, page {deep:,}", f"itemslist.php?sort=-x_name&pageno={deep}"),
            ("  its next page (link)", lambda c: link(c, f"itemslist.php?sort=-x_name&pageno={deep}", "next")),
            ("  its previous page (link)", lambda c: link(c, f"itemslist.php?sort=-x_name&pageno={deep}", "prev")),
            ("sorted by price, middle page", f"itemslist.php?sort=x_price&pageno={last // 2}"),
            ("list, middle page, next page (link)", lambda c: link(c, f"itemslist.php?pageno={last // 2}", "next")),
            ("searched (name contains)", "itemslist.php?psearch=Item+00012&psearchtype="),
            ("  its next page (link)", lambda c: link(c, "itemslist.php?psearch=Item+00012&psearchtype=", "next")),
            ("searched (name starts with)", "itemslist.php?psearch=Item+00012&psearchtype=START"),
            ("view over all rows, list", "item_categorieslist.php"),
            ("record view page", f"itemsview.php?key={rows // 2}"),
            ("record edit page", f"itemsedit.php?key={rows // 2}"),
        ]
        memory_figures = {}
        for name, app in apps.items():
            with e2e_lib.PhpServer(app, os.path.join(work, f"php-fresh{name}.log")) as server:
                # a fresh process: idle, one list page, then the export
                client = e2e_lib.Client(server.base)
                idle = memory(server.proc.pid, "VmRSS")
                listed, _ = peak_rss_during(server.proc.pid, lambda: client.get("itemslist.php"))
                fresh, size = export(client, server.proc.pid, rows)
                memory_figures[name] = [idle, listed, fresh, size]
        with contextlib.ExitStack() as stack:
            servers = {name: stack.enter_context(e2e_lib.PhpServer(app, os.path.join(work, f"php{name}.log")))
                       for name, app in apps.items()}
            clients = {name: e2e_lib.Client(server.base) for name, server in servers.items()}
            for client in clients.values():
                client.get("itemslist.php")  # warm-up
            worst = view_page = 0.0
            for label, page in pages:
                # each request in turn on every application: they share the machine's load alike
                urls = {name: page(client) if callable(page) else page for name, client in clients.items()}
                times = {name: [] for name in clients}
                for _ in range(5):
                    for name, client in clients.items():
                        times[name].append(timed(client, urls[name], repeat=1))
                figures = []
                for name in clients:
                    best, median = min(t[0] for t in times[name]), statistics.median(t[0] for t in times[name])
                    figures.append(f"{name + ': ' if name else ''}best {best * 1000:7.1f} ms  median {median * 1000:7.1f} ms")
                    if name == "" and label == "view over all rows, list":
                        view_page = median
                    elif name == "":
                        worst = max(worst, median)
                print(f"  {label:36s} " + "   ".join(figures))
            own = view_query_time(db)
            print(f"  (the view's own query, best of 3: {own * 1000:.1f} ms; the view's list page adds "
                  f"{(view_page - own) * 1000:.1f} ms to it)")
            for name, client in clients.items():
                pid = servers[name].proc.pid
                base, _ = peak_rss_during(pid, lambda: client.get("itemslist.php"))
                peak, _ = export(client, pid, rows)
                idle, listed, fresh, size = memory_figures[name]
                print(f"  {name + ': ' if name else ''}CSV export: {rows:,} rows, {size / 1e6:.1f} MB; peak memory of a fresh "
                      f"PHP process {fresh:.1f} MB (goal < 32 MB; the process idle: {idle:.1f} MB, a list page: {listed:.1f} MB)")
                print(f"  {name + ': ' if name else ''}the same export in the process that served the pages above: "
                      f"peak {peak:.1f} MB (a list page there: {base:.1f} MB)")
            print(f"  slowest page (median) beside the view's: {worst * 1000:.0f} ms (goal < 300 ms)")
    finally:
        for c in cleanup:
            c()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--rows", type=int, default=1_000_000)
    ap.add_argument("--db", nargs="*", default=["sqlite", "mariadb"], choices=["sqlite", "mariadb"])
    ap.add_argument("--tarnwick", default=os.path.join(SOURCE, "build", "bin", "tarnwick"))
    ap.add_argument("--template", default=os.path.join(SOURCE, "build", "share", "tarnwick", "templates", "default.zip"))
    ap.add_argument("--compare", metavar="TEMPLATE", help="an earlier template archive, timed in turn with this one")
    ap.add_argument("--keep", action="store_true", help="keep the work folder")
    args = ap.parse_args()
    for engine in args.db:
        work = tempfile.mkdtemp(prefix=f"tw-data-bench-{engine}-")
        try:
            bench(engine, args, work)
        finally:
            if not args.keep:
                shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
