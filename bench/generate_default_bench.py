#!/usr/bin/env python3
"""Generation speed of the default template, through the tarnwick command.

    python3 bench/generate_default_bench.py [--tarnwick build/bin/tarnwick]
        [--template build/share/tarnwick/templates/default.zip] [--tables 200] [--columns 15]

Three projects, each made with `tarnwick new` (and for the sample the changes
of tests/e2e/sample-project.txt) and generated twice with `tarnwick generate`:

  sample          the sample database with the sample project's settings; its
                  static login password is in plain text, so the first run and
                  the second both hash it (SHA-256 crypt, 5000 rounds)
  sample, hashed  the same with the password given as a password_hash() value
  synthetic       a SQLite schema of --tables tables x --columns columns of
                  mixed types, every table with a key and a link to the one
                  before it, default settings

For each it prints the time to make the project, the first run (template
extraction, script files, pages), the second run (no changes: no extraction,
no script files; every page is made again and compared, none written), the
pages the template makes (written by the first run), pages made per second
of the second run, the size of the generated files (the copied runtime lib/
apart) and the peak resident memory of the tarnwick processes. Where perf is
installed and may sample, further runs under perf (repeated for about three
seconds of samples) give the share of their samples spent finding names
without regard to letter case (settings, members, constants by name).
"""
import argparse
import math
import os
import re
import resource
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import e2e_lib  # noqa: E402


def synthetic_schema(path, tables, columns):
    kinds = ["VARCHAR(80) NOT NULL", "INTEGER", "DECIMAL(12,2)", "DATE", "DATETIME", "TEXT", "CHAR(10)",
             "REAL", "VARCHAR(120)", "BOOLEAN", "INTEGER NOT NULL DEFAULT 0", "VARCHAR(40)"]
    db = sqlite3.connect(path)
    for t in range(1, tables + 1):
        cols = ["id INTEGER PRIMARY KEY AUTOINCREMENT"]
        if t > 1:
            cols.append(f"parent_id INTEGER REFERENCES t{t - 1:03d}(id)")
        while len(cols) < columns:
            cols.append(f"c{len(cols):02d}_{kinds[len(cols) % len(kinds)].split('(')[0].split()[0].lower()} "
                        f"{kinds[len(cols) % len(kinds)]}")
        db.execute(f"CREATE TABLE t{t:03d} ({', '.join(cols)})")
    db.commit()
    db.close()


def folder_size(root, skip):
    total = files = 0
    for d, dirs, names in os.walk(root):
        if os.path.relpath(d, root).split(os.sep)[0] == skip:
            continue
        for n in names:
            total += os.path.getsize(os.path.join(d, n))
            files += 1
    return total, files


