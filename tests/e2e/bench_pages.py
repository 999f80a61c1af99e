#!/usr/bin/env python3
"""Page speed of the sample application under php -S (one PHP worker):
requests per second and median time per page kind, for SQLite and, with
--db mariadb, the MariaDB test server. Prints figures; asserts nothing.

    python3 tests/e2e/bench_pages.py [--db sqlite|mariadb] [--requests 60]
"""
import argparse
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_lib as lib  # noqa: E402
import run_e2e  # noqa: E402

PAGES = [
    ("list, 20 rows", "customerslist.php"),
    ("list, sorted, page 5", "orderslist.php?sort=-x_freight&pageno=5"),
    ("list, basic search", "customerslist.php?psearch=Harbor"),
    ("list, advanced search", "productslist.php?x_x_units_in_stock=100&y_x_units_in_stock=300"),
    ("list, all 500 rows", "order_lineslist.php?recperpage=ALL"),
    ("view with details", "ordersview.php?key=7"),
    ("edit form with lookups", "order_linesedit.php?key=3"),
    ("report with 2 charts", "orders_by_statusreport.php"),
    ("CSV export, 400 rows", "orderslist.php?export=csv"),
]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--db", choices=["sqlite", "mariadb"], default="sqlite")
    ap.add_argument("--requests", type=int, default=60)
    args = ap.parse_args()
    args.work = tempfile.mkdtemp(prefix="tw-bench-")
    ctx, cleanup = run_e2e.setup_app(args, args.db)
    try:
        with lib.PhpServer(ctx.app, os.path.join(args.work, "php.log")) as server:
            c = lib.Client(server.base)
            c.login("ceo", "tarnwick-demo")
            print(f"{'page':28} {'req/s':>8} {'median ms':>10} {'bytes':>8}   ({args.db}, {args.requests} requests each)")
            for name, url in PAGES:
                c.get(url)  # warm up
                times = []
                size = 0
                for _ in range(args.requests):
                    t = time.perf_counter()
                    r = c.get(url)
                    times.append(time.perf_counter() - t)
                    assert r.status == 200, f"{url}: {r.status}"
                    size = len(r.raw)
                print(f"{name:28} {len(times) / sum(times):8.1f} {statistics.median(times) * 1000:10.2f} {size:8d}")
    finally:
        for f in cleanup:
            f()


if __name__ == "__main__":
    main()
