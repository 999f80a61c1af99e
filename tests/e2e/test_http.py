"""HTTP tests of the sample application: every check goes through the pages
as a browser would and then looks into the database."""
import csv
import html
import io
import os
import re
import struct
import subprocess
import xml.etree.ElementTree as ET
import zlib

import e2e_lib as lib
from e2e_lib import (Client, Suite, column_index, form_values, header_link, link_with, list_rows,
                     money, record_count, row_keys, token)

suite = Suite("http")
T = suite.test

TABLES = {  # list page -> table or view
    "categorieslist.php": "categories", "productslist.php": "products", "customerslist.php": "customers",
    "employeeslist.php": "employees", "orderslist.php": "orders", "order_lineslist.php": "order_lines",
    "order_summarylist.php": "order_summary",
}
CAPTIONS = ["Categories", "Products", "Customers", "Employees", "Orders", "Order Lines", "Order Summary",
            "Customer Orders", "Orders by Status", "Products by Category"]


def count(ctx, table, where="", params=()):
    return int(ctx.db.rows(f"SELECT COUNT(*) FROM {ctx.db.qi(table)} {where}", params)[0][0])


def add_customer(ctx, **values):
    page = ctx.client.get("customersadd.php")
    assert page.status == 200, f"add page: {page.status}"
    fields = {"tw_token": token(page.text), "x_company_name": "Test Company", "x_contact_name": "",
              "x_city": "", "x_country": "", "x_phone": "", "x_email": "", "x_customer_since": "",
              "x_credit_limit": "", "x_notes": ""}
    fields.update({"x_" + k: v for k, v in values.items()})
    return ctx.client.post("customersadd.php", fields)


def new_key(response):
    assert response.status == 303, f"expected a redirect after saving, got {response.status}"
    m = re.search(r"key=([^&]+)", response.location or "")
    assert m, f"redirect {response.location} carries no key"
    return m.group(1)


