"""Helpers of the end-to-end tests: assembling the application, serving it
with php -S, an HTTP client with cookies, HTML scraping, and database access
for checking what the pages stored."""
import contextlib
import csv
import html
import http.cookiejar
import io
import os
import re
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import time
import traceback
import urllib.error
import urllib.parse
import urllib.request
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", ".."))
SKIP = 77


def skip(message):
    print(f"SKIPPED: {message}")
    sys.exit(SKIP)


def need(tool, package):
    path = shutil.which(tool)
    if path is None:
        skip(f"{tool} is not installed (Debian package {package}); run scripts/install-deps.sh")
    return path


def free_port():
    with contextlib.closing(socket.socket(socket.AF_INET, socket.SOCK_STREAM)) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# ---- the application under test ------------------------------------------------

def fresh_work(work):
    """Empties the scratch folder; sessions of the served application go to work/sessions."""
    if os.path.exists(work):
        shutil.rmtree(work)
    os.makedirs(os.path.join(work, "sessions"))


def assemble(work, app_source=None):
    """Copies the runtime and the hand-written reference application into work/app."""
    app = os.path.join(work, "app")
    fresh_work(work)
    shutil.copytree(app_source or os.path.join(HERE, "reference"), app)
    shutil.copytree(os.path.join(SOURCE, "templates", "default", "lib"), os.path.join(app, "lib"))
    shutil.copytree(os.path.join(SOURCE, "templates", "default", "assets"), os.path.join(app, "public", "assets"))
    return app


SAMPLE_PROJECT = os.path.join(HERE, "sample-project.txt")


