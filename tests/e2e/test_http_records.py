"""HTTP tests of the sample application's record pages (add, view, edit,
copy, delete, controls, master/detail, lookups) and of its files and
pictures."""
import html
import os
import re

from e2e_lib import form_values, link_with, list_rows, record_count, row_keys, token
from http_common import T, count, add_customer, new_key, png, urlq, strip


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
