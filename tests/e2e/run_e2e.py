#!/usr/bin/env python3
"""End-to-end tests of the PHP runtime and the sample application.

    run_e2e.py samples  --work DIR          the sample scripts are reproducible and load
    run_e2e.py lint     --work DIR          php -l on every .php file of the application
    run_e2e.py http     --work DIR --db sqlite|mariadb|postgres [--only NAME ...]
    run_e2e.py links    --work DIR          every page reached and every link sound, other page names
    run_e2e.py browser  --work DIR --artifacts DIR
    run_e2e.py realworld --work DIR --db sqlite|mariadb|postgres   databases shaped like real ones
    run_e2e.py regen    --work DIR          a new user's project generated again and again
    run_e2e.py studio   --work DIR --artifacts DIR   the studio in chromium: edit, reorder, generate, preview

The application is the one the tarnwick command generates with the default
template from the sample database and sample-project.txt (give --tarnwick and
--template, or set TW_TARNWICK and TW_DEFAULT_TEMPLATE), or with --app
reference the hand-written reference application in reference/.

Each command exits 0 when all passed, 1 on failures and 77 when a tool the
tests need is missing.
"""
import argparse
import filecmp
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_lib as lib  # noqa: E402


def cmd_samples(args):
    passed = failed = 0
    out = tempfile.mkdtemp(dir=args.work)
    subprocess.run([sys.executable, os.path.join(lib.SOURCE, "samples", "make_data.py"), "--out-dir", out], check=True)

    def check(name, ok, detail=""):
        nonlocal passed, failed
        print(f"[ {'PASS' if ok else 'FAIL'} ] samples.{name}{'' if ok else ': ' + detail}")
        passed, failed = passed + ok, failed + (not ok)

    for f in ("sample-sqlite.sql", "sample-mariadb.sql", "sample-postgres.sql"):
        same = filecmp.cmp(os.path.join(out, f), os.path.join(lib.SOURCE, "samples", f), shallow=False)
        check(f"{f}_reproducible", same, "make_data.py no longer writes the committed file")
    db = os.path.join(out, "sample.sqlite")
    lib.build_sqlite(db)
    s = lib.SqliteDb(db)
    counts = {t: int(s.rows(f"SELECT COUNT(*) FROM {t}")[0][0]) for t in
              ("categories", "products", "customers", "employees", "orders", "order_lines", "order_summary")}
    check("row_counts", all(50 <= n <= 500 for n in counts.values()), str(counts))
    orphans = s.rows("PRAGMA foreign_key_check")
    check("foreign_keys_hold", not orphans, str(orphans[:5]))
    bad_status = s.rows("SELECT COUNT(*) FROM orders WHERE status NOT IN ('New','Processing','Shipped','Cancelled')")
    check("enumeration_values", bad_status == [("0",)], str(bad_status))
    managers = s.rows("SELECT COUNT(*) FROM employees WHERE reports_to IS NOT NULL")[0][0]
    check("self_reference", int(managers) == counts["employees"] - 1, managers)
    non_ascii = s.rows("SELECT COUNT(*) FROM customers WHERE city LIKE '%ó%' OR contact_name LIKE '% % %'")[0][0]
    check("non_ascii_and_blanks", int(non_ascii) > 0, non_ascii)
    pics = s.rows("SELECT picture FROM categories WHERE picture IS NOT NULL")
    check("pictures_are_png", len(pics) == counts["categories"] and all(p[0][:8] == b"\x89PNG\r\n\x1a\n" for p in pics))
    try:
        sqlite_create = s.rows("SELECT sql FROM sqlite_master WHERE name = 'orders'")[0][0]
        s.execute("INSERT INTO orders (customer_id, order_date, status) VALUES (1, '2024-01-01', 'Lost')")
        check("check_constraint", False, "status 'Lost' was accepted: " + sqlite_create[:60])
    except Exception as e:  # noqa: BLE001 - the constraint must refuse the row
        check("check_constraint", "CHECK" in str(e), str(e))
    shutil.rmtree(out)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