def project_commands(description, project):
    """The tarnwick commands (argument lists after the program) that apply a
    project description (see the top of sample-project.txt) to PROJECT, and
    the project name it gives."""
    import shlex
    name, commands, charts = "Application", [], set()
    with open(description, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            if line.lstrip().startswith("#"):
                continue
            # as a POSIX shell splits words: a "#" inside a word (a colour) is no comment
            w = shlex.split(line)
            if not w:
                continue
            kind, rest = w[0], w[1:]
            if kind == "name" and len(rest) == 1:
                name = rest[0]
            elif kind == "project" and rest:
                commands.append(["set", project] + rest)
            elif kind == "database" and rest:
                commands.append(["set", project, "--database"] + rest)
            elif kind in ("table", "field") and len(rest) >= (2 if kind == "table" else 3):
                commands.append(["set", project] + rest)
            elif kind == "view" and len(rest) == 2:
                commands.append(["add-view", project, rest[0], "--sql", rest[1], "--copy-fields"])
            elif kind == "report" and len(rest) == 2:
                commands.append(["add-report", project, rest[0], "--from", rest[1]])
            elif kind == "chart" and len(rest) >= 2:
                if (rest[0], rest[1]) not in charts:
                    charts.add((rest[0], rest[1]))
                    commands.append(["add-chart", project, rest[0], rest[1]])
                if len(rest) > 2:
                    commands.append(["set", project, rest[0], "--chart", rest[1]] + rest[2:])
            else:
                raise ValueError(f"{description}:{n}: cannot read this line")
    return name, commands


def generate(work, db_url, tarnwick, template, description=SAMPLE_PROJECT):
    """Generates the sample application into work/app as a user does it with
    the tarnwick command: new (from the database at db_url, with the default
    template), the changes of the project description, generate. The
    engine's user registry and work folders live in work/engine."""
    if not tarnwick or not os.path.exists(tarnwick):
        raise RuntimeError(f"the tarnwick program {tarnwick!r} is not built")
    if not template or not os.path.exists(template):
        raise RuntimeError(f"the template archive {template!r} is not built (target default_template)")
    app = os.path.join(work, "app")
    engine = os.path.join(work, "engine")
    env = dict(os.environ,
               TARNWICK_CONFIG_HOME=os.path.join(engine, "config"),
               TARNWICK_DOCUMENTS=os.path.join(engine, "documents"),
               TARNWICK_MACHINE_REGISTRY=os.path.join(SOURCE, "share", "machine-registry.txt"),
               TARNWICK_TEMPLATES=os.path.dirname(os.path.abspath(template)),
               NO_COLOR="1")
    for d in ("config", "documents"):
        os.makedirs(os.path.join(engine, d), exist_ok=True)
    project = os.path.join(engine, "sample.xml")
    name, commands = project_commands(description, project)
    commands.insert(0, ["new", project, "--db", db_url, "--template", template, "--dest", app, "--name", name])
    # The sample's plain static password is hashed by the template's script
    # (5000 rounds); under the sanitizers, with other end-to-end tests running
    # beside it, that can outlast the default one-minute script time-out.
    commands.insert(0, ["config", "set", "General", "ScriptEngineTimeout", "600000"])
    started = time.time()
    for c in commands:
        r = subprocess.run([tarnwick] + c + ["-q"], env=env,
                           capture_output=True, text=True, timeout=120)
        if r.returncode != 0:
            raise RuntimeError(f"tarnwick {' '.join(c)} failed: {r.stderr.strip()} {r.stdout.strip()}")
    prepared = time.time()
    r = subprocess.run([tarnwick, "generate", project, "--overwrite", "all", "--no-backup"], env=env,
                       capture_output=True, text=True, timeout=300)
    if r.returncode != 0:
        raise RuntimeError("generation failed: " + r.stderr.strip() + " " + r.stdout.strip())
    print(f"# project made with {len(commands)} tarnwick commands in {prepared - started:.1f}s; "
          f"generated in {time.time() - prepared:.1f}s: {r.stdout.strip().splitlines()[-1] if r.stdout.strip() else ''}")
    return app


def build_sqlite(path):
    sys.path.insert(0, os.path.join(SOURCE, "samples"))
    from make_data import build_sqlite as _build  # noqa: E402
    _build(os.path.join(SOURCE, "samples", "sample-sqlite.sql"), path)


def php_literal(v):
    if isinstance(v, bool):
        return "true" if v else "false"
    if isinstance(v, int):
        return str(v)
    return "'" + str(v).replace("\\", "\\\\").replace("'", "\\'") + "'"


def write_local_config(app, db, session_path):
    """config.local.php: where the test database is and where sessions go."""
    lines = ["<?php", "return ["]
    lines.append("    'db' => [" + ", ".join(f"'{k}' => {php_literal(v)}" for k, v in db.items()) + "],")
    lines.append(f"    'app' => ['session_path' => {php_literal(session_path)}],")
    lines.append("];")
    with open(os.path.join(app, "config.local.php"), "w") as f:
        f.write("\n".join(lines) + "\n")


class PhpServer:
    """php -S on a free loopback port with the application's router: only
    its public/ folder is served."""

    def __init__(self, app, log_path):
        self.app = app
        self.port = free_port()
        self.base = f"http://127.0.0.1:{self.port}/"
        self.log_path = log_path
        self.proc = None

    def __enter__(self):
        php = need("php", "php-cli")
        self.log = open(self.log_path, "w")
        # a changed config.local.php counts at the next request
        self.proc = subprocess.Popen([php, "-d", "display_errors=0", "-d", "log_errors=1",
                                      "-d", "opcache.revalidate_freq=0", "-S",
                                      f"127.0.0.1:{self.port}", "-t", os.path.join(self.app, "public"),
                                      os.path.join(self.app, "router.php")],
                                     cwd=self.app, stdout=self.log, stderr=subprocess.STDOUT,
                                     start_new_session=True)
        deadline = time.time() + 15
        while time.time() < deadline:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=0.5):
                    return self
            except OSError:
                if self.proc.poll() is not None:
                    break
                time.sleep(0.1)
        self.__exit__(None, None, None)
        raise RuntimeError("php -S did not start; see " + self.log_path)

    def __exit__(self, *exc):
        if self.proc and self.proc.poll() is None:
            os.killpg(self.proc.pid, signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.proc.pid, signal.SIGKILL)
        self.log.close()

    def log_text(self):
        with open(self.log_path, errors="replace") as f:
            return f.read()


# ---- HTTP ----------------------------------------------------------------------

