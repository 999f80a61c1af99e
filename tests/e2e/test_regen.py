"""Regenerating a new user's application with the tarnwick command: what
lies below public/, what answers over HTTP, backups, hand edits, the login a
new project starts with, a moved project folder, and the deployment notes.

    run_e2e.py regen --work DIR --tarnwick PROGRAM --template ZIP
"""
import os
import re
import shutil
import subprocess
import tempfile

import e2e_lib as lib


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def __call__(self, name, ok, detail=""):
        print(f"[ {'PASS' if ok else 'FAIL'} ] regen.{name}{'' if ok else ': ' + str(detail)[:400]}")
        self.passed, self.failed = self.passed + bool(ok), self.failed + (not ok)


def files_below(root):
    out = {}
    for d, _, names in os.walk(root):
        for n in names:
            p = os.path.join(d, n)
            with open(p, "rb") as f:
                out[os.path.relpath(p, root)] = f.read()
    return out


class Tarnwick:
    """The tarnwick command with a user registry and work folders of its own."""

    def __init__(self, program, template, home):
        self.program = program
        self.env = dict(os.environ, TARNWICK_CONFIG_HOME=os.path.join(home, "config"),
                        TARNWICK_DOCUMENTS=os.path.join(home, "documents"),
                        TARNWICK_MACHINE_REGISTRY=os.path.join(lib.SOURCE, "share", "machine-registry.txt"),
                        TARNWICK_TEMPLATES=os.path.dirname(os.path.abspath(template)), NO_COLOR="1")
        for d in ("config", "documents"):
            os.makedirs(os.path.join(home, d), exist_ok=True)

    def __call__(self, *args, cwd=None, check=True):
        r = subprocess.run([self.program, *args], env=self.env, cwd=cwd, capture_output=True, text=True,
                           timeout=300)
        if check and r.returncode != 0:
            raise RuntimeError(f"tarnwick {' '.join(args)}: {r.returncode} {r.stderr} {r.stdout}")
        # In a sanitizer build a report of the program's own fails the run
        # even where a failing exit code was what the check expected.
        if re.search(r"ERROR: [A-Za-z]+Sanitizer|: runtime error: ", r.stderr):
            raise RuntimeError(f"tarnwick {' '.join(args)} reported a fault: {r.stderr}")
        return r