def php_files(root):
    for d, _, files in os.walk(root):
        for f in files:
            if f.endswith(".php"):
                yield os.path.join(d, f)


def cmd_lint(args):
    php = lib.need("php", "php-cli")
    if args.app == "reference":
        app = lib.assemble(args.work)
    else:
        lib.fresh_work(args.work)
        path = os.path.join(args.work, "db", "sample.sqlite")
        os.makedirs(os.path.dirname(path))
        lib.build_sqlite(path)
        app = lib.generate(args.work, "sqlite:" + path, args.tarnwick, args.template)
    files = sorted(php_files(app))
    passed = failed = 0
    from concurrent.futures import ThreadPoolExecutor
    with ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(lambda f: subprocess.run([php, "-n", "-l", f], capture_output=True, text=True), files))
    for f, r in zip(files, results):
        if r.returncode == 0:
            passed += 1
        else:
            failed += 1
            print(f"[ FAIL ] lint {os.path.relpath(f, app)}: {r.stdout.strip()} {r.stderr.strip()}")
    print(f"[ {'PASS' if not failed else 'FAIL'} ] php -l on {len(files)} files")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not files else 0


class Ctx:
    pass


def start_mariadb(work):
    for tool, pkg in (("mariadbd", "mariadb-server"), ("mariadb", "mariadb-client")):
        if not shutil.which(tool) and not os.path.exists(f"/usr/sbin/{tool}"):
            lib.skip(f"{tool} is not installed (Debian package {pkg}); run scripts/install-deps.sh")
    mdir = os.path.join(work, "mariadb")
    r = subprocess.run(["bash", os.path.join(lib.HERE, "mariadb.sh"), "start", mdir, str(lib.free_port())],
                       capture_output=True, text=True, timeout=180)
    if r.returncode != 0:
        raise RuntimeError("MariaDB did not start: " + r.stderr)
    env = dict(line.split("=", 1) for line in r.stdout.split() if "=" in line)
    return mdir, env


def stop_mariadb(mdir):
    subprocess.run(["bash", os.path.join(lib.HERE, "mariadb.sh"), "stop", mdir], timeout=120)


def postgres_bin():
    found = sorted(glob.glob("/usr/lib/postgresql/*/bin/postgres"),
                   key=lambda p: int(p.split("/")[4]) if p.split("/")[4].isdigit() else 0)
    return os.path.dirname(found[-1]) if found else None


def start_postgres(work):
    if not postgres_bin():
        message = "postgres is not installed (Debian package postgresql); run scripts/install-deps.sh"
        if os.environ.get("CI") == "true":
            raise RuntimeError(message)
        lib.skip(message)
    pdir = os.path.join(work, "postgres")
    r = subprocess.run(["bash", os.path.join(lib.HERE, "postgres.sh"), "start", pdir, str(lib.free_port())],
                       capture_output=True, text=True, timeout=180)
    if r.returncode != 0:
        raise RuntimeError("PostgreSQL did not start: " + r.stderr)
    env = dict(line.split("=", 1) for line in r.stdout.split() if "=" in line)
    return pdir, env


def stop_postgres(pdir):
    subprocess.run(["bash", os.path.join(lib.HERE, "postgres.sh"), "stop", pdir], timeout=120)


def postgres_app_db(env):
    """The URL tarnwick reads the test's PostgreSQL database by, and the
    application's connection settings for it."""
    url = f"postgresql://{env['PG_USER']}:{env['PG_PASSWORD']}@{env['PG_HOST']}:{env['PG_PORT']}/{env['PG_NAME']}"
    return url, {"driver": "pgsql", "host": env["PG_HOST"], "port": int(env["PG_PORT"]), "name": env["PG_NAME"],
                 "user": env["PG_USER"], "password": env["PG_PASSWORD"]}