class Response:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers
        self.raw = body
        self.text = body.decode("utf-8", errors="replace")

    def header(self, name):
        return self.headers.get(name)

    @property
    def location(self):
        return self.headers.get("Location")


class _NoRedirect(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, req, fp, code, msg, headers, newurl):
        return None


class Client:
    """A browser-like session: cookies kept, redirects followed on request."""

    def __init__(self, base):
        self.base = base
        self.jar = http.cookiejar.CookieJar()
        self.opener = urllib.request.build_opener(urllib.request.HTTPCookieProcessor(self.jar), _NoRedirect())

    def cookie(self, name):
        for c in self.jar:
            if c.name == name:
                return c.value
        return None

    def request(self, method, path, data=None, headers=None):
        url = urllib.parse.urljoin(self.base, path)
        req = urllib.request.Request(url, data=data, method=method, headers=headers or {})
        try:
            with self.opener.open(req, timeout=60) as r:
                return Response(r.status, r.headers, r.read())
        except urllib.error.HTTPError as e:
            return Response(e.code, e.headers, e.read())

    def get(self, path, follow=False):
        r = self.request("GET", path)
        while follow and r.status in (301, 302, 303):
            r = self.request("GET", r.location)
        return r

    def post(self, path, fields, files=None, follow=False, headers=None):
        """fields: dict or list of (name, value); files: list of (name, filename, bytes)."""
        items = list(fields.items()) if isinstance(fields, dict) else list(fields)
        items = [(k, x) for k, v in items for x in (v if isinstance(v, list) else [v])]
        hdrs = dict(headers or {})
        if files:
            boundary = "----tw" + uuid.uuid4().hex
            parts = []
            for name, value in items:
                parts.append(f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"\r\n\r\n'.encode()
                             + str(value).encode("utf-8") + b"\r\n")
            for name, filename, content in files:
                parts.append(f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"; filename="{filename}"\r\n'
                             f"Content-Type: application/octet-stream\r\n\r\n".encode() + content + b"\r\n")
            body = b"".join(parts) + f"--{boundary}--\r\n".encode()
            hdrs["Content-Type"] = f"multipart/form-data; boundary={boundary}"
        else:
            body = urllib.parse.urlencode(items).encode()
            hdrs["Content-Type"] = "application/x-www-form-urlencoded"
        r = self.request("POST", path, body, hdrs)
        while follow and r.status in (301, 302, 303):
            r = self.request("GET", r.location)
        return r

    def login(self, user, password):
        page = self.get("login.php")
        r = self.post("login.php", {"tw_token": token(page.text), "username": user, "password": password})
        assert r.status == 303, f"login of {user} gave {r.status}"
        return r


# ---- HTML scraping -----------------------------------------------------------------

def token(page_html):
    m = re.search(r'name="tw_token" value="([0-9a-f]+)"', page_html)
    assert m, "page has no CSRF token field"
    return m.group(1)


def strip_tags(fragment):
    return html.unescape(re.sub(r"<[^>]+>", "", fragment)).strip()


def list_rows(page_html):
    """Cells (as text) of the data rows of a list page."""
    rows = []
    for m in re.finditer(r'<tr class="tw-row[^"]*"[^>]*>(.*?)</tr>', page_html, re.S):
        rows.append([strip_tags(c) for c in re.findall(r"<td[^>]*>(.*?)</td>", m.group(1), re.S)])
    return rows


def row_keys(page_html):
    return [html.unescape(k) for k in re.findall(r'<tr class="tw-row[^"]*" data-key="([^"]*)"', page_html)]


def column_index(page_html, caption):
    """Index of a column among a list's cells (the check box and link columns count)."""
    head = re.search(r"<thead><tr>(.*?)</tr></thead>", page_html, re.S)
    assert head, "list has no header row"
    cells = re.findall(r"<th[^>]*>(.*?)</th>", head.group(1), re.S)
    names = [strip_tags(c).rstrip("▲▼ ").strip() for c in cells]
    assert caption in names, f"no column {caption} in {names}"
    return names.index(caption)