def run(args):
    lib.need("php", "php-cli")
    check = Checks()
    lib.fresh_work(args.work)
    tw = Tarnwick(args.tarnwick, args.template, os.path.join(args.work, "engine"))
    # A project folder as a new user makes it: the database, the project
    # file and the application side by side.
    folder = os.path.join(args.work, "shop")
    os.makedirs(folder)
    lib.build_sqlite(os.path.join(folder, "sample.sqlite"))
    made = tw("new", "shop.xml", "--db", "sqlite:sample.sqlite", "--dest", "app", cwd=folder)
    login = re.search(r"Login of the application: admin / (\S+)", made.stdout)
    check("new_prints_a_generated_login", login, made.stdout)
    password = login.group(1) if login else ""
    with open(os.path.join(folder, "shop.xml"), encoding="utf-8") as f:
        project_text = f.read()
    check("project_keeps_only_the_hash", password and password not in project_text
          and 'SecPasswd="$5$rounds=' in project_text, project_text[:300])
    check("project_paths_are_relative", 'Destination="app"' in project_text
          and 'DBName="sample.sqlite"' in project_text
          and 'Template="${TARNWICK_TEMPLATES}/default.zip"' in project_text)

    app = os.path.join(folder, "app")
    public = os.path.join(app, "public")
    tw("config", "set", "General", "BackupFile", "True")
    first = tw("generate", "shop.xml", cwd=folder)
    generated = files_below(app)
    second = tw("generate", "shop.xml", "--overwrite", "all", cwd=folder)
    tw("config", "set", "General", "BackupFile", "False")
    third = tw("generate", "shop.xml", "--overwrite", "all", cwd=folder)
    baks = [p for p in files_below(app) if p.endswith(".bak") or ".bak" + os.sep in p]
    check("no_backup_of_unchanged_pages", not baks and "backup" not in second.stdout + third.stdout,
          f"{baks} {second.stdout}")
    check("second_run_changes_nothing", files_below(app) == generated and " unchanged" in second.stdout,
          second.stdout)
    check("first_run_writes_no_backups", "backup" not in first.stdout, first.stdout)

    # Nothing secret below public/: no settings file, no password hash.
    with open(os.path.join(app, "config.php"), encoding="utf-8") as f:
        config = f.read()
    hashes = re.findall(r"\$5\$rounds=\d+\$[./0-9A-Za-z]+\$[./0-9A-Za-z]+", config)
    check("config_has_the_login_hash", hashes, config[:200])
    leaks = [p for p, data in files_below(public).items()
             if p.endswith((".bak", "config.php", "config.local.php"))
             or any(h.encode() in data for h in hashes) or b"'password'" in data]
    check("no_secret_below_public", not leaks, leaks)
    outside = sorted(os.listdir(app))
    check("settings_runtime_and_info_outside_public",
          {"config.php", "config.local.php", "lib", "info", "router.php", "DEPLOY.md"} <= set(outside), outside)
    check("sqlite_path_relative_to_the_application", "'path' => '../sample.sqlite'" in config)

    # A page changed by hand: kept by generate and --overwrite all, shown by
    # --dry-run --diff, replaced by --force (with its backup when asked).
    page = os.path.join(public, "customerslist.php")
    with open(page, "a", encoding="utf-8") as f:
        f.write("// my change\n")
    with open(page, encoding="utf-8") as f:
        edited = f.read()
    for extra in ([], ["--overwrite", "all"]):
        r = tw("generate", "shop.xml", *extra, cwd=folder)
        with open(page, encoding="utf-8") as f:
            check(f"edited_page_survives_{'_'.join(extra) or 'generate'}",
                  f.read() == edited and "public/customerslist.php" in r.stderr, r.stderr)
    r = tw("generate", "shop.xml", "--dry-run", "--diff", cwd=folder)
    check("dry_run_diff_shows_the_edit", "--- a/public/customerslist.php" in r.stdout
          and "-// my change" in r.stdout and "Would skip, changed by hand" in r.stdout, r.stdout[-600:])
    r = tw("generate", "shop.xml", "--force", "--backup", cwd=folder)
    with open(page, encoding="utf-8") as f:
        forced = f.read()
    check("force_overwrites_the_edit", "// my change" not in forced, forced)
    check("backup_keeps_the_edit", os.path.exists(page + ".bak") and open(page + ".bak").read() == edited)
    os.remove(page + ".bak")
    # The documented extension points are never written by a run.
    own = {os.path.join(app, "header.local.php"): "<?php /** @var Tarnwick\\App $app */ ?><!DOCTYPE html>"
           "<html><head><title>mine</title><?= $app->styleLinks() ?></head><body><p id=\"own-header\">mine</p>\n",
           os.path.join(public, "custom.css"): "body { color: #123456; }\n"}
    for p, text in own.items():
        with open(p, "w", encoding="utf-8") as f:
            f.write(text)
    with open(os.path.join(app, "config.local.php"), "a", encoding="utf-8") as f:
        f.write("// kept\n")
    tw("generate", "shop.xml", "--overwrite", "all", "--force", cwd=folder)
    check("extension_points_survive", all(open(p).read() == t for p, t in own.items())
          and open(os.path.join(app, "config.local.php")).read().endswith("// kept\n"))

    # Over HTTP with the router: the application needs the login, and only
    # public/ answers.
    with open(os.path.join(app, "config.local.php"), "w", encoding="utf-8") as f:
        f.write("<?php\nreturn ['app' => ['session_path' => %s]];\n" % lib.php_literal(
            os.path.join(args.work, "sessions")))
    with lib.PhpServer(app, os.path.join(args.work, "php-server.log")) as server:
        client = lib.Client(server.base)
        r = client.get("customerslist.php")
        check("pages_need_the_login", r.status in (302, 303) and "login.php" in (r.location or ""),
              f"{r.status} {r.location}")
        check("root_goes_to_the_menu_page", client.get("").location == "index.php")
        for path in ("config.php", "config.local.php", "info/customersinfo.php", "lib/app.php", "router.php",
                     "DEPLOY.md", "header.local.php", "../config.php", "%2e%2e/config.php", "../shop.xml",
                     "../sample.sqlite", "assets/../../config.php"):
            r = client.get(path)
            check(f"not_served:{path}", r.status == 404 and b"<?php" not in r.raw, r.status)
        r = client.post("login.php", {"tw_token": lib.token(client.get("login.php").text), "username": "admin",
                                      "password": "wrong-password"})
        check("wrong_password_refused", r.status == 200 and client.get("customerslist.php").status != 200)
        client.login("admin", password)
        home = client.get("customerslist.php")
        check("generated_login_works", home.status == 200 and "tw-list" in home.text, home.status)
        check("own_header_and_style_sheet_used", 'id="own-header"' in home.text and 'href="custom.css"' in home.text)
        check("custom_style_sheet_served", client.get("custom.css").text == own[os.path.join(public, "custom.css")])

    # The project folder moved elsewhere generates the same output, and the
    # run finds every file its own.
    before = files_below(app)
    moved = os.path.join(args.work, "moved", "shop")
    os.makedirs(os.path.dirname(moved))
    shutil.move(folder, moved)
    r = tw("generate", "shop.xml", cwd=moved)
    after = files_below(os.path.join(moved, "app"))
    check("moved_project_generates_the_same_output", after == before,
          sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))[:5])
    check("moved_project_finds_its_files_unchanged", "changed by hand" not in r.stderr
          and "Generated 0 pages" in r.stdout, r.stdout + r.stderr)

    # A template path that is gone says how to mend it.
    with open(os.path.join(moved, "shop.xml"), encoding="utf-8") as f:
        text = f.read()
    with open(os.path.join(moved, "shop.xml"), "w", encoding="utf-8") as f:
        f.write(text.replace('Template="${TARNWICK_TEMPLATES}/default.zip"', 'Template="/nowhere/default.zip"'))
    r = tw("generate", "shop.xml", cwd=moved, check=False)
    check("missing_template_says_how_to_fix_it", r.returncode == 1 and "tarnwick set shop.xml Template=" in r.stderr,
          r.stderr)

    # --no-login says so; the application is then open.
    r = tw("new", "open.xml", "--db", "sqlite:" + os.path.join(moved, "sample.sqlite"), "--no-login",
           "--dest", "open-app", cwd=moved)
    check("no_login_says_so", "no login" in r.stderr and "Login of the application" not in r.stdout, r.stderr)

    check_deploy_notes(check, os.path.join(moved, "app", "DEPLOY.md"), args.work)
    print(f"{check.passed} passed, {check.failed} failed")
    return 1 if check.failed else 0