def setup_app(args, db_kind):
    """The application in work/app, its database ready; returns (ctx, cleanup).

    The application is the one the default template generates from the sample
    database (--app generated), or the hand-written reference with the runtime
    (--app reference). A generated application reads the database it was
    generated from; config.local.php still names it, and the session folder."""
    ctx = Ctx()
    ctx.work = args.work
    if args.app == "reference":
        ctx.app = lib.assemble(args.work)
    else:
        lib.fresh_work(args.work)
    cleanup = []
    sessions = os.path.join(args.work, "sessions")
    try:
        if db_kind == "sqlite":
            path = os.path.join(args.work, "db", "sample.sqlite")
            os.makedirs(os.path.dirname(path))
            lib.build_sqlite(path)
            ctx.db = lib.SqliteDb(path)
            if args.app != "reference":
                ctx.app = lib.generate(args.work, "sqlite:" + path, args.tarnwick, args.template)
            lib.write_local_config(ctx.app, {"driver": "sqlite", "path": path}, sessions)
        elif db_kind == "postgres":
            pdir, env = start_postgres(args.work)
            cleanup.append(lambda: stop_postgres(pdir))
            ctx.db = lib.PostgresDb(env, os.path.join(postgres_bin(), "psql"))
            with open(os.path.join(lib.SOURCE, "samples", "sample-postgres.sql"), encoding="utf-8") as f:
                ctx.db.execute(f.read())
            url, db = postgres_app_db(env)
            if args.app != "reference":
                ctx.app = lib.generate(args.work, url, args.tarnwick, args.template)
            lib.write_local_config(ctx.app, db, sessions)
        else:
            mdir, env = start_mariadb(args.work)
            cleanup.append(lambda: stop_mariadb(mdir))
            client = shutil.which("mariadb") or shutil.which("mysql")
            ctx.db = lib.MariaDb(env, client)
            with open(os.path.join(lib.SOURCE, "samples", "sample-mariadb.sql"), encoding="utf-8") as f:
                ctx.db.execute(f.read())
            if args.app != "reference":
                url = (f"mysql://{env['MDB_USER']}:{env['MDB_PASSWORD']}@{env['MDB_HOST']}:{env['MDB_PORT']}"
                       f"/{env['MDB_NAME']}")
                ctx.app = lib.generate(args.work, url, args.tarnwick, args.template)
            lib.write_local_config(ctx.app, {"driver": "mysql", "host": env["MDB_HOST"], "port": int(env["MDB_PORT"]),
                                             "name": env["MDB_NAME"], "user": env["MDB_USER"],
                                             "password": env["MDB_PASSWORD"]}, sessions)
    except BaseException:
        for c in cleanup:
            c()
        raise
    return ctx, cleanup


def cmd_http(args):
    lib.need("php", "php-cli")
    import test_http
    ctx, cleanup = setup_app(args, args.db)
    try:
        with lib.PhpServer(ctx.app, os.path.join(args.work, "php-server.log")) as server:
            ctx.server = server
            ctx.base = server.base
            ctx.client = lib.Client(server.base)
            ctx.client.login("ceo", "tarnwick-demo")
            started = time.time()
            passed, failed = test_http.suite.run(ctx, args.only)
            print(f"# {args.db}: {passed + failed} tests in {time.time() - started:.1f}s")
    finally:
        for c in cleanup:
            c()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


# Naming settings that change every page name but those the runtime knows.
NAMING = """
project OutputNameType=infix OutputNameExt=_ OutputNameLCase=True P_DefaultPage=home.php
"""


