"""HTTP tests of the sample application's exports, reports, error pages,
security headers and keys typed in."""
import csv
import html
import io
import re
import subprocess
import xml.etree.ElementTree as ET

from e2e_lib import Client, money
from http_common import T, count, add_customer, new_key, casefold_contains, urlq, strip


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
    assert r.header("Content-Security-Policy").endswith("frame-ancestors 'none'")
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