def fenced_blocks(markdown):
    return re.findall(r"```(\w+)\n(.*?)```", markdown, re.S)


def check_deploy_notes(check, path, work):
    """Every configuration of DEPLOY.md parses: the PHP settings with PHP's own
    ini parser, the shell lines with bash -n, the container recipe's
    instructions, the Apache and nginx files with the servers' own
    configuration test when they are installed."""
    with open(path, encoding="utf-8") as f:
        blocks = fenced_blocks(f.read())
    kinds = [k for k, _ in blocks]
    check("deploy_notes_cover_every_server", all(k in kinds for k in ("apache", "nginx", "ini", "sh", "dockerfile")),
          kinds)
    # Each database type with its PDO driver, Debian package and settings.
    with open(path, encoding="utf-8") as f:
        notes = f.read()
    named = [w for w in ("`pdo_sqlite` (`php8.2-sqlite3`)", "`pdo_mysql` (`php8.2-mysql`)",
                         "`pdo_pgsql` (`php8.2-pgsql`)", "`schema`", "`charset`", "`path`") if w not in notes]
    check("deploy_notes_name_every_database", not named, named)
    php = shutil.which("php")
    for n, (kind, text) in enumerate(blocks):
        name = f"deploy_{kind}_{n}"
        if kind == "ini":
            r = subprocess.run([php, "-r", "var_export(parse_ini_string(stream_get_contents(STDIN)) !== false);"],
                               input=text, capture_output=True, text=True)
            check(name, r.stdout.strip() == "true" and "upload_max_filesize" in text, r.stdout + r.stderr)
        elif kind == "sh":
            r = subprocess.run(["bash", "-n"], input=text, capture_output=True, text=True)
            check(name, r.returncode == 0, r.stderr)
        elif kind == "dockerfile":
            known = {"FROM", "RUN", "ENV", "COPY", "EXPOSE", "WORKDIR", "ARG", "USER", "CMD"}
            lines = text.replace("\\\n", " ").splitlines()
            bad = [ln for ln in lines if ln.strip() and ln.split()[0] not in known]
            runs = [ln.split(None, 1)[1] for ln in lines if ln.startswith("RUN ")]
            shell_ok = all(subprocess.run(["bash", "-n"], input=r_, capture_output=True, text=True).returncode == 0
                           for r_ in runs)
            check(name, not bad and lines[0].startswith("FROM php:8.2") and shell_ok
                  and all(d in text for d in ("pdo_mysql", "pdo_sqlite", "pdo_pgsql", "libpq-dev")), bad)
        elif kind == "apache":
            apache = shutil.which("apache2") or ("/usr/sbin/apache2" if os.path.exists("/usr/sbin/apache2") else None)
            if not apache:
                print(f"# {name}: apache2 is not installed (Debian package apache2); its configuration test skipped")
                continue
            check(name, apache_config_test(apache, text, work), "apache2 -t refused it")
        elif kind == "nginx":
            nginx = shutil.which("nginx") or ("/usr/sbin/nginx" if os.path.exists("/usr/sbin/nginx") else None)
            if not nginx:
                print(f"# {name}: nginx is not installed (Debian package nginx); its configuration test skipped")
                continue
            check(name, nginx_config_test(nginx, text, work), "nginx -t refused it")


