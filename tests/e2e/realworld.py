"""The application on databases shaped like those found in the wild, beside
the sample: a MariaDB members database (SET, ENUM, tinyint(1), bit(1),
unsigned, year, json, defaults the database fills in, NOT NULL texts holding
empty strings, a lookup table larger than a form offers at once, bcrypt
passwords), an SQLite database whose columns are all TEXT, whose views
have untyped columns and whose accounts keep legacy SHA-1/MD5 hashes, and a
PostgreSQL database of the types PostgreSQL users keep (realworld_postgres.py).

The property over whole tables: opening every row's edit form and saving it
unchanged leaves every row of the database identical."""
import csv
import hashlib
import html
import io
import json
import os
import random
import re
import urllib.parse

import realworld_postgres
from e2e_lib import Client, Suite, form_values, list_rows, record_count, row_keys, token

suite = Suite("realworld")
T = suite.test

CITIES = 2500  # more than any page of choices a form shows
MEMBERS = 40
PASSWORD = "members-only-1"
REPORT_MAX_ROWS = 1000

MARIADB_DESCRIPTION = """
name "Members"
project SecType=Table SecTbl=members SecLoginIDFld=login SecPasswdFld=pass_hash
project ExportCsv=True RecPerPage=20 RecPerPageList=10,20,50,ALL
field members city_id FldHtmlTag=SELECT FldTagLnkTbl=cities FldTagLnkFld=city_id FldTagLnkDisplay=name
field members balance FldFmtType=Currency FldNumDigits=2
# every row of cities costs a moment to read, as on a large table: a count can run out of time
table cities "TblFilter=SLEEP(0.00001) = 0"
field members photo FldGenerate=True FldView=True FldEdit=True FldAdd=True FldList=True FldViewTag=IMAGE
report cities_by_region cities
field cities_by_region region FldGroupBy=1
field cities_by_region population FldRptAggSum=True
"""

SQLITE_DESCRIPTION = """
name "People"
project SecType=Table SecTbl=accounts SecLoginIDFld=username SecPasswdFld=pw
project ExportCsv=True RecPerPage=20 RecPerPageList=10,20,50,ALL
# a view that lists no field at all still lists and exports its rows
field people_mail code FldList=False
field people_mail mail FldList=False
"""

# Columns compared before and after saving, as each engine's client shows them.
MARIADB_SNAPSHOT = {
    "members": "member_id, login, pass_hash, nickname, interests, level, newsletter, verified + 0, points, born_year, "
               "prefs, city_id, created_at, last_seen, note, balance, ratio, HEX(photo)",
    "cities": "city_id, name, region, population",
}
SQLITE_SNAPSHOT = {
    "people": "code, typeof(code), name, email, joined, notes, score, typeof(score), title, status",
    "accounts": "username, pw, role",
}


def sql_text(v):
    if v is None:
        return "NULL"
    if isinstance(v, (int, float)):
        return repr(v)
    return "'" + str(v).replace("\\", "\\\\").replace("'", "''") + "'"


