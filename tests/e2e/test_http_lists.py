"""HTTP tests of the sample application's list pages: the default page, row
counts, paging, sorting, searching, custom views, and query text that
must stay plain text."""
import html
import re

import e2e_lib as lib
from e2e_lib import column_index, header_link, link_with, list_rows, money, record_count, row_keys
from http_common import T, TABLES, CAPTIONS, count, add_customer, new_key, casefold_contains, casefold_starts, urlq


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
