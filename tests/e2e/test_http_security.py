"""HTTP tests of the sample application: login, sessions, registration and
the CSRF token that every change needs."""

from e2e_lib import Client, form_values, record_count, token
from http_common import T, count, add_customer, new_key


@T
def login_required_and_session_renewed(ctx):
    anon = Client(ctx.base)
    r = anon.get("customerslist.php?pageno=2")
    assert r.status == 303 and r.location.startswith("login.php?return="), f"anonymous list: {r.status} {r.location}"
    assert "Company Name" not in r.text
    page = anon.get("login.php")
    before = anon.cookie("TWSESSID")
    bad = anon.post("login.php", {"tw_token": token(page.text), "username": "ceo", "password": "wrong-password"})
    assert bad.status == 200 and "Incorrect user name or password" in bad.text
    assert anon.get("customerslist.php").status == 303, "a failed login must not log in"
    no_token = anon.post("login.php", {"username": "ceo", "password": "tarnwick-demo"})
    assert no_token.status == 403, f"login without token: {no_token.status}"
    assert anon.get("customerslist.php").status == 303
    page = anon.get("login.php?return=customerslist.php%3Fpageno%3D2")
    ok = anon.post("login.php", {"tw_token": token(page.text), "username": "ceo", "password": "tarnwick-demo",
                                 "return": "customerslist.php?pageno=2"})
    assert ok.status == 303 and ok.location == "customerslist.php?pageno=2", f"login: {ok.status} {ok.location}"
    assert anon.cookie("TWSESSID") not in (None, before), "the session id must change at login"
    listing = anon.get("customerslist.php?pageno=2")
    assert listing.status == 200 and record_count(listing.text)[0] == 21


@T
def login_return_address_stays_in_the_application(ctx):
    c = Client(ctx.base)
    page = c.get("login.php")
    r = c.post("login.php", {"tw_token": token(page.text), "username": "admin", "password": "admin-secret-1",
                             "return": "https://elsewhere.example/"})
    assert r.status == 303 and r.location == "index.php", f"static login: {r.status} {r.location}"
    r = c.get("changepwd.php")
    assert "cannot be changed here" in r.text, "the configured account's password is fixed"


@T
def logout_needs_post_with_token(ctx):
    c = Client(ctx.base)
    c.login("ceo", "tarnwick-demo")
    assert c.get("orderslist.php").status == 200
    r = c.post("logout.php", {})
    assert r.status == 403 and c.get("orderslist.php").status == 200, "logout without token must be refused"
    page = c.get("index.php")
    r = c.post("logout.php", {"tw_token": token(page.text)})
    assert r.status == 303
    assert c.get("orderslist.php").status == 303, "after logout the list needs a login again"


@T
def register_then_change_password(ctx):
    c = Client(ctx.base)
    page = c.get("register.php")
    short = c.post("register.php", {"tw_token": token(page.text), "username": "newbie", "password": "short",
                                    "confirm": "short", "x_first_name": "Nina", "x_last_name": "Neumann", "x_email": ""})
    assert "at least 8 characters" in short.text and count(ctx, "employees", "WHERE login = ?", ("newbie",)) == 0
    taken = c.post("register.php", {"tw_token": token(page.text), "username": "ceo", "password": "long-enough-1",
                                    "confirm": "long-enough-1", "x_first_name": "A", "x_last_name": "B", "x_email": ""})
    assert "already taken" in taken.text
    r = c.post("register.php", {"tw_token": token(page.text), "username": "newbie", "password": "first-pass-1",
                                "confirm": "first-pass-1", "x_first_name": "Nina", "x_last_name": "Neumann-Öz",
                                "x_email": "nina@example.com"})
    assert r.status == 303, f"register: {r.status}"
    (stored, last), = ctx.db.rows("SELECT password_hash, last_name FROM employees WHERE login = ?", ("newbie",))
    assert stored.startswith("$2y$") and "first-pass-1" not in stored, "passwords are stored as password_hash() values"
    assert last == "Neumann-Öz"
    c.login("newbie", "first-pass-1")
    page = c.get("changepwd.php")
    wrong = c.post("changepwd.php", {"tw_token": token(page.text), "old": "not-it-at-all", "new": "second-pass-2",
                                     "confirm": "second-pass-2"})
    assert "old password is not correct" in wrong.text
    r = c.post("changepwd.php", {"tw_token": token(page.text), "old": "first-pass-1", "new": "second-pass-2",
                                 "confirm": "second-pass-2"})
    assert r.status == 303, f"change password: {r.status}"
    fresh = Client(ctx.base)
    page = fresh.get("login.php")
    old = fresh.post("login.php", {"tw_token": token(page.text), "username": "newbie", "password": "first-pass-1"})
    assert old.status == 200, "the old password must no longer work"
    fresh.login("newbie", "second-pass-2")


@T
def csrf_token_required_for_every_change(ctx):
    key = new_key(add_customer(ctx, company_name="Csrf Target", city="Bergen"))
    before = ctx.db.rows("SELECT city FROM customers WHERE customer_id = ?", (int(key),))
    form = form_values(ctx.client.get(f"customersedit.php?key={key}").text, "tw_form_edit")
    form["x_city"] = "Changed"
    form.pop("tw_token")
    r = ctx.client.post(f"customersedit.php?key={key}", form)
    assert r.status == 403, f"edit without token: {r.status}"
    form["tw_token"] = "0" * 64
    assert ctx.client.post(f"customersedit.php?key={key}", form).status == 403
    other = Client(ctx.base)
    other.login("sales", "north-wind-42")
    form["tw_token"] = token(other.get("index.php").text)
    assert ctx.client.post(f"customersedit.php?key={key}", form).status == 403, "another session's token must not work"
    assert ctx.db.rows("SELECT city FROM customers WHERE customer_id = ?", (int(key),)) == before
    r = ctx.client.post("customersdelete.php", {"keys[]": key, "confirm": "1"})
    assert r.status == 403 and count(ctx, "customers", "WHERE customer_id = ?", (int(key),)) == 1
    n = count(ctx, "customers")
    page = ctx.client.get("customersadd.php")
    r = ctx.client.post("customersadd.php", {"x_company_name": "No Token Ltd"})
    assert r.status == 403 and count(ctx, "customers") == n
    r = ctx.client.post("customersadd.php", {"tw_token": token(page.text), "x_company_name": "Cross Site Ltd"},
                        headers={"Origin": "http://attacker.example"})
    assert r.status == 403 and count(ctx, "customers") == n, "a post from another origin must be refused"