class Runner:
    def __init__(self, tarnwick, template, work):
        self.tarnwick, self.template, self.work = tarnwick, template, work

    def env(self, name):
        home = os.path.join(self.work, name, "engine")
        for d in ("config", "documents"):
            os.makedirs(os.path.join(home, d), exist_ok=True)
        return dict(os.environ, TARNWICK_CONFIG_HOME=os.path.join(home, "config"),
                    TARNWICK_DOCUMENTS=os.path.join(home, "documents"),
                    TARNWICK_MACHINE_REGISTRY=os.path.join(SOURCE, "share", "machine-registry.txt"),
                    TARNWICK_TEMPLATES=os.path.dirname(os.path.abspath(self.template)), NO_COLOR="1")

    def run(self, env, *args):
        started = time.perf_counter()
        r = subprocess.run([self.tarnwick, *args], env=env, capture_output=True, text=True)
        if r.returncode != 0:
            raise SystemExit(f"tarnwick {' '.join(args)}: {r.stderr.strip()}")
        return time.perf_counter() - started, r.stdout

    def project(self, name, db_url, description=None, replace=()):
        env = self.env(name)
        project = os.path.join(self.work, name, "project.xml")
        app = os.path.join(self.work, name, "app")
        made = self.run(env, "new", project, "--db", db_url, "--template", self.template, "--dest", app,
                        "--name", name, "-q")[0]
        if description:
            _, commands = e2e_lib.project_commands(description, project)
            for c in commands:
                c = [replace[1] if w == replace[0] else w for w in c] if replace else c
                made += self.run(env, *c, "-q")[0]
        first, out1 = self.run(env, "generate", project, "--overwrite", "all", "--no-backup")
        second, out2 = self.run(env, "generate", project, "--overwrite", "all", "--no-backup")
        lookups = self.lookup_share(env, project, second)
        # The second run makes every page again but writes none (each already
        # holds its text), so the pages made are counted by the first run, which
        # writes each page into an empty folder.
        pages = self.pages_written(out1)
        size, files = folder_size(app, "lib")
        lib_size, _ = folder_size(os.path.join(app, "lib"), "")
        return made, first, second, pages, size, files, lib_size, lookups

    @staticmethod
    def pages_written(out):
        m = re.search(r"^Generated (\d+) pages? into ", out, re.M)
        if not m:
            raise SystemExit(f"tarnwick generate did not say how many pages it wrote:\n{out}")
        return int(m.group(1))

    # Percentage of a generation run's samples in the case-insensitive name
    # look-ups; None without a usable perf.
    LOOKUPS = re.compile(r"findKey|NoCaseHash|NoCaseEqual|equalsNoCase")

    # The run is repeated for about three seconds of samples, so that a
    # small project's share is not down to a handful of them.
    SAMPLED_SECONDS = 3.0

    def lookup_share(self, env, project, seconds):
        perf = shutil.which("perf")
        if not perf:
            return None
        data = os.path.join(self.work, "perf.data")
        runs = max(1, min(20, math.ceil(self.SAMPLED_SECONDS / max(seconds, 0.01))))
        loop = f'for i in $(seq {runs}); do "$0" generate "$1" --overwrite all --no-backup >/dev/null || exit 1; done'
        r = subprocess.run([perf, "record", "-q", "-F", "999", "-o", data, "--", "sh", "-c", loop, self.tarnwick,
                            project], env=env, capture_output=True, text=True)
        if r.returncode != 0 or not os.path.exists(data):
            return None
        r = subprocess.run([perf, "report", "-i", data, "--stdio", "--no-children", "--sort", "sym"],
                           capture_output=True, text=True)
        os.remove(data)
        if r.returncode != 0:
            return None
        share = 0.0
        for line in r.stdout.splitlines():
            m = re.match(r"\s*([0-9.]+)%\s+(.*)", line)
            if m and self.LOOKUPS.search(m.group(2)):
                share += float(m.group(1))
        return share


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--tarnwick", default=os.path.join(SOURCE, "build", "bin", "tarnwick"))
    ap.add_argument("--template", default=os.path.join(SOURCE, "build", "share", "tarnwick", "templates", "default.zip"))
    ap.add_argument("--tables", type=int, default=200)
    ap.add_argument("--columns", type=int, default=15)
    args = ap.parse_args()
    for f in (args.tarnwick, args.template):
        if not os.path.exists(f):
            raise SystemExit(f"{f} is missing: build the targets tarnwick and default_template first")
    work = tempfile.mkdtemp(prefix="tarnwick-default-bench-")
    try:
        runner = Runner(os.path.abspath(args.tarnwick), os.path.abspath(args.template), work)
        sample = os.path.join(work, "sample.sqlite")
        e2e_lib.build_sqlite(sample)
        synthetic = os.path.join(work, "synthetic.sqlite")
        synthetic_schema(synthetic, args.tables, args.columns)
        bcrypt = "SecPasswd=$2y$10$fq9rsPZBMRVoi3OX4hQM.eXiUc4l4s3ejMDXfMOJOZ2hIHqpzZhQS"
        rows = [
            ("sample", runner.project("sample", "sqlite:" + sample, e2e_lib.SAMPLE_PROJECT)),
            ("sample, hashed", runner.project("sample-hashed", "sqlite:" + sample, e2e_lib.SAMPLE_PROJECT,
                                              ("SecPasswd=admin-secret-1", bcrypt))),
            (f"synthetic {args.tables}x{args.columns}", runner.project("synthetic", "sqlite:" + synthetic)),
        ]
        print("seconds of wall time; pages/s for the second run; sizes of the generated files without lib/")
        print(f"{'project':<20} {'make':>6} {'1st':>7} {'2nd':>7} {'pages':>6} {'pages/s':>8} "
              f"{'files':>6} {'KiB':>8} {'lib KiB':>8} {'look-ups':>9}")
        for name, (made, first, second, pages, size, files, lib_size, lookups) in rows:
            share = "-" if lookups is None else f"{lookups:.1f}%"
            print(f"{name:<20} {made:6.2f} {first:7.2f} {second:7.2f} {pages:6d} "
                  f"{pages / second if second else 0:8.0f} {files:6d} {size / 1024:8.0f} {lib_size / 1024:8.0f}"
                  f" {share:>9}")
        peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        print(f"peak resident memory of a tarnwick process: {peak / 1024:.1f} MiB")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
