#!/usr/bin/env python3
"""tarnwick studio on a 500-table project: the time from start to the tree's
JSON, and the round trip of a setting change (POST /api/set); then, on a
project of --preview-tables tables with the default template, the preview
made again after a field's setting changed (only the pages that read that
field) against a whole preview run. Prints figures; asserts nothing.

    bench/studio_bench.py --tarnwick build/bin/tarnwick [--tables 500] [--preview-tables 40]
"""
import json
import argparse
import os
import re
import signal
import sqlite3
import subprocess
import tempfile
import time
import urllib.parse
import urllib.request


def make_db(path, tables):
    c = sqlite3.connect(path)
    for i in range(tables):
        c.execute(f"CREATE TABLE t{i:03d} (id INTEGER PRIMARY KEY, name VARCHAR(40), amount DECIMAL(10,2), "
                  f"placed DATE, note TEXT, flag BOOLEAN)")
    c.commit()
    c.close()


def start_studio(tarnwick, project, env, extra):
    studio = subprocess.Popen([tarnwick, "studio", project, "--no-browser"] + extra, env=env,
                              stdout=subprocess.PIPE, text=True, start_new_session=True)
    m = None
    while m is None:
        line = studio.stdout.readline()
        if not line:
            raise RuntimeError("the studio did not start")
        m = re.search(r"http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]+)", line)
    base, token = f"http://127.0.0.1:{m.group(1)}", m.group(2)

    def call(path, data=None):
        req = urllib.request.Request(base + path, headers={"X-Tarnwick-Token": token},
                                     data=urllib.parse.urlencode(data).encode() if data else None)
        with urllib.request.urlopen(req) as r:
            return r.read()
    return studio, call


def preview_bench(a, work, env):
    """A whole preview run against one made after a field's setting changed."""
    db = os.path.join(work, "preview.sqlite")
    make_db(db, a.preview_tables)
    project = os.path.join(work, "preview.xml")
    subprocess.run([a.tarnwick, "new", project, "--db", "sqlite:" + db, "--dest", os.path.join(work, "psite"),
                    "--no-login", "-q"], env=env, check=True, capture_output=True)
    studio, call = start_studio(a.tarnwick, project, env, [])
    try:
        def run_after(change, runs):
            t0 = time.perf_counter()
            if change:
                call("/api/set", change)
            while True:
                p = json.loads(call("/api/progress"))
                if p["preview_runs"] >= runs and p["result"]:
                    return p["result"], time.perf_counter() - t0
                time.sleep(0.02)
        full, _ = run_after(None, 1)
        field, field_wall = run_after({"table": "t007", "field": "name", "name": "FldCaption", "value": "Name"}, 2)
        table, table_wall = run_after({"table": "t008", "name": "TblCaption", "value": "Eight"}, 3)
        whole, whole_wall = run_after({"name": "BodyTitle", "value": "Bench"}, 4)
        pages = a.preview_tables
        print(f"preview, {pages} tables, default template: first (whole) run {full['seconds'] * 1000:.0f} ms")
        print(f"  after a field setting: {field['seconds'] * 1000:.0f} ms generation "
              f"({field_wall * 1000:.0f} ms from the change to the preview served), "
              f"{len(field['not_remade'])} pages not made again")
        print(f"  after a table setting: {table['seconds'] * 1000:.0f} ms generation "
              f"({table_wall * 1000:.0f} ms), {len(table['not_remade'])} pages not made again")
        print(f"  after a project setting (every page): {whole['seconds'] * 1000:.0f} ms generation "
              f"({whole_wall * 1000:.0f} ms)")
    finally:
        studio.send_signal(signal.SIGINT)
        studio.wait(timeout=60)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tarnwick", default="build/bin/tarnwick")
    ap.add_argument("--tables", type=int, default=500)
    ap.add_argument("--sets", type=int, default=50)
    ap.add_argument("--preview-tables", type=int, default=40)
    a = ap.parse_args()
    work = tempfile.mkdtemp(prefix="tarnwick-studio-bench-")
    env = dict(os.environ, TARNWICK_CONFIG_HOME=os.path.join(work, "config"),
               TARNWICK_DOCUMENTS=os.path.join(work, "documents"), NO_COLOR="1")
    db = os.path.join(work, "wide.sqlite")
    make_db(db, a.tables)
    project = os.path.join(work, "wide.xml")
    subprocess.run([a.tarnwick, "new", project, "--db", "sqlite:" + db, "--dest", os.path.join(work, "site"),
                    "--no-login", "-q"], env=env, check=True, capture_output=True)
    started = time.perf_counter()
    studio, call = start_studio(a.tarnwick, project, env, ["--no-preview"])
    try:
        tree = call("/api/tree")
        to_tree = time.perf_counter() - started
        t0 = time.perf_counter()
        call("/api/tree")
        tree_again = time.perf_counter() - t0
        times = []
        for i in range(a.sets):
            t0 = time.perf_counter()
            call("/api/set", {"table": "t250", "field": "name", "name": "FldCaption", "value": f"Name {i}"})
            times.append(time.perf_counter() - t0)
        times.sort()
        print(f"studio, {a.tables} tables: start to tree JSON {to_tree * 1000:.0f} ms "
              f"({len(tree) // 1024} KiB; goal 1000 ms); tree again {tree_again * 1000:.1f} ms")
        print(f"setting round trip (POST /api/set): median {times[len(times) // 2] * 1000:.2f} ms, "
              f"slowest {times[-1] * 1000:.2f} ms over {a.sets} (goal 50 ms)")
        t0 = time.perf_counter()
        call("/api/save", {"x": "1"})
        print(f"save of the whole project: {(time.perf_counter() - t0) * 1000:.0f} ms")
    finally:
        studio.send_signal(signal.SIGINT)
        studio.wait(timeout=20)
    if a.preview_tables:
        preview_bench(a, work, env)


if __name__ == "__main__":
    main()
