"""The studio in a browser: `tarnwick studio` on a project of the sample
database with the default template, driven by studio-test.mjs in Debian's
chromium (a field setting edited, a table moved, the application generated,
the change seen in the preview, the project saved); screenshots are kept
as artefacts."""
import os
import re
import signal
import subprocess
import tempfile
import time

import e2e_lib as lib


def run(args, modules):
    node, mods, chromium = modules
    tarnwick, template = args.tarnwick, args.template
    if not tarnwick or not os.path.exists(tarnwick):
        raise RuntimeError(f"the tarnwick program {tarnwick!r} is not built")
    if not template or not os.path.exists(template):
        raise RuntimeError(f"the template archive {template!r} is not built (target default_template)")
    work = args.work
    lib.fresh_work(work)
    engine = os.path.join(work, "engine")
    for d in ("config", "documents"):
        os.makedirs(os.path.join(engine, d), exist_ok=True)
    env = dict(os.environ,
               TARNWICK_CONFIG_HOME=os.path.join(engine, "config"),
               TARNWICK_DOCUMENTS=os.path.join(engine, "documents"),
               TARNWICK_MACHINE_REGISTRY=os.path.join(lib.SOURCE, "share", "machine-registry.txt"),
               TARNWICK_TEMPLATES=os.path.dirname(os.path.abspath(template)),
               NO_COLOR="1")
    db = os.path.join(work, "sample.sqlite")
    lib.build_sqlite(db)
    project = os.path.join(work, "shop.xml")
    app = os.path.join(work, "app")
    r = subprocess.run([tarnwick, "new", project, "--db", "sqlite:" + db, "--template", template, "--dest", app,
                        "--name", "Shop", "--no-login", "-q"], env=env, capture_output=True, text=True, timeout=120)
    if r.returncode != 0:
        raise RuntimeError("tarnwick new failed: " + r.stderr)
    os.makedirs(args.artifacts, exist_ok=True)
    studio = subprocess.Popen([tarnwick, "studio", project, "--no-browser", "--port", "0"], env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, start_new_session=True)
    code = 1
    try:
        url = None
        deadline = time.time() + 60
        while time.time() < deadline and url is None:
            line = studio.stdout.readline()
            if not line:
                break
            m = re.search(r"(http://127\.0\.0\.1:\d+/\?token=[0-9a-f]+)", line)
            url = m.group(1) if m else None
        if url is None:
            print("[ FAIL ] studio.starts: " + studio.stderr.read() if studio.poll() is not None else "no address")
            return 1
        benv = dict(os.environ, TW_STUDIO_URL=url, TW_ARTIFACTS=os.path.abspath(args.artifacts),
                    TW_CHROMIUM=chromium, TW_PROFILE=tempfile.mkdtemp(dir=work))
        r = subprocess.run([node, os.path.join(mods, "studio-test.mjs")], cwd=mods, env=benv, timeout=240)
        code = r.returncode
    finally:
        studio.send_signal(signal.SIGINT)
        try:
            studio.wait(timeout=20)
        except subprocess.TimeoutExpired:
            os.killpg(studio.pid, signal.SIGKILL)
            studio.wait()
    # What the page saved is what the command line reads.
    shown = subprocess.run([tarnwick, "show", project, "customers", "contact_name"], env=env,
                           capture_output=True, text=True, timeout=60).stdout
    ok = "FldCaption = Contact person (studio)" in shown
    print(f"[ {'PASS' if ok else 'FAIL'} ] studio.saved_in_project_file")
    tables = subprocess.run([tarnwick, "tables", project], env=env, capture_output=True, text=True,
                            timeout=60).stdout.split("\n")
    # customers moved to the front with the keyboard, then products dragged before it
    rows = [t.split()[1] for t in tables[1:] if len(t.split()) > 1][:2]
    moved = rows == ["products", "customers"]
    print(f"[ {'PASS' if moved else 'FAIL'} ] studio.order_saved: {rows}")
    return 0 if code == 0 and ok and moved else 1