def mariadb_schema():
    rnd = random.Random(14)
    regions = ["North", "South", "East", "West", "Centre"]
    out = ["""
CREATE TABLE cities (
  city_id INT UNSIGNED AUTO_INCREMENT PRIMARY KEY,
  name VARCHAR(60) NOT NULL,
  region VARCHAR(40) NOT NULL DEFAULT '',
  population INT UNSIGNED NOT NULL DEFAULT 0
) ENGINE=InnoDB;
CREATE TABLE members (
  member_id INT UNSIGNED AUTO_INCREMENT PRIMARY KEY,
  login VARCHAR(40) NOT NULL UNIQUE,
  pass_hash VARCHAR(255) NOT NULL,
  nickname VARCHAR(40) NOT NULL,
  interests SET('books','music','sport','travel','games') NOT NULL DEFAULT '',
  level ENUM('bronze','silver','gold') NOT NULL DEFAULT 'bronze',
  newsletter TINYINT(1) NOT NULL DEFAULT 0,
  verified BIT(1) NOT NULL DEFAULT b'0',
  points INT UNSIGNED NOT NULL DEFAULT 0,
  born_year YEAR NULL,
  prefs JSON NULL,
  city_id INT UNSIGNED NULL,
  created_at DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,
  last_seen TIMESTAMP NULL DEFAULT NULL,
  note TEXT NULL,
  balance DECIMAL(10,2) NOT NULL DEFAULT 0.00,
  ratio DOUBLE NULL,
  photo MEDIUMBLOB NULL,
  FOREIGN KEY (city_id) REFERENCES cities (city_id)
) ENGINE=InnoDB;
"""]
    rows = []
    for i in range(1, CITIES + 1):
        rows.append(f"({i}, {sql_text('%s %04d' % (rnd.choice(['Aber', 'Bex', 'Cor', 'Dun', 'Elm']), i))}, "
                    f"{sql_text(rnd.choice(regions))}, {rnd.randint(100, 90000)})")
    out.append("INSERT INTO cities VALUES " + ",\n".join(rows) + ";")
    # the last city by name, far beyond the first page of choices
    out.append(f"UPDATE cities SET name = 'Zwolle Last' WHERE city_id = {CITIES - 7};")
    members = []
    sets = ["", "books", "books,travel", "music,sport,games", "books,music,sport,travel,games"]
    for i in range(1, MEMBERS + 1):
        bcrypt = None  # filled in by the caller with a real hash
        members.append([i, f"member{i:02d}", bcrypt, "" if i % 3 == 0 else f"Nick {i}", sets[i % len(sets)],
                        ["bronze", "silver", "gold"][i % 3], i % 2, (i // 2) % 2, rnd.randint(0, 4000000000),
                        None if i % 4 == 0 else 1950 + i, None if i % 5 == 0 else json.dumps({"theme": "dark", "n": i}),
                        None if i % 6 == 0 else (CITIES - 7 if i == 1 else rnd.randint(1, CITIES)),
                        f"2024-0{1 + i % 9}-1{i % 10} 1{i % 10}:2{i % 10}:3{i % 10}",
                        None if i % 2 else f"2025-01-0{1 + i % 9} 08:15:00",
                        ["", None, "one line", "two\nlines", "  padded  "][i % 5],
                        f"{rnd.randint(0, 99999)}.{rnd.randint(0, 99):02d}",
                        None if i % 3 == 1 else [0.1, 1 / 3, 12345.678901234567, 1e-7][i % 4]])
    return "".join(out), members


def member_inserts(members, hash_of):
    cols = ("member_id, login, pass_hash, nickname, interests, level, newsletter, verified, points, born_year, prefs, "
            "city_id, created_at, last_seen, note, balance, ratio")
    values = []
    for m in members:
        m = list(m)
        m[2] = hash_of(m[1])
        vals = [sql_text(v) for v in m]
        vals[7] = f"b'{m[7]}'"
        values.append("(" + ", ".join(vals) + ")")
    return f"INSERT INTO members ({cols}) VALUES " + ",\n".join(values) + ";"


def sqlite_schema(bcrypt):
    rnd = random.Random(6)
    out = ["""
CREATE TABLE people (code TEXT PRIMARY KEY, name TEXT NOT NULL, email TEXT, joined TEXT, notes TEXT, score TEXT,
  title TEXT NOT NULL DEFAULT '', status TEXT NOT NULL DEFAULT 'active');
CREATE TABLE accounts (username TEXT PRIMARY KEY, pw TEXT NOT NULL, role TEXT NOT NULL DEFAULT 'user');
CREATE VIEW people_stats AS SELECT substr(name, 1, 1) AS initial, count(*) AS members, max(joined) AS last_joined
  FROM people GROUP BY substr(name, 1, 1);
CREATE VIEW people_mail AS SELECT code, lower(email) || '' AS mail FROM people;
"""]
    rows = []
    for i in range(1, 61):
        rows.append("(" + ", ".join(sql_text(v) for v in (
            f"P{i:03d}", rnd.choice(["Ada", "Bo", "Cy", "Di"]) + f" Person {i}",
            None if i % 7 == 0 else f"p{i}@example.org", f"2023-{1 + i % 12:02d}-{1 + i % 28:02d}",
            ["", None, "a note", "line one\nline two", "x" * 300][i % 5], None if i % 4 == 0 else str(i * 3))) + ")")
    out.append("INSERT INTO people (code, name, email, joined, notes, score) VALUES " + ",\n".join(rows) + ";")
    # legacy accounts: hex SHA-1 and MD5 of the password
    out.append("INSERT INTO accounts VALUES "
               f"('sha1user', '{hashlib.sha1(PASSWORD.encode()).hexdigest()}', 'admin'), "
               f"('md5user', '{hashlib.md5(PASSWORD.encode()).hexdigest().upper()}', ''), "
               f"('other', '{hashlib.sha1(b'something else').hexdigest()}', 'user'), "
               f"('admin', '{bcrypt}', 'admin');")
    return "".join(out)


def write_local_config(app, db, sessions, legacy=False, count_ms=0, count_rows=0):
    from e2e_lib import php_literal
    lines = ["<?php", "return ["]
    lines.append("    'db' => [" + ", ".join(f"'{k}' => {php_literal(v)}" for k, v in db.items()) + "],")
    lines.append(f"    'app' => ['session_path' => {php_literal(sessions)}, 'report_max_rows' => {REPORT_MAX_ROWS}],")
    lines.append(f"    'security' => ['legacy_hashes' => {php_literal(legacy)}],")
    lines.append(f"    'list' => ['count_time_limit' => {count_ms!r}, 'count_limit' => {count_rows!r}],")
    lines.append("];")
    with open(os.path.join(app, "config.local.php"), "w") as f:
        f.write("\n".join(lines) + "\n")


def snapshot(ctx, table):
    cols = ctx.snapshot[table]
    key = cols.split(",")[0]
    return ctx.db.rows(f"SELECT {cols} FROM {ctx.db.qi(table)} t ORDER BY {key}")


def page(ctx, table, kind):
    """The page of a table: the table's variable name, then list, edit, view, add."""
    return ctx.pages.get(table, table) + kind + ".php"


# ---- the property: an unchanged save changes nothing -------------------------------

@T
def saving_every_row_unchanged_keeps_the_database(ctx):
    for table in ctx.snapshot:
        if table == "cities":
            continue  # the lookup table: its rows are many, its columns plain
        before = snapshot(ctx, table)
        listing = ctx.client.get(page(ctx, table, "list") + "?recperpage=ALL")
        keys = row_keys(listing.text)
        assert len(keys) == len(before), f"{table}: {len(keys)} rows listed of {len(before)}"
        refused = []
        for k in keys:
            url = page(ctx, table, "edit") + f"?key={urllib.parse.quote(k, safe=',')}"
            form = form_values(ctx.client.get(url).text, "tw_form_edit")
            r = ctx.client.post(url, list(form_items(form)))
            if r.status != 303:
                refused.append((k, re.findall(r'<div class="tw-field-error">(.*?)</div>', r.text)))
        assert not refused, f"{table}: saves refused {refused[:5]}"
        after = snapshot(ctx, table)
        changed = [(b, a) for b, a in zip(before, after) if b != a]
        assert not changed and len(after) == len(before), f"{table}: rows changed {changed[:3]}"


def form_items(form):
    """The fields a form sends: each checked box of a group (name[]) on its own."""
    for name, value in form.items():
        for v in (value if isinstance(value, list) else [value]):
            yield name, v


# ---- MariaDB: types, choices, defaults, lookups -------------------------------------

def maria_only(ctx):
    return ctx.engine == "mariadb"


@T
def set_and_enum_columns_keep_their_members(ctx):
    if not maria_only(ctx):
        return
    # a member holding two members of the set, one holding none
    cases = [("books,travel", ["music", "games"], "music,games"), ("", ["books", "music", "sport", "travel", "games"],
             "books,music,sport,travel,games"), ("music,sport,games", [], "")]
    for stored, choose, saved in cases:
        mid = ctx.db.rows("SELECT member_id FROM members WHERE interests = ? ORDER BY member_id", (stored,))[0][0]
        url = f"membersedit.php?key={mid}"
        text = ctx.client.get(url).text
        boxes = re.findall(r'<input type="checkbox" name="x_interests\[\]" value="([^"]*)"( checked)?>', text)
        assert [b[0] for b in boxes] == ["books", "music", "sport", "travel", "games"], f"one box per member: {boxes}"
        assert [b[0] for b in boxes if b[1]] == [m for m in stored.split(",") if m], f"{stored!r}: checked {boxes}"
        radios = re.findall(r'<input type="radio" name="x_level" value="([^"]*)"', text)
        assert radios == ["bronze", "silver", "gold"], f"an enumeration is one choice: {radios}"
        form = form_values(text, "tw_form_edit")
        items = [(k, v) for k, v in form_items(form) if k != "x_interests[]"] + [("x_interests[]", c) for c in choose]
        r = ctx.client.post(url, items)
        assert r.status == 303, re.findall(r'tw-field-error">(.*?)<', r.text)
        assert ctx.db.rows("SELECT interests FROM members WHERE member_id = ?", (mid,)) == [(saved,)]
    mid = ctx.db.rows("SELECT member_id FROM members ORDER BY member_id")[0][0]
    form = form_values(ctx.client.get(f"membersedit.php?key={mid}").text, "tw_form_edit")
    before = ctx.db.rows("SELECT interests FROM members WHERE member_id = ?", (mid,))
    r = ctx.client.post(f"membersedit.php?key={mid}", list(form_items(form)) + [("x_interests[]", "cooking")])
    assert r.status == 200 and "please choose one of the offered values" in r.text, "a value not in the set is refused"
    assert ctx.db.rows("SELECT interests FROM members WHERE member_id = ?", (mid,)) == before


@T
def columns_with_a_database_default_are_optional_on_add(ctx):
    if not maria_only(ctx):
        return
    add = ctx.client.get("membersadd.php").text
    form = form_values(add, "tw_form_add")
    for var in ("x_created_at", "x_points", "x_balance"):
        tag = re.search(r'<input[^>]*name="' + var + '"[^>]*>', add).group(0)
        assert " required" not in tag, f"{var} has a default of the database: {tag}"
    form.update({"x_login": "fresh", "x_pass_hash": "a-new-password", "x_nickname": "Fresh",
                 "x_created_at": "", "x_points": "", "x_balance": ""})
    form.pop("x_interests[]", None)
    r = ctx.client.post("membersadd.php", list(form_items(form)))
    assert r.status == 303, re.findall(r'tw-field-error">(.*?)<', r.text)
    row, = ctx.db.rows("SELECT points, balance, created_at > NOW() - INTERVAL 1 HOUR, interests, level FROM members "
                       "WHERE login = 'fresh'")
    assert row == ("0", "0.00", "1", "", "bronze"), row


@T
def not_null_texts_with_a_default_may_be_left_empty_on_add(ctx):
    if ctx.engine != "sqlite":
        return
    add = ctx.client.get("peopleadd.php").text
    for var, value in (("x_title", ""), ("x_status", "active")):
        tag = re.search(r'<input[^>]*name="' + var + '"[^>]*>', add).group(0)
        assert " required" not in tag, f"{var} has a default of the database: {tag}"
        assert f'value="{value}"' in tag or (value == "" and "value=" not in tag), f"{var} offers {value!r}: {tag}"
    cases = [("N001", "active", ("", "active")), ("N002", "", ("", "active")), ("N003", "retired", ("", "retired"))]
    for code, status, stored in cases:
        form = form_values(add, "tw_form_add")
        form.update({"x_code": code, "x_name": "New Person", "x_title": "", "x_status": status})
        r = ctx.client.post("peopleadd.php", list(form_items(form)))
        assert r.status == 303, f"{code}: " + str(re.findall(r'tw-field-error">(.*?)<', r.text))
        assert ctx.db.rows("SELECT title, status FROM people WHERE code = ?", (code,)) == [stored], code
    # a text left empty on the edit form is the empty text, not a missing value
    url = "peopleedit.php?key=N003"
    form = form_values(ctx.client.get(url).text, "tw_form_edit")
    form["x_status"] = ""
    r = ctx.client.post(url, list(form_items(form)))
    assert r.status == 303, re.findall(r'tw-field-error">(.*?)<', r.text)
    assert ctx.db.rows("SELECT title, status FROM people WHERE code = 'N003'") == [("", "")]
    ctx.db.execute("DELETE FROM people WHERE code IN ('N001', 'N002', 'N003')")


@T
def lookups_offer_the_current_value_and_search_every_row(ctx):
    if not ctx.lookup:
        return
    # the edit page of a row whose lookup value lies far beyond the first choices
    url, var, table, rows, far = (ctx.lookup[k] for k in ("edit", "var", "table", "rows", "far"))
    text = ctx.client.get(url).text
    select = re.search(r'<select id="tw_' + var + '"[^>]*>(.*?)</select>', text, re.S).group(1)
    options = re.findall(r'<option value="(\d+)"( selected)?>', select)
    assert (str(far), " selected") in options, "the stored value is offered and chosen"
    assert len(options) < rows, "a large table is not sent whole"
    search = re.search(r'<input type="search" class="tw-lookup-search"[^>]*data-url="([^"]*)"', text)
    assert search, "a large lookup is searched by typing"
    endpoint = html.unescape(search.group(1))

    def ask(client, q, pageno=0, endpoint=endpoint):
        return client.get(endpoint + "&" + urllib.parse.urlencode({"q": q, "page": pageno}))

    cases = [("Zwolle", {str(far)}, False), ("zWOLLE", {str(far)}, False), ("0007", {"7"}, False), ("%", set(), False),
             (f"'; DROP TABLE {table}; --", set(), False)]
    for q, expected, more in cases:
        r = ask(ctx.client, q)
        assert r.status == 200 and r.header("Content-Type").startswith("application/json"), f"{q}: {r.status}"
        data = json.loads(r.text)
        assert {i["value"] for i in data["items"]} == expected and data["more"] == more, f"{q}: {data}"
    # paged: every city is reached page by page, none twice
    seen, pageno = [], 0
    while True:
        data = json.loads(ask(ctx.client, "", pageno).text)
        seen += [i["value"] for i in data["items"]]
        if not data["more"]:
            break
        pageno += 1
    assert len(seen) == rows and len(set(seen)) == rows, f"{len(seen)} choices over {pageno + 1} pages"
    # the session's token and a login are needed
    assert ask(ctx.client, "Zwolle", endpoint=endpoint.replace("tw_token=", "tw_token=0")).status == 404
    assert ask(Client(ctx.base), "Zwolle").status in (303, 404)
    count = int(ctx.db.rows(f"SELECT COUNT(*) FROM {table}")[0][0])
    assert count == rows, "the search changed nothing"


@T
def empty_texts_of_not_null_columns_are_saved_again(ctx):
    if not maria_only(ctx):
        return
    mid = ctx.db.rows("SELECT member_id FROM members WHERE nickname = '' ORDER BY member_id")[0][0]
    url = f"membersedit.php?key={mid}"
    form = form_values(ctx.client.get(url).text, "tw_form_edit")
    assert form["x_nickname"] == ""
    form["x_points"] = "17"
    r = ctx.client.post(url, list(form_items(form)))
    assert r.status == 303, re.findall(r'tw-field-error">(.*?)<', r.text)
    assert ctx.db.rows("SELECT nickname, points FROM members WHERE member_id = ?", (mid,)) == [("", "17")]


@T
def the_password_column_is_never_shown_and_set_only_when_typed(ctx):
    table, key_col, login_col, pw_col, login = ctx.login_table
    hashes = [r[0] for r in ctx.db.rows(f"SELECT {pw_col} FROM {table}")]
    pages = [f"{table}list.php?recperpage=ALL", f"{table}list.php?export=csv"]
    keys = row_keys(ctx.client.get(pages[0]).text)
    pages.append(f"{table}view.php?key={urllib.parse.quote(keys[0], safe=',')}")
    for p in pages:
        text = ctx.client.get(p).text
        leaked = [h for h in hashes if h and h in text]
        assert not leaked, f"{p} shows password hashes"
    key = ctx.db.rows(f"SELECT {key_col} FROM {table} WHERE {login_col} = ?", (login,))[0][0]
    url = f"{table}edit.php?key={urllib.parse.quote(str(key), safe='')}"
    text = ctx.client.get(url).text
    tag = re.search(r'<input[^>]*name="x_' + pw_col + '"[^>]*>', text).group(0)
    assert 'type="password"' in tag and "value=" not in tag, tag
    old = ctx.db.rows(f"SELECT {pw_col} FROM {table} WHERE {key_col} = ?", (key,))
    form = form_values(text, "tw_form_edit")
    form["x_" + pw_col] = "brand-new-secret"
    assert ctx.client.post(url, list(form_items(form))).status == 303
    new, = ctx.db.rows(f"SELECT {pw_col} FROM {table} WHERE {key_col} = ?", (key,))[0]
    assert new != old[0][0] and new.startswith("$2y$") and "brand-new-secret" not in new, "a typed password is hashed"
    fresh = Client(ctx.base)
    fresh.login(login, "brand-new-secret")
    assert fresh.get(f"{table}list.php").status == 200, "the new password logs in"


@T
def exports_carry_raw_values_and_date_times_show_their_time(ctx):
    if not maria_only(ctx):
        return
    r = ctx.client.get("memberslist.php?export=csv&sort=x_member_id")
    table = list(csv.reader(io.StringIO(r.text)))
    head = table[0]
    db = ctx.db.rows("SELECT member_id, balance, created_at FROM members ORDER BY member_id")
    head = [h.lower() for h in head]
    got = [tuple(line[head.index(c)] for c in ("member id", "balance", "created at")) for line in table[1:]]
    assert got == db, f"raw values: {got[:2]} vs {db[:2]}"
    listing = ctx.client.get("memberslist.php?sort=x_member_id").text
    first = db[0][2]  # 2024-..-.. hh:mm:ss
    assert first[11:] in listing, f"the list shows the time {first[11:]}"
    view = ctx.client.get("membersview.php?key=1").text
    assert first[11:] in view, "the view page shows the time"


@T
def a_null_picture_shows_no_image(ctx):
    if not maria_only(ctx):
        return
    for mid, has in ((1, False),):
        text = ctx.client.get(f"membersedit.php?key={mid}").text
        assert ('<img class="tw-thumb"' in text) == has, "a NULL picture shows no image"
    # and a stored one does
    from http_common import png
    ctx.db.execute(f"UPDATE members SET photo = X'{png((200, 10, 10)).hex()}' WHERE member_id = 2")
    text = ctx.client.get("membersedit.php?key=2").text
    src = html.unescape(re.search(r'<img class="tw-thumb" src="([^"]+)"', text).group(1))
    assert ctx.client.get(src).raw.startswith(b"\x89PNG")


@T
def reports_total_every_row_and_say_when_they_list_fewer(ctx):
    if not maria_only(ctx):
        return
    r = ctx.client.get("cities_by_regionreport.php")
    assert r.status == 200
    assert f"lists the first {REPORT_MAX_ROWS} of {CITIES} rows" in r.text, "a report that stops says so"
    assert len(re.findall(r'<tr class="tw-row">', r.text)) == REPORT_MAX_ROWS
    groups = ctx.db.rows("SELECT region, COUNT(*), SUM(population) FROM cities GROUP BY region ORDER BY region")
    for region, n, total in groups:
        m = re.search(r"Summary for " + region + r" \(Count: (\d+)\)</td></tr><tr[^>]*>(.*?)</tr>", r.text, re.S)
        assert m and int(m.group(1)) == int(n), f"{region}: every group, counted over all rows"
        sums = re.findall(r'data-agg="sum">([^<]+)<', m.group(2))
        assert int(sums[0].replace(",", "")) == int(total), f"{region}: {sums} vs {total}"
    grand = r.text.split("Grand total", 1)[1]
    total = sum(int(g[2]) for g in groups)
    assert int(re.findall(r'data-agg="sum">([^<]+)<', grand)[0].replace(",", "")) == total


@T
def deep_pages_sorted_descending_hold_the_right_rows(ctx):
    if not maria_only(ctx):
        return
    # pages of the second half are read from the other end
    cases = [("-x_name", "name DESC, city_id DESC", 60), ("x_region", "region ASC, city_id ASC", 7),
             ("-x_city_id", "city_id DESC", 125), ("-x_name", "name DESC, city_id DESC", 100),
             ("x_region", "region ASC, city_id ASC", 90), ("", "city_id ASC", 124)]
    for sort, order, pageno in cases:
        text = ctx.client.get(f"citieslist.php?sort={sort}&pageno={pageno}").text
        expected = [r[0] for r in ctx.db.rows(f"SELECT city_id FROM cities ORDER BY {order} LIMIT 20 OFFSET ?",
                                              ((pageno - 1) * 20,))]
        assert row_keys(text) == expected, f"{sort} page {pageno}"
        assert record_count(text) == ((pageno - 1) * 20 + 1, pageno * 20, CITIES)


@T
def a_count_that_takes_too_long_leaves_the_total_out(ctx):
    if not maria_only(ctx):
        return
    ctx.count_limit(0.001)  # milliseconds: no count finishes in time
    try:
        text = ctx.client.get("citieslist.php?sort=-x_name&pageno=3").text
        expected = [r[0] for r in ctx.db.rows("SELECT city_id FROM cities ORDER BY name DESC, city_id DESC LIMIT 20 OFFSET 40")]
        assert row_keys(text) == expected, "the page's rows without a count"
        assert "Records 41 to 60 (not counted" in text, re.findall(r'tw-count">(.*?)<', text)
        nxt = html.unescape(re.search(r'<a href="([^"]*)" rel="next"', text).group(1))
        assert "pageno=4" in nxt and re.search(r'rel="prev"', text), "previous and next pages stay reachable"
        last = ctx.client.get(f"citieslist.php?pageno={CITIES // 20}").text
        assert 'rel="next"' not in last and len(row_keys(last)) == 20, "the last page has no next page"
    finally:
        ctx.count_limit(0)  # 0: always counted
    assert record_count(ctx.client.get("citieslist.php").text)[2] == CITIES


@T
def a_long_list_is_counted_up_to_its_limit(ctx):
    if not maria_only(ctx):
        return
    aber = int(ctx.db.rows("SELECT COUNT(*) FROM cities WHERE name LIKE '%Aber%'")[0][0])
    # count_limit rows: page, sort, search, what the page says of the total; a
    # search for a text anywhere in a field counts its matches among as many rows
    cases = [(1000, 3, "-x_name", "", "Records 41 to 60 of more than 1000 (lists this long"),
             (1000, 60, "x_name", "", "Records 1181 to 1200 of more than 1200 (lists this long"),
             (CITIES, 125, "-x_city_id", "", f"Records 2481 to 2500 of {CITIES}"),
             (1000, 125, "x_name", "", f"Records 2481 to 2500 of {CITIES}"),  # the last page ends the count
             (CITIES - 1, 2, "", "", f"Records 21 to 40 of more than {CITIES - 1} (lists this long"),
             (CITIES - 1, 2, "", "Aber", f"Records 21 to 40 (not counted: the search would read more than {CITIES - 1} records)"),
             (CITIES, 2, "x_name", "Aber", f"Records 21 to 40 of {aber}")]
    try:
        for rows, pageno, sort, search, says in cases:
            ctx.count_limit(0, rows)
            text = ctx.client.get(f"citieslist.php?sort={sort}&pageno={pageno}&psearch={search}").text
            assert says in text, (rows, pageno, re.findall(r'tw-count">(.*?)<', text))
            assert len(row_keys(text)) == 20 and re.search(r'rel="prev"', text), (rows, pageno)
    finally:
        ctx.count_limit(0)


# ---- SQLite: all-TEXT columns, untyped view columns, legacy hashes ------------------

@T
def text_columns_are_ordinary_fields_and_views_list(ctx):
    if ctx.engine != "sqlite":
        return
    listing = ctx.client.get("peoplelist.php?recperpage=ALL&sort=x_code").text
    rows = list_rows(listing)
    assert len(rows) == 60 and any("P001" in r for r in rows[:1]), "a table of TEXT columns lists its rows"
    for caption in ("name", "email", "notes"):
        assert re.search(r"<th[^>]*>(<a[^>]*>)?" + caption, listing, re.I), f"TEXT column {caption} is listed"
    expected = ctx.db.rows("SELECT initial, members, last_joined FROM people_stats ORDER BY initial")
    mails = int(ctx.db.rows("SELECT COUNT(*) FROM people_mail")[0][0])
    for p, n in (("people_statslist.php", len(expected)), ("people_maillist.php", mails)):
        r = ctx.client.get(p + "?recperpage=ALL")
        assert r.status == 200 and record_count(r.text)[2] == n, f"{p}: {r.status}"
        csvr = ctx.client.get(p + "?export=csv")
        assert csvr.status == 200 and csvr.text.count("\n") == n + 1, f"{p} export: {csvr.status}"
    stats = ctx.client.get("people_statslist.php").text
    assert record_count(stats) == (1, len(expected), len(expected)), "a view's rows are counted"
    shown = {tuple(c for c in r if c) for r in list_rows(stats)}
    assert {tuple(str(v) for v in e) for e in expected} <= shown, f"untyped view columns shown: {shown}"


@T
def legacy_hashes_log_in_only_when_allowed_and_are_rehashed(ctx):
    if ctx.engine != "sqlite":
        return
    for user in ("sha1user", "md5user"):
        c = Client(ctx.base)
        page = c.get("login.php")
        r = c.post("login.php", {"tw_token": token(page.text), "username": user, "password": PASSWORD})
        assert r.status == 200 and "Incorrect user name or password" in r.text, f"{user}: refused without the setting"
    log = ctx.server.log_text()
    assert 'the password of user "sha1user" is stored as an unsalted SHA1 hash' in log and "legacy_hashes" in log
    ctx.allow_legacy(True)
    try:
        cases = [("sha1user", PASSWORD, True), ("md5user", PASSWORD, True), ("other", PASSWORD, False)]
        for user, pw, ok in cases:
            before = ctx.db.rows("SELECT pw FROM accounts WHERE username = ?", (user,))[0][0]
            c = Client(ctx.base)
            page = c.get("login.php")
            r = c.post("login.php", {"tw_token": token(page.text), "username": user, "password": pw})
            assert (r.status == 303) == ok, f"{user}: {r.status}"
            after = ctx.db.rows("SELECT pw FROM accounts WHERE username = ?", (user,))[0][0]
            assert after.startswith("$2y$") if ok else after == before, f"{user}: stored {after[:7]}"
        c = Client(ctx.base)
        c.login("sha1user", PASSWORD)  # the new hash
    finally:
        ctx.allow_legacy(False)
    Client(ctx.base).login("md5user", PASSWORD)  # rehashed: no setting needed any more


# ---- setting up ----------------------------------------------------------------------

def bcrypt(php, password):
    import subprocess
    r = subprocess.run([php, "-r", "echo password_hash($argv[1], PASSWORD_DEFAULT);", password],
                       capture_output=True, text=True, check=True)
    return r.stdout.strip()


def setup(ctx, args, lib, servers):
    """Makes the database, generates its application into work/app and
    returns the clean-up steps. servers starts and stops the database
    servers (run_e2e's start_mariadb, start_postgres and their kin)."""
    import shutil
    import sqlite3
    php = lib.need("php", "php-cli")
    hashed = bcrypt(php, PASSWORD)
    description = os.path.join(args.work, "project.txt")
    sessions = os.path.join(args.work, "sessions")
    cleanup = []
    ctx.pages = {}
    ctx.lookup = None
    if ctx.engine == "sqlite":
        path = os.path.join(args.work, "db", "people.sqlite")
        os.makedirs(os.path.dirname(path))
        con = sqlite3.connect(path)
        con.executescript(sqlite_schema(hashed))
        con.commit()
        con.close()
        ctx.db = lib.SqliteDb(path)
        with open(description, "w") as f:
            f.write(SQLITE_DESCRIPTION)
        ctx.app = lib.generate(args.work, "sqlite:" + path, args.tarnwick, args.template, description)
        db = {"driver": "sqlite", "path": path}
        ctx.snapshot = SQLITE_SNAPSHOT
        ctx.login_table = ("accounts", "username", "username", "pw", "admin")
        ctx.user = "admin"
    elif ctx.engine == "postgres":
        pdir, env = servers.start_postgres(args.work)
        cleanup.append(lambda: servers.stop_postgres(pdir))
        ctx.db = lib.PostgresDb(env, os.path.join(servers.postgres_bin(), "psql"))
        ctx.db.execute(realworld_postgres.schema(lambda login: hashed))
        with open(description, "w") as f:
            f.write(realworld_postgres.DESCRIPTION)
        url, db = servers.postgres_app_db(env)
        ctx.app = lib.generate(args.work, url, args.tarnwick, args.template, description)
        ctx.snapshot = realworld_postgres.SNAPSHOT
        ctx.pages = realworld_postgres.PAGES
        ctx.login_table = ("staff", '"Staff ID"', "login", "pass_hash", "staff02")
        ctx.lookup = realworld_postgres.LOOKUP
        ctx.user = "staff01"
    else:
        mdir, env = servers.start_mariadb(args.work)
        cleanup.append(lambda: servers.stop_mariadb(mdir))
        ctx.db = lib.MariaDb(env, shutil.which("mariadb") or shutil.which("mysql"))
        schema, members = mariadb_schema()
        ctx.db.execute(schema + member_inserts(members, lambda login: hashed))
        with open(description, "w") as f:
            f.write(MARIADB_DESCRIPTION)
        url = f"mysql://{env['MDB_USER']}:{env['MDB_PASSWORD']}@{env['MDB_HOST']}:{env['MDB_PORT']}/{env['MDB_NAME']}"
        ctx.app = lib.generate(args.work, url, args.tarnwick, args.template, description)
        db = {"driver": "mysql", "host": env["MDB_HOST"], "port": int(env["MDB_PORT"]), "name": env["MDB_NAME"],
              "user": env["MDB_USER"], "password": env["MDB_PASSWORD"]}
        ctx.snapshot = MARIADB_SNAPSHOT
        ctx.login_table = ("members", "member_id", "login", "pass_hash", "member02")
        ctx.lookup = {"edit": "membersedit.php?key=1", "var": "x_city_id", "table": "cities", "rows": CITIES,
                      "far": CITIES - 7}
        ctx.user = "member01"
    ctx.allow_legacy = lambda on: write_local_config(ctx.app, db, sessions, on)
    ctx.count_limit = lambda ms, rows=0: write_local_config(ctx.app, db, sessions, False, ms, rows)
    ctx.allow_legacy(False)
    return cleanup


# the PostgreSQL database's own tests, after those every engine runs
for _test in realworld_postgres.tests:
    suite.test(_test)