def cmd_links(args):
    """The sample generated with other naming settings (table pages named
    <table>_<page>.php in lower case, the menu page home.php): from the menu
    page, every page of the application is reached by its links, and every
    link and form of every page names a file that exists and opens."""
    lib.need("php", "php-cli")
    lib.fresh_work(args.work)
    path = os.path.join(args.work, "db", "sample.sqlite")
    os.makedirs(os.path.dirname(path))
    lib.build_sqlite(path)
    description = os.path.join(args.work, "project.txt")
    with open(lib.SAMPLE_PROJECT, encoding="utf-8") as f, open(description, "w", encoding="utf-8") as out:
        out.write(f.read() + NAMING)
    app = lib.generate(args.work, "sqlite:" + path, args.tarnwick, args.template, description)
    lib.write_local_config(app, {"driver": "sqlite", "path": path}, os.path.join(args.work, "sessions"))
    import html as htmllib
    import urllib.parse
    passed = failed = 0

    def check(name, ok, detail=""):
        nonlocal passed, failed
        print(f"[ {'PASS' if ok else 'FAIL'} ] links.{name}{'' if ok else ': ' + detail}")
        passed, failed = passed + ok, failed + (not ok)

    public = os.path.join(app, "public")

    def is_page(f):
        with open(os.path.join(public, f), encoding="utf-8") as fh:
            return "Tarnwick\\run(" in fh.read()

    pages = sorted(f for f in os.listdir(public) if f.endswith(".php") and is_page(f))
    check("pages_named_by_the_settings", "customers_list.php" in pages and "home.php" in pages
          and "customerslist.php" not in pages and "index.php" not in pages, str(pages[:8]))
    with lib.PhpServer(app, os.path.join(args.work, "php-server.log")) as server:
        client = lib.Client(server.base)
        client.login("ceo", "tarnwick-demo")
        seen, queue, broken, failures = {}, ["home.php"], [], []
        while queue and len(seen) < 200:
            url = queue.pop(0)
            page = urllib.parse.urlsplit(url).path
            if page in seen:
                continue
            r = client.get(url)
            seen[page] = r.status
            if r.status != 200:
                failures.append(f"{url}: {r.status}")
                continue
            if "html" not in (r.header("Content-Type") or ""):
                continue
            for attr, target in re.findall(r'(href|action|src)="([^"]*)"', r.text):
                target = htmllib.unescape(target)
                parts = urllib.parse.urlsplit(target)
                if parts.scheme or target.startswith(("#", "data:", "mailto:")) or not parts.path:
                    continue
                if not os.path.exists(os.path.join(public, parts.path)):
                    broken.append(f"{page} -> {target}")
                elif attr == "href" and parts.path.endswith(".php"):
                    queue.append(target)  # forms post; links open
        check("no_link_names_a_missing_file", not broken, "; ".join(sorted(set(broken))[:10]))
        # the project's style sheet, linked from every page, carries the colours of the project settings
        home = client.get("home.php").text
        sheets = [h for h in re.findall(r'<link rel="stylesheet" href="([^"]+)"', home) if not h.startswith("assets/")]
        css = "".join(client.get(htmllib.unescape(h)).text for h in sheets).lower()
        colours = re.findall(r"\b(?:Body|Tbl)\w*Colou?r2?=(#[0-9A-Fa-f]{3,6})\b", open(description).read())
        missing = [c for c in colours if c.lower() not in css]
        check("style_sheet_has_the_project_colours", sheets and colours and not missing, f"{sheets} lacks {missing}")
        check("every_page_reached_opens", not failures, "; ".join(failures[:10]))
        # the login pages are for visitors who are not logged in; every page
        # posts to the logout page from the user box
        unreached = [p for p in pages if p not in seen and p not in ("login.php", "register.php", "logout.php")]
        check("every_page_is_reached", not unreached, str(unreached))
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


def cmd_realworld(args):
    """The application of databases shaped like real ones (realworld.py)."""
    lib.need("php", "php-cli")
    import realworld
    lib.fresh_work(args.work)
    ctx = Ctx()
    ctx.work = args.work
    ctx.engine = args.db
    cleanup = []
    try:
        cleanup = realworld.setup(ctx, args, lib, sys.modules[__name__])
        with lib.PhpServer(ctx.app, os.path.join(args.work, "php-server.log")) as server:
            ctx.server = server
            ctx.base = server.base
            ctx.client = lib.Client(server.base)
            ctx.client.login(ctx.user, realworld.PASSWORD)
            started = time.time()
            passed, failed = realworld.suite.run(ctx, args.only)
            print(f"# {args.db}: {passed + failed} tests in {time.time() - started:.1f}s")
    finally:
        for c in cleanup:
            c()
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