def header_link(page_html, caption):
    for m in re.finditer(r'<th[^>]*><a href="([^"]*)">(.*?)</a></th>', page_html, re.S):
        if strip_tags(m.group(2)).rstrip("▲▼ ").strip() == caption:
            return html.unescape(m.group(1))
    raise AssertionError(f"no sort link for {caption}")


def record_count(page_html):
    m = re.search(r"Records (\d+) to (\d+) of (\d+)", page_html)
    if m:
        return tuple(int(x) for x in m.groups())
    assert "No records found" in page_html, "list shows neither a record count nor 'No records found'"
    return (0, 0, 0)


def link_with(page_html, rel=None, text=None):
    if rel:
        m = re.search(r'<a href="([^"]*)"[^>]*rel="' + rel + '"', page_html)
    else:
        m = re.search(r'<a\b[^>]*\bhref="([^"]*)"[^>]*>' + re.escape(text) + "</a>", page_html)
    assert m, f"no link {rel or text}"
    return html.unescape(m.group(1))


def form_values(page_html, form_id):
    """The values a form would send as it stands: inputs, checked boxes, selected options, text areas."""
    m = re.search(r'<form[^>]*id="' + re.escape(form_id) + r'"[^>]*>(.*?)</form>', page_html, re.S)
    assert m, f"no form {form_id}"
    body = m.group(1)
    values = {}
    for tag in re.findall(r"<input\b[^>]*>", body):
        attrs = dict((k, html.unescape(v)) for k, v in re.findall(r'(\w[\w-]*)="([^"]*)"', tag))
        name = attrs.get("name")
        kind = attrs.get("type", "text")
        if not name or kind == "file":
            continue
        if kind in ("checkbox", "radio") and not re.search(r"\schecked\b", tag):
            continue
        if name.endswith("[]"):  # a group of boxes sends every checked one
            values.setdefault(name, []).append(attrs.get("value", ""))
            continue
        values[name] = attrs.get("value", "")
    for name, content in re.findall(r'<textarea[^>]*name="([^"]*)"[^>]*>(.*?)</textarea>', body, re.S):
        # as an HTML parser does, one line break right after <textarea> is dropped
        content = content[1:] if content.startswith("\n") else content
        values[html.unescape(name)] = html.unescape(content)
    for name, options in re.findall(r'<select[^>]*name="([^"]*)"[^>]*>(.*?)</select>', body, re.S):
        sel = re.search(r'<option value="([^"]*)" selected>', options)
        values[html.unescape(name)] = html.unescape(sel.group(1)) if sel else ""
    return values


def money(text):
    """1234.5 from '$1,234.50' or '-$3.00'."""
    t = text.replace("$", "").replace(",", "").strip()
    neg = t.startswith("(") or t.startswith("-")
    v = float(t.strip("()-"))
    return -v if neg else v


# ---- databases -------------------------------------------------------------------

class SqliteDb:
    driver = "sqlite"

    def __init__(self, path):
        self.path = path

    def qi(self, name):
        return '"' + name.replace('"', '""') + '"'

    def rows(self, sql, params=()):
        con = sqlite3.connect(self.path)
        try:
            out = []
            for r in con.execute(sql, params).fetchall():
                out.append(tuple(None if v is None else (v if isinstance(v, bytes) else _text(v)) for v in r))
            return out
        finally:
            con.close()

    def execute(self, sql):
        con = sqlite3.connect(self.path)
        try:
            con.executescript(sql)
            con.commit()
        finally:
            con.close()


def _text(v):
    if isinstance(v, float) and v.is_integer():
        return str(int(v)) if abs(v) < 1e15 else repr(v)
    return str(v)


