"""The suite the sample application's HTTP tests register in, and what they
share: the list pages and captions, counts, a new customer, a saved
record's key, a small picture, search words and query strings."""
import html
import re
import struct
import zlib

from e2e_lib import Suite, token


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


def casefold_contains(value, word):
    return value is not None and word.casefold() in value.casefold()


def casefold_starts(value, word):
    return value is not None and value.casefold().startswith(word.casefold())


def urlq(params):
    import urllib.parse
    return urllib.parse.urlencode(params)


def strip(s):
    return html.unescape(s).strip()