def png(rgb, size=4):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + bytes(rgb) * size for _ in range(size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


# ---- security: login, sessions, CSRF ---------------------------------------------

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


# ---- default page and lists ----------------------------------------------------------

@T
def default_page_lists_every_table(ctx):
    r = ctx.client.get("index.php")
    assert r.status == 200
    main = r.text.split('<main class="tw-main">', 1)[1]
    links = {html.unescape(t): h for h, t in re.findall(r'<li><a href="([^"]+)">([^<]+)</a>', main)}
    for caption in CAPTIONS:
        assert caption in links, f"default page does not list {caption}"
    for page in TABLES:
        assert page in links.values(), f"default page has no link to {page}"
        assert ctx.client.get(links[[k for k, v in links.items() if v == page][0]]).status == 200


@T
def list_pages_show_the_row_counts(ctx):
    for page, table in TABLES.items():
        r = ctx.client.get(page)
        assert r.status == 200, f"{page}: {r.status}"
        n = count(ctx, table)
        first, last, total = record_count(r.text)
        assert total == n, f"{page} says {total} records, the database has {n}"
        assert (first, last) == (1, min(20, n)) and len(list_rows(r.text)) == min(20, n), f"{page}: {first}..{last}"


@T
def paging_moves_through_the_records(ctx):
    n = count(ctx, "products")
    r = ctx.client.get("productslist.php")
    seen = set(row_keys(r.text))
    pages = 1
    while True:
        try:
            nxt = link_with(r.text, rel="next")
        except AssertionError:
            break
        r = ctx.client.get(nxt)
        keys = row_keys(r.text)
        assert not seen.intersection(keys), "a record appears on two pages"
        seen.update(keys)
        pages += 1
        assert pages <= 20, "paging does not end"
    assert len(seen) == n and pages == -(-n // 20), f"paged through {len(seen)} of {n} records in {pages} pages"
    r = ctx.client.get("productslist.php?recperpage=50&pageno=3")
    assert record_count(r.text) == (101, 150, n)
    r = ctx.client.get("productslist.php?recperpage=ALL")
    assert len(list_rows(r.text)) == n
    r = ctx.client.get("productslist.php?recperpage=7")  # not among the choices: the default stays
    assert record_count(r.text)[1] == 20
    r = ctx.client.get("customerslist.php?pageno=9999")  # past the end: the last page
    total = count(ctx, "customers")
    assert record_count(r.text)[1] == total
    # numbered pager of the customers list
    r = ctx.client.get("customerslist.php")
    assert re.search(r'<a href="customerslist\.php\?pageno=3">3</a>', r.text), "numbered pager has no link to page 3"


def query_of(url):
    import urllib.parse
    return dict(urllib.parse.parse_qsl(urllib.parse.urlsplit(url).query))


# Lists paged by position: list page, its parameters, records per page, and
# the databases that page it by number instead. The orders' shipped date
# holds NULLs, their status and the customers' cities and countries hold long
# runs of equal values; MariaDB sorts an ENUM by its members' places but
# compares it as text, so its status is paged by number there.
POSITION_PAGING = [
    ("orderslist.php", {}, 20, ()),                                          # default order: date descending
    ("orderslist.php", {"sort": "x_shipped_at"}, 20, ()),                     # NULLs, ascending
    ("orderslist.php", {"sort": "-x_shipped_at"}, 50, ()),                    # NULLs, descending
    ("orderslist.php", {"sort": "x_status"}, 50, (lib.MariaDb,)),             # four values over 400 rows
    ("orderslist.php", {"x_status": "Processing", "sort": "-x_freight"}, 10, ()),  # searched, decimals descending
    ("customerslist.php", {"sort": "-x_credit_limit,x_country"}, 20, ()),     # two columns, opposite directions
    ("customerslist.php", {"psearch": "a", "psearchtype": "AND", "sort": "x_city"}, 20, ()),  # searched, ties
]


@T
def paging_by_position_shows_every_row_once(ctx):
    """Next links carry the last row's position, previous links the first
    row's: walking to the end and back shows every row once, in order."""
    for page, params, per_page, by_number in POSITION_PAGING:
        what = f"{page} {params}"
        cursor = {"after": "after", "before": "before"}
        if isinstance(ctx.db, by_number):
            cursor = {"after": "pageno", "before": "pageno"}
        everything = row_keys(ctx.client.get(page + "?" + urlq({**params, "recperpage": "ALL"})).text)
        assert len(everything) > 2 * per_page, f"{what}: too few rows to page"
        r = ctx.client.get(page + "?" + urlq({**params, "recperpage": per_page}))
        pages = [row_keys(r.text)]
        while True:
            try:
                nxt = link_with(r.text, rel="next")
            except AssertionError:
                break
            assert cursor["after"] in query_of(nxt), f"{what}: the next link {nxt} carries no {cursor['after']}"
            r = ctx.client.get(nxt)
            pages.append(row_keys(r.text))
            assert len(pages) <= 60, f"{what}: paging does not end"
        walked = [k for p in pages for k in p]
        assert walked == everything, (f"{what}: paging forward shows {len(walked)} rows ({len(set(walked))} different), "
                                      f"the whole list {len(everything)}")
        assert all(len(p) == per_page for p in pages[:-1]), f"{what}: a page is short"
        back = [row_keys(r.text)]
        while True:
            try:
                prev = link_with(r.text, rel="prev")
            except AssertionError:
                break
            if len(back) < len(pages) - 1:
                assert cursor["before"] in query_of(prev), f"{what}: the previous link {prev} carries no {cursor['before']}"
            r = ctx.client.get(prev)
            back.append(row_keys(r.text))
            assert len(back) <= len(pages), f"{what}: paging back does not end at the first page"
        assert back[::-1] == pages, f"{what}: paging back shows other pages than paging forward"
        first, last, _ = record_count(r.text)
        assert (first, last) == (1, per_page), f"{what}: back on the first page, it says {first}..{last}"
    # all the orders, in the order of the database
    orders = [str(k[0]) for k in ctx.db.rows("SELECT order_id FROM orders")]
    walked = row_keys(ctx.client.get("orderslist.php?" + urlq({"sort": "x_shipped_at", "recperpage": "ALL"})).text)
    assert sorted(walked) == sorted(orders)


@T
def paging_by_position_is_not_shifted_by_new_rows(ctx):
    """A row added before the current page does not move the next page: it
    starts right after the page's last row."""
    r = ctx.client.get("customerslist.php?" + urlq({"sort": "x_company_name", "recperpage": 10}))
    page1 = row_keys(r.text)
    nxt = link_with(r.text, rel="next")
    key = new_key(add_customer(ctx, company_name="0 Sorts before every other company"))
    try:
        everything = row_keys(ctx.client.get("customerslist.php?" + urlq({"sort": "x_company_name", "recperpage": "ALL"})).text)
        assert everything[0] == key
        page2 = row_keys(ctx.client.get(nxt).text)
        at = everything.index(page1[-1])
        assert page2 == everything[at + 1:at + 11], "the next page does not start after the last row shown"
    finally:
        ctx.db.execute(f"DELETE FROM customers WHERE customer_id = {int(key)}")


@T
def sorting_by_clicking_a_header(ctx):
    r = ctx.client.get("customerslist.php?recperpage=ALL")
    col = column_index(r.text, "Credit Limit")
    asc = ctx.client.get(header_link(r.text, "Credit Limit"))
    values = [money(row[col]) for row in list_rows(asc.text) if row[col]]
    assert values == sorted(values) and len(values) > 100, "credit limits not in ascending order"
    lowest = float(ctx.db.rows("SELECT MIN(credit_limit) FROM customers")[0][0])
    assert values[0] == lowest
    desc = ctx.client.get(header_link(asc.text, "Credit Limit"))
    values = [money(row[col]) for row in list_rows(desc.text) if row[col]]
    assert values == sorted(values, reverse=True), "second click must sort descending"
    assert "aria-sort=\"descending\"" in desc.text
    # a sort parameter naming no listed field is ignored
    r = ctx.client.get("customerslist.php?sort=x_notes,-1;DROP%20TABLE%20customers")
    assert r.status == 200 and record_count(r.text)[2] == count(ctx, "customers")
    # the view's column with a blank in its name sorts too
    r = ctx.client.get("order_summarylist.php")
    r = ctx.client.get(header_link(r.text, "Total Amount"))
    col = column_index(r.text, "Total Amount")
    totals = [money(row[col]) for row in list_rows(r.text)]
    smallest = min(float(v[0]) for v in ctx.db.rows(f"SELECT {ctx.db.qi('Total Amount')} FROM order_summary"
                                                    f" WHERE {ctx.db.qi('Total Amount')} IS NOT NULL"))
    assert totals == sorted(totals) and totals[0] == smallest


@T
def sorting_by_two_columns(ctx):
    # customers sort on up to three columns: the header clicked last sorts first
    r = ctx.client.get("customerslist.php?recperpage=ALL")
    r = ctx.client.get(header_link(r.text, "Credit Limit"))
    r = ctx.client.get(header_link(r.text, "Country"))
    country, credit = column_index(r.text, "Country"), column_index(r.text, "Credit Limit")
    rows = list_rows(r.text)
    assert len(rows) == count(ctx, "customers")
    order = [row[country] for row in rows]
    expected = [v[0] for v in ctx.db.rows("SELECT country FROM customers ORDER BY country")]
    assert [o or None for o in order] == expected, "rows not ordered by country first"
    blocks = {}
    for row in rows:
        blocks.setdefault(row[country], []).append(money(row[credit]) if row[credit] else float("-inf"))
    for name, values in blocks.items():
        assert values == sorted(values), f"credit limits within {name} not ascending"


def casefold_contains(value, word):
    return value is not None and word.casefold() in value.casefold()


def casefold_starts(value, word):
    return value is not None and value.casefold().startswith(word.casefold())


@T
def basic_search(ctx):
    rows = ctx.db.rows("SELECT company_name, contact_name, city FROM customers")
    cases = [("Łódź", "AND"), ("Blue Harbor", ""), ("Kraków Malmö", "OR"), ("Café Stores", "AND"), ("ma", "START")]
    for text, kind in cases:
        words = [text] if kind in ("", "START") else text.split()
        matcher = any if kind == "OR" else all
        found = casefold_starts if kind == "START" else casefold_contains
        expected = sum(1 for r in rows if matcher(any(found(v, w) for v in r) for w in words))
        assert expected > 0, f"sample data has no match for {text}"
        page = ctx.client.get("customerslist.php?" + urlq({"psearch": text, "psearchtype": kind, "recperpage": "ALL"}))
        got = record_count(page.text)[2]
        assert got == expected, f"search {text!r} ({kind or 'phrase'}): {got} rows, expected {expected}"
    # the search box keeps its text, escaped
    page = ctx.client.get("customerslist.php?" + urlq({"psearch": 'say "hi"'}))
    assert 'value="say &quot;hi&quot;"' in page.text
    # LIKE wildcards are searched as plain characters
    page = ctx.client.get("customerslist.php?" + urlq({"psearch": "%", "psearchtype": ""}))
    pct = sum(1 for r in rows if any(casefold_contains(v, "%") for v in r))
    assert record_count(page.text)[2] == pct


def urlq(params):
    import urllib.parse
    return urllib.parse.urlencode(params)


@T
def advanced_search_operators(ctx):
    db = ctx.db
    stock = [int(v[0]) for v in db.rows("SELECT units_in_stock FROM products")]
    r = ctx.client.get("productslist.php?" + urlq({"x_x_units_in_stock": "100", "y_x_units_in_stock": "200"}))
    assert record_count(r.text)[2] == sum(1 for v in stock if 100 <= v <= 200), "BETWEEN"
    prices = [float(v[0]) for v in db.rows("SELECT unit_price FROM products")]
    for op, test in ((">", lambda v: v > 200), ("<=", lambda v: v <= 10), ("<>", lambda v: v != prices[0])):
        value = "200" if op == ">" else ("10" if op == "<=" else repr(prices[0]))
        r = ctx.client.get("productslist.php?" + urlq({"x_x_unit_price": value, "z_x_unit_price": op}))
        assert record_count(r.text)[2] == sum(1 for v in prices if test(v)), f"unit price {op} {value}"
    cities = [v[0] for v in db.rows("SELECT city FROM customers")]
    r = ctx.client.get("customerslist.php?" + urlq({"x_x_city": "San"}))
    assert record_count(r.text)[2] == sum(1 for c in cities if c and c.startswith("San")), "START WITH"
    since = [v[0] for v in db.rows("SELECT customer_since FROM customers")]
    r = ctx.client.get("customerslist.php?" + urlq({"x_x_customer_since": "01/01/2020"}))  # dd/mm/yyyy field
    assert record_count(r.text)[2] == sum(1 for d in since if d and d[:10] >= "2020-01-01"), ">= on a date"
    notes = [v[0] for v in db.rows("SELECT notes FROM customers")]
    r = ctx.client.get("customerslist.php?" + urlq({"x_x_notes": "delivery to Berlin"}))
    assert record_count(r.text)[2] == sum(1 for n in notes if n is not None and "delivery to berlin" not in n.lower()), "NOT LIKE"
    names = [v[0] for v in db.rows("SELECT company_name FROM customers")]
    r = ctx.client.get("customerslist.php?" + urlq({"x_x_company_name": "söhne"}))
    assert record_count(r.text)[2] == sum(1 for n in names if "söhne" in n.casefold()), "LIKE"
    cats = db.rows("SELECT category_id FROM products")
    r = ctx.client.get("productslist.php?" + urlq({"x_x_category_id": "7"}))
    assert record_count(r.text)[2] == sum(1 for c in cats if c[0] == "7"), "= on a lookup field"
    bad = ctx.client.get("customerslist.php?" + urlq({"x_x_customer_id": "abc", "y_x_customer_id": "5"}))
    assert bad.status == 200 and "Search value for Customer ID is not valid" in bad.text
    page = ctx.client.get("productssrch.php")
    assert page.status == 200 and 'name="x_x_units_in_stock"' in page.text and 'name="z_x_unit_price"' in page.text


@T
def custom_view_lists_its_query(ctx):
    orders = {}
    for (cid,) in ctx.db.rows("SELECT customer_id FROM orders"):
        orders[cid] = orders.get(cid, 0) + 1
    customers = count(ctx, "customers")
    r = ctx.client.get("customer_orderslist.php")
    assert record_count(r.text)[2] == customers, "one row per customer"
    r = ctx.client.get(header_link(r.text, "Orders"))
    r = ctx.client.get(header_link(r.text, "Orders"))  # second click: descending
    col = column_index(r.text, "Orders")
    counts = [int(row[col]) for row in list_rows(r.text)]
    assert counts == sorted(counts, reverse=True) and counts[0] == max(orders.values())
    r = ctx.client.get("customer_orderslist.php?" + urlq({"x_x_order_count": "5"}))
    assert record_count(r.text)[2] == sum(1 for n in orders.values() if n >= 5), ">= on a computed column"
    r = ctx.client.get("customer_orderslist.php?" + urlq({"psearch": "Söhne"}))
    names = [v[0] for v in ctx.db.rows("SELECT company_name FROM customers")]
    assert record_count(r.text)[2] == sum(1 for n in names if "söhne" in n.casefold())
    assert ctx.client.get("customer_orderslist.php?export=xml").status == 404, "only the offered exports"


@T
def sql_injection_is_plain_text(ctx):
    payload = "x' OR '1'='1'; DROP TABLE customers; --"
    r = ctx.client.get("customerslist.php?" + urlq({"psearch": payload, "psearchtype": ""}))
    assert r.status == 200 and record_count(r.text)[2] == 0, "injected search must match nothing"
    r = ctx.client.get("productslist.php?" + urlq({"x_x_category_id": "1 OR 1=1"}))
    assert "not valid" in r.text and record_count(r.text)[2] == count(ctx, "products")
    n = count(ctx, "customers")
    key = new_key(add_customer(ctx, company_name=payload, city="Robert'); DROP TABLE orders;--"))
    assert count(ctx, "customers") == n + 1, "one record added"
    assert ctx.db.rows("SELECT company_name, city FROM customers WHERE customer_id = ?", (int(key),)) == [
        (payload, "Robert'); DROP TABLE orders;--")], "the payload is stored as entered"
    assert count(ctx, "orders") > 0
    r = ctx.client.get("customerslist.php?" + urlq({"psearch": payload, "psearchtype": ""}))
    assert record_count(r.text)[2] == 1 and row_keys(r.text) == [key], "the payload is found as text"
    r = ctx.client.get(f"customersview.php?key={key}%20OR%201%3D1")
    assert r.status == 404, f"a key with SQL after it finds nothing, got {r.status}"


@T
def script_payload_is_escaped(ctx):
    payload = "<script>alert('owned')</script>"
    key = new_key(add_customer(ctx, company_name=payload, contact_name='"><img src=x onerror=alert(1)>',
                               email="javascript:alert(1)"))
    for page in (f"customersview.php?key={key}", "customerslist.php?" + urlq({"psearch": "owned"}),
                 f"customersedit.php?key={key}", f"customersdelete.php?key={key}"):
        r = ctx.client.get(page)
        assert r.status == 200, page
        assert "<script>alert(" not in r.text and "<img src=x" not in r.text, f"{page} shows the payload unescaped"
        assert "&lt;script&gt;alert(" in r.text, f"{page} does not show the escaped text"
    view = ctx.client.get(f"customersview.php?key={key}").text
    assert 'href="mailto:javascript:alert(1)"' in view or "javascript:alert(1)</" in view
    assert 'href="javascript:' not in view


# ---- record pages --------------------------------------------------------------------

@T
def add_view_edit_delete_round_trip(ctx):
    n = count(ctx, "customers")
    r = add_customer(ctx, company_name="Fjord Fisk AS", contact_name="Åse Øvrebø", city="Tromsø", country="Norway",
                     customer_since="31/12/2021", credit_limit="2500.5", notes="first line\nsecond line")
    key = new_key(r)
    assert r.location == f"customersview.php?key={key}"
    assert count(ctx, "customers") == n + 1
    row, = ctx.db.rows("SELECT company_name, contact_name, city, customer_since, credit_limit, notes, phone "
                       "FROM customers WHERE customer_id = ?", (int(key),))
    assert row[:4] == ("Fjord Fisk AS", "Åse Øvrebø", "Tromsø", "2021-12-31"), row
    assert float(row[4]) == 2500.5 and row[5].replace("\r\n", "\n") == "first line\nsecond line" and row[6] is None
    view = ctx.client.get(r.location)
    assert "Record added" in view.text
    cell = lambda page, var: html.unescape(re.sub(r"<[^>]+>", "", re.search(
        r'id="tw_view_' + var + r'">(.*?)</td>', page, re.S).group(1)))
    assert cell(view.text, "x_customer_since") == "31/12/2021"
    assert cell(view.text, "x_credit_limit") == "$2,500.50"
    assert cell(view.text, "x_contact_name") == "Åse Øvrebø"
    edit = ctx.client.get(f"customersedit.php?key={key}")
    form = form_values(edit.text, "tw_form_edit")
    assert form["x_customer_since"] == "31/12/2021" and form["x_city"] == "Tromsø"
    form.update({"x_city": "Bodø", "x_customer_since": "1/2/2022", "x_phone": "+47 123"})
    r = ctx.client.post(f"customersedit.php?key={key}", form)
    assert r.status == 303 and "Record updated" in ctx.client.get(r.location).text
    assert ctx.db.rows("SELECT city, customer_since, phone, company_name FROM customers WHERE customer_id = ?",
                       (int(key),)) == [("Bodø", "2022-02-01", "+47 123", "Fjord Fisk AS")]
    confirm = ctx.client.get(f"customersdelete.php?key={key}")
    assert "Do you really want to delete" in confirm.text and count(ctx, "customers") == n + 1
    r = ctx.client.post("customersdelete.php", {"tw_token": token(confirm.text), "keys[]": key, "confirm": "1"})
    assert r.status == 303 and count(ctx, "customers") == n
    assert ctx.client.get(f"customersview.php?key={key}").status == 404


@T
def copy_and_defaults(ctx):
    page = ctx.client.get("customersadd.php")
    form = form_values(page.text, "tw_form_add")
    assert form["x_credit_limit"] == "1000", "a new record starts with the field's default"
    page = ctx.client.get("ordersadd.php")
    assert form_values(page.text, "tw_form_add")["x_status"] == "New"
    src = ctx.db.rows("SELECT order_id, customer_id, status FROM orders WHERE status = 'Shipped' ORDER BY order_id")[0]
    copy = ctx.client.get(f"ordersadd.php?copy={src[0]}")
    form = form_values(copy.text, "tw_form_add")
    assert form["x_customer_id"] == src[1] and form["x_status"] == "Shipped"
    n = count(ctx, "orders")
    r = ctx.client.post(f"ordersadd.php?copy={src[0]}", form)
    key = new_key(r)
    assert int(key) != int(src[0]) and count(ctx, "orders") == n + 1
    assert ctx.db.rows("SELECT customer_id, status FROM orders WHERE order_id = ?", (int(key),)) == [(src[1], "Shipped")]


@T
def validation_rejects_bad_input(ctx):
    n = count(ctx, "customers")
    cases = [({"company_name": ""}, "Please enter a value for Company Name"),
             ({"credit_limit": "12,5x"}, "Credit Limit must be a number"),
             ({"customer_since": "2021/13/45"}, "Customer Since must be a date in the form dd/mm/yyyy"),
             ({"customer_since": "30/02/2021"}, "Customer Since must be a date"),
             ({"company_name": "x" * 81}, "Company Name may hold at most 80 characters")]
    for values, message in cases:
        r = add_customer(ctx, **values)
        assert r.status == 200 and message in r.text, f"{values}: no message {message!r}"
    assert count(ctx, "customers") == n
    r = add_customer(ctx, company_name="Kept <b>Value</b>", credit_limit="abc")
    form = form_values(r.text, "tw_form_add")
    assert form["x_company_name"] == "Kept <b>Value</b>" and form["x_credit_limit"] == "abc", "entries are shown again"
    # choices, ranges, integers, dates in other orders
    page = ctx.client.get("ordersadd.php")
    base = form_values(page.text, "tw_form_add")
    base.update({"x_customer_id": "1", "x_order_date": "2024/05/06"})
    n = count(ctx, "orders")
    for field, value, message in (("x_status", "Bogus", "Status: please choose one of the offered values"),
                                  ("x_customer_id", "999999", "Customer: please choose one"),
                                  ("x_freight", "-1", "Freight must lie between"),
                                  ("x_order_date", "06/05/2024", "Order Date must be a date in the form yyyy/mm/dd")):
        r = ctx.client.post("ordersadd.php", {**base, field: value})
        assert r.status == 200 and message in r.text, f"{field}={value}: no message {message!r}"
    assert count(ctx, "orders") == n
    page = ctx.client.get("order_linesadd.php")
    base = form_values(page.text, "tw_form_add")
    base.update({"x_order_id": "1", "x_product_id": "1", "x_unit_price": "3.5"})
    for value, message in (("2.5", "Quantity must be a whole number"), ("0", "Quantity must lie between 1 and 1000")):
        r = ctx.client.post("order_linesadd.php", {**base, "x_quantity": value})
        assert message in r.text, f"quantity {value}"
    page = ctx.client.get("employeesadd.php")
    base = form_values(page.text, "tw_form_add")
    base.update({"x_first_name": "Us", "x_last_name": "Date", "x_login": "usdate"})
    r = ctx.client.post("employeesadd.php", {**base, "x_birth_date": "31/12/1990"})
    assert "Birth Date must be a date in the form mm/dd/yyyy" in r.text
    key = new_key(ctx.client.post("employeesadd.php", {**base, "x_birth_date": "12/31/1990"}))
    assert ctx.db.rows("SELECT birth_date FROM employees WHERE employee_id = ?", (int(key),)) == [("1990-12-31",)]
    r = ctx.client.post("employeesadd.php", {**base, "x_login": "usdate"})
    assert r.status == 200 and "conflicts with another record" in r.text, "a duplicate unique value is reported"


@T
def checkbox_and_radio_controls(ctx):
    page = ctx.client.get("productsadd.php")
    form = form_values(page.text, "tw_form_add")
    form.update({"x_product_name": "Checkbox Tea", "x_category_id": "2", "x_unit_price": "4.2", "x_units_in_stock": "3"})
    form.pop("x_discontinued", None)  # unchecked box
    key = new_key(ctx.client.post("productsadd.php", form))
    assert ctx.db.rows("SELECT discontinued FROM products WHERE product_id = ?", (int(key),)) == [("N",)]
    tick = lambda: re.search(r'id="tw_view_x_discontinued">\s*<span class="tw-tick"[^>]*>', ctx.client.get(
        f"productsview.php?key={key}").text) is not None
    assert not tick(), "an unchecked box shows no tick"
    form = form_values(ctx.client.get(f"productsedit.php?key={key}").text, "tw_form_edit")
    form["x_discontinued"] = "Y"
    assert ctx.client.post(f"productsedit.php?key={key}", form).status == 303
    assert ctx.db.rows("SELECT discontinued FROM products WHERE product_id = ?", (int(key),)) == [("Y",)]
    assert tick(), "a checked box shows as a tick"
    form["x_discontinued"] = "maybe"
    r = ctx.client.post(f"productsedit.php?key={key}", form)
    assert "Discontinued: please choose" in r.text
    assert ctx.db.rows("SELECT discontinued FROM products WHERE product_id = ?", (int(key),)) == [("Y",)]


@T
def multi_delete_with_confirmation(ctx):
    keys = [new_key(add_customer(ctx, company_name=f"Multi {i}")) for i in range(3)]
    n = count(ctx, "customers")
    listing = ctx.client.get("customerslist.php?" + urlq({"psearch": "Multi", "psearchtype": ""}))
    assert sorted(row_keys(listing.text)) == sorted(keys)
    assert 'name="keys[]"' in listing.text
    t = token(listing.text)
    confirm = ctx.client.post("customersdelete.php", [("tw_token", t), ("keys[]", keys[0]), ("keys[]", keys[1])])
    assert confirm.status == 200 and "Do you really want" in confirm.text and count(ctx, "customers") == n
    assert len(list_rows(confirm.text)) == 2
    r = ctx.client.post("customersdelete.php", [("tw_token", t), ("keys[]", keys[0]), ("keys[]", keys[1]), ("confirm", "1")])
    assert r.status == 303 and "2 record(s) deleted" in ctx.client.get(r.location).text
    assert count(ctx, "customers") == n - 2
    assert count(ctx, "customers", "WHERE customer_id = ?", (int(keys[2]),)) == 1


@T
def delete_of_a_referenced_record_is_refused(ctx):
    cid = ctx.db.rows("SELECT customer_id FROM orders ORDER BY order_id")[0][0]
    page = ctx.client.get(f"customersdelete.php?key={cid}")
    r = ctx.client.post("customersdelete.php", {"tw_token": token(page.text), "keys[]": cid, "confirm": "1"})
    assert r.status == 303
    shown = ctx.client.get(r.location)
    assert "could not be deleted" in shown.text and "SQLSTATE" not in shown.text
    assert count(ctx, "customers", "WHERE customer_id = ?", (int(cid),)) == 1


@T
def master_detail_links(ctx):
    oid, n = ctx.db.rows("SELECT order_id, COUNT(*) FROM order_lines GROUP BY order_id ORDER BY COUNT(*) DESC, order_id")[0]
    view = ctx.client.get(f"ordersview.php?key={oid}")
    m = re.search(r'<a href="([^"]*order_lineslist[^"]*)">Order Lines</a> <span class="tw-badge">(\d+)</span>', view.text)
    assert m and int(m.group(2)) == int(n), "detail link with the line count"
    detail = ctx.client.get(html.unescape(m.group(1)))
    assert record_count(detail.text)[2] == int(n) and "Master record: Orders" in detail.text
    assert f'name="fk_x_order_id" value="{oid}"' in detail.text, "searching a detail list keeps its master"
    add = ctx.client.get(link_with(detail.text, text="Add record"))
    assert form_values(add.text, "tw_form_add")["x_order_id"] == str(oid), "a new detail record starts with the master key"
    # self-reference: direct reports of the chief executive
    reports = count(ctx, "employees", "WHERE reports_to = ?", (1,))
    r = ctx.client.get("employeeslist.php?master=employees&fk_x_reports_to=1")
    assert record_count(r.text)[2] == reports and reports > 0
    r = ctx.client.get("employeeslist.php?master=nonsense&fk_x_reports_to=1")
    assert "not valid" in r.text


@T
def lookup_values_are_shown_by_name(ctx):
    pid, cat = ctx.db.rows("SELECT p.product_id, c.category_name FROM products p JOIN categories c "
                           "ON c.category_id = p.category_id ORDER BY p.product_id")[0]
    view = ctx.client.get(f"productsview.php?key={pid}")
    cell = re.search(r'id="tw_view_x_category_id">(.*?)</td>', view.text, re.S).group(1)
    assert strip(re.sub(r"<[^>]+>", "", cell)) == cat, "the category is shown by its name"
    edit = ctx.client.get(f"productsedit.php?key={pid}")
    assert f">{html.escape(cat, quote=True)}</option>" in edit.text


# ---- files and pictures ---------------------------------------------------------------

@T
def blob_pictures_upload_and_show(ctx):
    cid = ctx.db.rows("SELECT category_id FROM categories WHERE picture IS NOT NULL ORDER BY category_id")[0][0]
    view = ctx.client.get(f"categoriesview.php?key={cid}")
    src = html.unescape(re.search(r'<img class="tw-image" src="([^"]+)"', view.text).group(1))
    img = ctx.client.get(src)
    stored = bytes.fromhex(ctx.db.rows("SELECT HEX(picture) FROM categories WHERE category_id = ?", (cid,))[0][0])
    assert img.header("Content-Type") == "image/png" and img.raw == stored
    edit = ctx.client.get(f"categoriesedit.php?key={cid}")
    form = form_values(edit.text, "tw_form_edit")
    picture = png((10, 200, 30))
    form["a_x_picture"] = "replace"
    r = ctx.client.post(f"categoriesedit.php?key={cid}", form, files=[("x_picture", "green.png", picture)])
    assert r.status == 303, f"upload: {r.status}"
    hexed = ctx.db.rows("SELECT HEX(picture) FROM categories WHERE category_id = ?", (cid,))[0][0]
    assert bytes.fromhex(hexed) == picture
    for name, content, message in (("evil.php", b"<?php echo 1;", "not accepted"),
                                   ("fake.png", b"not an image at all", "is not an image"),
                                   ("big.png", png((1, 2, 3), 300) + b"\0" * 120000, "larger than")):
        r = ctx.client.post(f"categoriesedit.php?key={cid}", form, files=[("x_picture", name, content)])
        assert r.status == 200 and message in r.text, f"{name}: {message}"
    assert bytes.fromhex(ctx.db.rows("SELECT HEX(picture) FROM categories WHERE category_id = ?", (cid,))[0][0]) == picture
    form["a_x_picture"] = "remove"
    assert ctx.client.post(f"categoriesedit.php?key={cid}", form).status == 303
    assert ctx.db.rows("SELECT picture FROM categories WHERE category_id = ?", (cid,)) == [(None,)]


@T
def file_uploads_get_generated_names(ctx):
    page = ctx.client.get("employeesadd.php")
    form = form_values(page.text, "tw_form_add")
    form.update({"x_first_name": "Foto", "x_last_name": "Grafer", "x_login": "fotografer"})
    picture = png((200, 100, 0))
    key = new_key(ctx.client.post("employeesadd.php", form, files=[("x_photo_file", "../../my photo.png", picture)]))
    stored = ctx.db.rows("SELECT photo_file FROM employees WHERE employee_id = ?", (int(key),))[0][0]
    assert re.fullmatch(r"[0-9a-f]{32}\.png", stored), f"stored name {stored}"
    path = os.path.join(ctx.app, "uploads", stored)
    with open(path, "rb") as f:
        assert f.read() == picture
    assert ctx.client.get("uploads/" + stored).status == 404, "stored files are sent by the pages only"
    got = ctx.client.get(f"employeesview.php?key={key}&file=x_photo_file")
    assert got.raw == picture and got.header("Content-Type") == "image/png"
    page = ctx.client.get(f"employeesdelete.php?key={key}")
    ctx.client.post("employeesdelete.php", {"tw_token": token(page.text), "keys[]": key, "confirm": "1"})
    assert not os.path.exists(path), "deleting the record removes its stored file"


# ---- exports, report, errors -------------------------------------------------------------

@T
def exports(ctx):
    rows = ctx.db.rows("SELECT company_name, contact_name, city FROM customers")
    expected = sum(1 for r in rows if any(casefold_contains(v, "Zürich") for v in r))
    q = urlq({"psearch": "Zürich"})
    r = ctx.client.get("customerslist.php?export=csv&" + q)
    assert r.header("Content-Type").startswith("text/csv")
    table = list(csv.reader(io.StringIO(r.text)))
    assert table[0][:3] == ["Customer ID", "Company Name", "Contact Name"] and len(table) == expected + 1
    assert all("Zürich" in " ".join(line) for line in table[1:])
    r = ctx.client.get("customerslist.php?export=xml&" + q)
    root = ET.fromstring(r.raw)
    assert root.tag == "table" and len(root.findall("row")) == expected
    assert root.find("row/company_name") is not None
    for kind, mime in (("excel", "application/vnd.ms-excel"), ("word", "application/msword"), ("html", "text/html")):
        r = ctx.client.get(f"customerslist.php?export={kind}&" + q)
        assert r.header("Content-Type").startswith(mime) and r.text.count("<tr>") == expected + 1, kind
    r = ctx.client.get("order_summarylist.php?export=word")
    assert r.status == 404, "an export the table does not offer is refused"
    key = new_key(add_customer(ctx, company_name="=HYPERLINK(\"http://x\")", city="Formula"))
    r = ctx.client.get("customerslist.php?export=csv&" + urlq({"psearch": "Formula"}))
    line = list(csv.reader(io.StringIO(r.text)))[1]
    assert line[0] == key and line[1] == "'=HYPERLINK(\"http://x\")", "texts that look like formulas are defused"


@T
def report_groups_and_totals(ctx):
    r = ctx.client.get("orders_by_statusreport.php")
    assert r.status == 200
    statuses = ctx.db.rows("SELECT status, COUNT(*) FROM order_summary GROUP BY status ORDER BY status")
    for status, n in statuses:
        assert re.search(r"Status: <strong>" + status + "</strong>", r.text), f"no group for {status}"
        assert f"Summary for {status} (Count: {n})" in r.text
    total = float(ctx.db.rows(f"SELECT SUM({ctx.db.qi('Total Amount')}) FROM order_summary")[0][0])
    grand = r.text.split("Grand total", 1)[1]
    sums = [money(strip(v)) for v in re.findall(r'data-agg="sum">([^<]+)<', grand)]
    lines = count(ctx, "order_lines")
    assert len(sums) == 2 and sums[0] == lines, f"grand total of the line counts {sums} vs {lines}"
    assert abs(sums[1] - total) < 0.01, f"grand total {sums[1]} vs {total}"
    assert len(re.findall(r'<tr class="tw-row">', r.text)) == count(ctx, "order_summary")
    svg = re.search(r'<figure class="tw-chart" data-chart="amount_by_status">.*?</figure>', r.text, re.S).group(0)
    assert len(re.findall(r'<rect class="tw-bar"', svg)) == len(statuses)
    ET.fromstring(re.search(r"<svg.*</svg>", svg, re.S).group(0))  # well-formed SVG
    pie = re.search(r'data-chart="orders_by_status">.*?</figure>', r.text, re.S).group(0)
    assert len(re.findall(r'class="tw-slice"', pie)) == len(statuses)


@T
def report_with_two_group_levels(ctx):
    r = ctx.client.get("products_by_categoryreport.php")
    assert r.status == 200
    rows = ctx.db.rows("SELECT c.category_name, p.discontinued, p.units_in_stock, p.unit_price FROM products p "
                       "JOIN categories c ON c.category_id = p.category_id")
    groups = {}
    for cat, disc, stock, price in rows:
        groups.setdefault(cat, []).append((disc, int(stock), float(price)))
    # the page split at each first-level group header
    parts = re.split(r'<tr class="tw-group tw-group-1"><td[^>]*>Category: <strong>(.*?)</strong></td></tr>', r.text)
    shown = {html.unescape(parts[i]): parts[i + 1] for i in range(1, len(parts), 2)}
    assert set(shown) == set(groups), "one group per category that has products"
    for cat, items in groups.items():
        part = shown[cat]
        assert len(re.findall(r'<tr class="tw-row">', part)) == len(items), f"{cat}: detail rows"
        for flag, label in (("Y", "Yes"), ("N", "No")):
            n = sum(1 for i in items if i[0] == flag)
            has = f"Discontinued: <strong>{label}</strong>" in part
            assert has == (n > 0), f"{cat}: second-level group {label}"
            if n:
                assert f"Summary for {label} (Count: {n})" in part, f"{cat}/{label}: count {n}"
        assert f"Summary for {cat} (Count: {len(items)})" in html.unescape(part), f"{cat}: summary"
        level1 = "".join(re.findall(r'<tr class="tw-summary tw-summary-1 tw-agg-row">(.*?)</tr>', part, re.S))
        stock = re.findall(r'data-agg="sum">(.*?)</td>', level1)
        assert len(stock) == 1 and int(stock[0].replace(",", "")) == sum(i[1] for i in items), f"{cat}: stock sum {stock}"
        low = [strip(c) for c in re.findall(r'data-agg="min">(.*?)</td>', level1)]
        assert money(low[0]) == min(i[2] for i in items), f"{cat}: lowest price {low}"


def strip(s):
    return html.unescape(s).strip()


@T
def error_pages_hide_internals(ctx):
    r = ctx.client.get("customersview.php?key=999999")
    assert r.status == 404 and "Record not found" in r.text
    r = ctx.client.get("customersview.php?key=1,2")
    assert r.status == 404
    # only public/ is served: the settings, the runtime, the page top and
    # bottom, the router, uploads and dot files answer 404 without running
    for page in ("config.php", "config.local.php", "customersinfo.php", "info/customersinfo.php", "lib/db.php",
                 "lib/app.php", "header.php", "router.php", "DEPLOY.md", "uploads/", "public/index.php",
                 "../config.php", "%2e%2e/config.php", "assets/../../config.php", ".htaccess", "assets/.x"):
        r = ctx.client.get(page)
        assert r.status == 404 and "<?php" not in r.text and "'db'" not in r.text, f"{page}: {r.status}"
    assert ctx.client.get("assets/tarnwick.css").status == 200
    ctx.db.execute("ALTER TABLE order_lines RENAME TO order_lines_away")
    try:
        r = ctx.client.get("order_lineslist.php")
    finally:
        ctx.db.execute("ALTER TABLE order_lines_away RENAME TO order_lines")
    assert r.status == 500 and "could not be completed" in r.text
    for leak in ("SQLSTATE", "SELECT", "order_lines", "PDO", "#0 ", ".php:"):
        assert leak not in r.text.split('<main class="tw-main">')[-1], f"error page shows {leak!r}"
    assert "tarnwick [" in ctx.server.log_text(), "the details go to the server log"
    assert ctx.client.get("order_lineslist.php").status == 200


@T
def security_headers(ctx):
    r = ctx.client.get("customerslist.php")
    assert r.header("X-Content-Type-Options") == "nosniff" and r.header("X-Frame-Options") == "DENY"
    assert "script-src 'self'" in r.header("Content-Security-Policy")
    cookie = Client(ctx.base).get("login.php").header("Set-Cookie")
    assert "HttpOnly" in cookie and "SameSite=Lax" in cookie


@T
def keys_typed_in_leave_the_numbering_going(ctx):
    """A record stored with its numbered key given (an import, a copy) tells
    its key, and the next record the database numbers comes after it."""
    top = int(ctx.db.rows("SELECT MAX(category_id) FROM categories")[0][0])
    script = ("require 'lib/db.php';"
              "$db = new Tarnwick\\Db((require 'config.local.php')['db'], getcwd());"
              f"$db->insert('categories', ['category_id' => {top + 10}, 'category_name' => 'Typed key'],"
              " 'category_id');"
              "echo $db->lastId(), ' ';"
              "$db->insert('categories', ['category_name' => 'Numbered after it'], 'category_id');"
              "echo $db->lastId();")
    try:
        r = subprocess.run(["php", "-r", script], cwd=ctx.app, capture_output=True, text=True, timeout=60)
        assert r.returncode == 0, r.stderr + r.stdout
        assert r.stdout.split() == [str(top + 10), str(top + 11)], r.stdout
    finally:
        ctx.db.execute(f"DELETE FROM categories WHERE category_id > {top}")
