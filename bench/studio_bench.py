#!/usr/bin/env python3
"""tarnwick studio on a 500-table project: the time from start to the tree's
JSON, and the round trip of a setting change (POST /api/set). Prints
figures; asserts nothing.

    bench/studio_bench.py --tarnwick build/bin/tarnwick [--tables 500]
"""
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


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tarnwick", default="build/bin/tarnwick")
    ap.add_argument("--tables", type=int, default=500)
    ap.add_argument("--sets", type=int, default=50)
    a = ap.parse_args()
    work = tempfile.mkdtemp(prefix="tarnwick-studio-bench-")
    env = dict(os.environ, TARNWICK_CONFIG_HOME=os.path.join(work, "config"),
               TARNWICK_DOCUMENTS=os.path.join(work, "documents"), NO_COLOR="1")
    db = os.path.join(work, "wide.sqlite")
    c = sqlite3.connect(db)
    for i in range(a.tables):
        c.execute(f"CREATE TABLE t{i:03d} (id INTEGER PRIMARY KEY, name VARCHAR(40), amount DECIMAL(10,2), "
                  f"placed DATE, note TEXT, flag BOOLEAN)")
    c.commit()
    c.close()
    project = os.path.join(work, "wide.xml")
    subprocess.run([a.tarnwick, "new", project, "--db", "sqlite:" + db, "--dest", os.path.join(work, "site"),
                    "--no-login", "-q"], env=env, check=True, capture_output=True)
    started = time.perf_counter()
    studio = subprocess.Popen([a.tarnwick, "studio", project, "--no-browser", "--no-preview"], env=env,
                              stdout=subprocess.PIPE, text=True, start_new_session=True)
    try:
        m = None
        while m is None:
            m = re.search(r"http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]+)", studio.stdout.readline())
        base, token = f"http://127.0.0.1:{m.group(1)}", m.group(2)

        def call(path, data=None):
            req = urllib.request.Request(base + path, headers={"X-Tarnwick-Token": token},
                                         data=urllib.parse.urlencode(data).encode() if data else None)
            with urllib.request.urlopen(req) as r:
                return r.read()

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


if __name__ == "__main__":
    main()