def browser_modules(args, script):
    """Debian's chromium, node and playwright-core (installed by npm into a
    folder of the build tree, not the source tree) with the test script
    beside it: (node, folder, chromium). Skips when a tool is missing."""
    lib.need("php", "php-cli")
    node = lib.need("node", "nodejs")
    npm = lib.need("npm", "npm")
    chromium = os.environ.get("TW_CHROMIUM", "/usr/bin/chromium")
    if not os.path.exists(chromium):
        lib.skip(f"{chromium} is not installed (Debian package chromium); run scripts/install-deps.sh")
    src = os.path.join(lib.HERE, "browser")
    mods = os.path.join(os.path.dirname(os.path.abspath(args.work)), "browser-node")
    os.makedirs(mods, exist_ok=True)
    for f in ("package.json", "package-lock.json"):
        shutil.copy(os.path.join(src, f), mods)
    stamp = os.path.join(mods, "node_modules", ".tw-lock")
    with open(os.path.join(src, "package-lock.json")) as f:
        lock = f.read()
    if not os.path.exists(stamp) or open(stamp).read() != lock:
        r = subprocess.run([npm, "ci", "--no-audit", "--no-fund", "--prefer-offline"], cwd=mods,
                           capture_output=True, text=True, timeout=300)
        if r.returncode != 0:
            print(r.stdout, r.stderr)
            lib.skip("npm ci could not install playwright-core")
        with open(stamp, "w") as f:
            f.write(lock)
    for f in (script, "harness.mjs"):
        shutil.copy(os.path.join(src, f), mods)
    return node, mods, chromium


def cmd_browser(args):
    node, mods, chromium = browser_modules(args, "browser-test.mjs")
    ctx, cleanup = setup_app(args, "sqlite")
    os.makedirs(args.artifacts, exist_ok=True)
    try:
        with lib.PhpServer(ctx.app, os.path.join(args.work, "php-server.log")) as server:
            env = dict(os.environ, TW_BASE_URL=server.base, TW_ARTIFACTS=os.path.abspath(args.artifacts),
                       TW_CHROMIUM=chromium, TW_PROFILE=tempfile.mkdtemp(dir=args.work))
            r = subprocess.run([node, os.path.join(mods, "browser-test.mjs")], cwd=mods, env=env, timeout=240)
            code = r.returncode
            if code == 0:
                # what the browser saved must be in the database
                rows = ctx.db.rows("SELECT contact_name FROM customers WHERE contact_name LIKE 'Browser Test %'")
                if len(rows) != 1:
                    print(f"[ FAIL ] browser.saved_in_database: {rows}")
                    print("0 passed, 1 failed")
                    code = 1
    finally:
        for c in cleanup:
            c()
    return code


def cmd_studio(args):
    import test_studio
    return test_studio.run(args, browser_modules(args, "studio-test.mjs"))


def cmd_regen(args):
    import test_regen
    return test_regen.run(args)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("command", choices=["samples", "lint", "http", "links", "browser", "realworld", "regen", "studio"])
    ap.add_argument("--work", required=True, help="scratch folder (emptied first)")
    ap.add_argument("--db", choices=["sqlite", "mariadb", "postgres"], default="sqlite")
    ap.add_argument("--artifacts", default=None, help="where the browser test saves screenshots")
    ap.add_argument("--only", nargs="*", help="run only tests whose names contain one of these")
    ap.add_argument("--app", choices=["generated", "reference"], default="generated",
                    help="the application generated with the default template, or the hand-written reference")
    ap.add_argument("--tarnwick", default=os.environ.get("TW_TARNWICK"),
                    help="the tarnwick program that generates the application (default: $TW_TARNWICK)")
    ap.add_argument("--template", default=os.environ.get("TW_DEFAULT_TEMPLATE"),
                    help="the default template archive (default: $TW_DEFAULT_TEMPLATE)")
    args = ap.parse_args()
    args.work = os.path.abspath(args.work)
    os.makedirs(args.work, exist_ok=True)
    if args.artifacts is None:
        args.artifacts = os.path.join(args.work, "..", "artifacts")
    return {"samples": cmd_samples, "lint": cmd_lint, "http": cmd_http, "links": cmd_links,
            "browser": cmd_browser, "realworld": cmd_realworld, "regen": cmd_regen,
            "studio": cmd_studio}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