def apache_config_test(apache, site, work):
    d = tempfile.mkdtemp(dir=work)
    modules = "/usr/lib/apache2/modules"
    conf = os.path.join(d, "apache2.conf")
    with open(conf, "w") as f:
        f.write(f"ServerRoot {d}\nPidFile {d}/pid\nErrorLog {d}/error.log\nListen 127.0.0.1:8080\n"
                f"LoadModule mpm_event_module {modules}/mod_mpm_event.so\n"
                f"LoadModule authz_core_module {modules}/mod_authz_core.so\n"
                f"LoadModule dir_module {modules}/mod_dir.so\n"
                f"LoadModule env_module {modules}/mod_env.so\n"
                f"LoadModule headers_module {modules}/mod_headers.so\n" + site)
    r = subprocess.run([apache, "-t", "-f", conf], capture_output=True, text=True)
    # (A missing DocumentRoot is a warning; the syntax test passes.)
    if r.returncode != 0:
        print(r.stderr)
    return r.returncode == 0


def nginx_config_test(nginx, server, work):
    d = tempfile.mkdtemp(dir=work)
    conf = os.path.join(d, "nginx.conf")
    with open(os.path.join(d, "fastcgi_params"), "w") as f:
        f.write("fastcgi_param QUERY_STRING $query_string;\n")
    with open(conf, "w") as f:
        f.write(f"pid {d}/nginx.pid;\nerror_log {d}/error.log;\nevents {{}}\n"
                f"http {{\naccess_log off;\nclient_body_temp_path {d};\n" + server.replace("include fastcgi_params",
                                                                                          f"include {d}/fastcgi_params")
                + "\n}\n")
    r = subprocess.run([nginx, "-t", "-c", conf, "-p", d], capture_output=True, text=True)
    if r.returncode != 0:
        print(r.stderr)
    return r.returncode == 0