class MariaDb:
    driver = "mysql"

    def __init__(self, env, client):
        self.env = env
        self.client = client

    def qi(self, name):
        return "`" + name.replace("`", "``") + "`"

    @staticmethod
    def literal(v):
        if v is None:
            return "NULL"
        if isinstance(v, (int, float)):
            return str(v)
        return "'" + str(v).replace("\\", "\\\\").replace("'", "''") + "'"

    def _run(self, sql, batch=True):
        args = [self.client, "--no-defaults", "-h", self.env["MDB_HOST"], "-P", self.env["MDB_PORT"],
                "-u", self.env["MDB_USER"], f"-p{self.env['MDB_PASSWORD']}", "--default-character-set=utf8mb4"]
        if batch:
            args += ["-B", "-N"]
        args.append(self.env["MDB_NAME"])
        r = subprocess.run(args, input=sql.encode("utf-8"), capture_output=True, timeout=120)
        if r.returncode != 0:
            raise RuntimeError("mariadb: " + r.stderr.decode(errors="replace"))
        return r.stdout.decode("utf-8")

    def rows(self, sql, params=()):
        parts = sql.split("?")
        assert len(parts) == len(params) + 1, "parameter count"
        text = parts[0] + "".join(self.literal(p) + parts[i + 1] for i, p in enumerate(params))
        out = []
        for line in self._run(text + ";").splitlines():
            out.append(tuple(None if c == "NULL" else _unescape_batch(c) for c in line.split("\t")))
        return out

    def execute(self, sql):
        self._run(sql, batch=False)


class PostgresDb:
    """The sample database on the test's PostgreSQL server, read as the
    application's role. Queries are written as for the other databases:
    "?" parameters, and HEX(x) for a bytea column's bytes."""
    driver = "pgsql"

    def __init__(self, env, psql):
        self.env = env
        self.psql = psql

    def qi(self, name):
        return '"' + name.replace('"', '""') + '"'

    @staticmethod
    def literal(v):
        if v is None:
            return "NULL"
        if isinstance(v, (int, float)):
            return str(v)
        return "'" + str(v).replace("'", "''") + "'"

    def _run(self, sql, csv_out=True):
        args = [self.psql, "--no-psqlrc", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", self.env["PG_HOST"],
                "-p", self.env["PG_PORT"], "-U", self.env["PG_USER"], "-d", self.env["PG_NAME"]]
        if csv_out:
            args += ["--csv", "-t", "-P", "null=\\N"]
        env = dict(os.environ, PGPASSWORD=self.env["PG_PASSWORD"], PGCLIENTENCODING="UTF8")
        r = subprocess.run(args, input=sql.encode("utf-8"), capture_output=True, timeout=120, env=env)
        if r.returncode != 0:
            raise RuntimeError("psql: " + r.stderr.decode(errors="replace"))
        return r.stdout.decode("utf-8")

    def rows(self, sql, params=()):
        sql = re.sub(r"\bHEX\(([^()]*)\)", r"upper(encode(\1, 'hex'))", sql)
        parts = sql.split("?")
        assert len(parts) == len(params) + 1, "parameter count"
        text = parts[0] + "".join(self.literal(p) + parts[i + 1] for i, p in enumerate(params))
        out = []
        for r in csv.reader(io.StringIO(self._run(text + ";"))):
            # psql writes a row of one empty text as an empty line
            out.append(tuple(None if c == "\\N" else c for c in r) if r else ("",))
        return out

    def execute(self, sql):
        self._run(sql, csv_out=False)


def _unescape_batch(c):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t", "0": "\0", "\\": "\\"}.get(m.group(1), m.group(1)), c)


# ---- a tiny test runner ------------------------------------------------------------

class Suite:
    def __init__(self, name):
        self.name = name
        self.tests = []

    def test(self, fn):
        self.tests.append(fn)
        return fn

    def run(self, ctx, only=None):
        passed = failed = 0
        for fn in self.tests:
            if only and not any(o in fn.__name__ for o in only):
                continue
            start = time.time()
            try:
                fn(ctx)
                passed += 1
                print(f"[ PASS ] {self.name}.{fn.__name__} ({time.time() - start:.2f}s)", flush=True)
            except Exception as e:  # noqa: BLE001 - every failure is reported and counted
                failed += 1
                print(f"[ FAIL ] {self.name}.{fn.__name__}: {e}", flush=True)
                if not isinstance(e, AssertionError):
                    traceback.print_exc()
        return passed, failed
