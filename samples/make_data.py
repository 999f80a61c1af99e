#!/usr/bin/env python3
"""Writes the sample database as SQL scripts for SQLite, MariaDB and PostgreSQL.

The data comes from a seeded random generator, so running the script again
gives byte-identical files:

    python3 samples/make_data.py            # rewrites samples/sample-*.sql
    python3 samples/make_data.py --sqlite out.sqlite   # also builds a database

The scripts hold the same schema and the same rows: a small trading company
with categories, products, customers, employees (each reporting to a manager),
orders and order lines, and a view that totals every order.
"""
import argparse
import os
import random
import sqlite3
import struct
import sys
import zlib
from datetime import date, datetime, timedelta
from decimal import Decimal

HERE = os.path.dirname(os.path.abspath(__file__))

# Back-office accounts that can log in to the demo application. The hashes are
# PHP password_hash() values (bcrypt), fixed here so the scripts stay the same
# from run to run. Passwords: ceo -> "tarnwick-demo", sales -> "north-wind-42".
ACCOUNTS = {
    1: ("$2y$10$zp9L.cWQp6Jv9Xo2CDl1Du71GaJDTPiuvaEnekasUlSlhCf7m1do6"),
    2: ("$2y$10$UYKQTff49FT2nnYUT5pEj.Ycscg2SS5yRKBX7zaXrgaz3S0iMnKxu"),
}

ROWS = {"categories": 50, "products": 200, "customers": 150,
        "employees": 60, "orders": 400, "order_lines": 500}

FIRST = ["Anna", "Björn", "Chloé", "David", "Elif", "François", "Grace", "Hiroshi", "Inés",
         "Jonas", "Katarzyna", "Liam", "Maëlle", "Nikolai", "Olivia", "Pedro", "Quentin",
         "Rosa", "Søren", "Tomás", "Ursula", "Václav", "Wei", "Ximena", "Yusuf", "Zoë",
         "Agnieszka", "Benoît", "Carmen", "Dmitri", "Émilie", "Fatima", "Gustav", "Hanna"]
LAST = ["Andersson", "Brontë", "Castillo", "Dvořák", "Eriksen", "Fischer", "García",
        "Hoffmann", "Ito", "Jansen", "Kowalski", "Lefèvre", "Müller", "Nakamura", "O'Brien",
        "Petrović", "Quinn", "Rossi", "Schröder", "Tanaka", "Van der Berg", "Weiß", "Yılmaz",
        "Zieliński", "De la Cruz", "Ólafsson", "Novák", "Smith", "Brown", "Łukasik"]
CITIES = [("Berlin", "Germany"), ("München", "Germany"), ("Köln", "Germany"),
          ("Zürich", "Switzerland"), ("Genève", "Switzerland"), ("Wien", "Austria"),
          ("Paris", "France"), ("Besançon", "France"), ("São Paulo", "Brazil"),
          ("Kraków", "Poland"), ("Łódź", "Poland"), ("Malmö", "Sweden"),
          ("Reykjavík", "Iceland"), ("Praha", "Czech Republic"), ("Madrid", "Spain"),
          ("A Coruña", "Spain"), ("Lisboa", "Portugal"), ("New York", "USA"),
          ("San Francisco", "USA"), ("Montréal", "Canada"), ("Tokyo", "Japan"),
          ("Ísafjörður", "Iceland"), ("Los Angeles", "USA"), ("Århus", "Denmark")]
COMPANY_WORDS = ["Alpine", "Blue Harbor", "Café", "Delikatessen", "Épicerie", "Fjord",
                 "Golden Gate", "Hanse", "Island", "Jardín", "Königs", "Lighthouse",
                 "Mercado", "Nordic", "Olive Grove", "Pâtisserie", "Quay", "Riverside",
                 "Sørlandet", "Trattoria", "Uptown", "Vinoteca", "Windmill", "Zuckerbäcker"]
COMPANY_KINDS = ["Trading", "Foods", "& Söhne", "Market", "Imports", "Kitchen",
                 "Provisions", "Wholesale", "Stores", "Gourmet"]
COMPANY_FORMS = ["GmbH", "Ltd.", "S.A.", "AB", "Inc.", "S.r.l.", "", "", "Co."]
CATEGORY_MODS = ["Fresh", "Frozen", "Organic", "Imported", "Regional", "Premium",
                 "Seasonal", "Dried", "Smoked", "Artisan"]
CATEGORY_NOUNS = ["Beverages", "Cheeses", "Condiments", "Confections", "Grains & Cereals",
                  "Meat & Poultry", "Produce", "Seafood", "Pâtisserie", "Crème Desserts",
                  "Herbs & Spices", "Pasta"]
PRODUCT_ADJ = ["Alpine", "Smoky", "Spicy", "Sweet", "Classic", "Rustic", "Golden",
               "Wild", "Crème", "Nordic", "Mediterranean", "Tropical", "Café", "Brûlée"]
PRODUCT_NOUN = ["Tea", "Cheddar", "Mustard", "Chocolate", "Muesli", "Sausage", "Apples",
                "Salmon", "Croissants", "Pudding", "Pepper", "Gnocchi", "Syrup",
                "Biscuits", "Ketchup", "Lager", "Jam", "Olive Oil", "Honey", "Pâté"]
TITLES = ["Sales Representative", "Account Manager", "Warehouse Clerk",
          "Inside Sales Coordinator", "Buyer", "Accountant"]
ORDER_STATUS = ["New", "Processing", "Shipped", "Cancelled"]
YES_NO = ["Y", "N"]


def png_square(rgb, size=8):
    """A tiny solid-colour PNG, the picture stored for a category."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    raw = b"".join(b"\x00" + bytes(rgb) * size for _ in range(size))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def money(rng, lo, hi):
    return Decimal(rng.randint(int(lo * 100), int(hi * 100))) / 100


def ascii_login(first, last, used):
    table = str.maketrans({"ä": "a", "ö": "o", "ü": "u", "ß": "ss", "é": "e", "è": "e",
                           "ë": "e", "ç": "c", "ñ": "n", "ø": "o", "å": "a", "á": "a",
                           "í": "i", "ó": "o", "ú": "u", "č": "c", "ř": "r", "ł": "l",
                           "ń": "n", "ı": "i", "š": "s", "ż": "z", "ê": "e", "ô": "o"})
    base = (first[0] + last).lower().translate(table)
    base = "".join(c for c in base if c.isalnum())
    login, n = base, 2
    while login in used:
        login, n = f"{base}{n}", n + 1
    used.add(login)
    return login


def build():
    """Returns (tables, rows): the column lists and the rows of every table."""
    rng = random.Random(20240611)
    data = {}

    cats, seen = [], set()
    while len(cats) < ROWS["categories"]:
        name = f"{rng.choice(CATEGORY_MODS)} {rng.choice(CATEGORY_NOUNS)}"
        if name in seen:
            continue
        seen.add(name)
        cid = len(cats) + 1
        rgb = (rng.randint(40, 230), rng.randint(40, 230), rng.randint(40, 230))
        cats.append((cid, name, f"Our selection of {name.lower()}.", png_square(rgb)))
    data["categories"] = cats

    prods = []
    for pid in range(1, ROWS["products"] + 1):
        name = f"{rng.choice(PRODUCT_ADJ)} {rng.choice(PRODUCT_NOUN)} {pid:03d}"
        prods.append((pid, name, rng.randint(1, ROWS["categories"]), money(rng, 1, 250),
                      rng.randint(0, 500), "Y" if rng.random() < 0.12 else "N",
                      date(2020, 1, 1) + timedelta(days=rng.randint(0, 1400))))
    data["products"] = prods

    custs = []
    for cid in range(1, ROWS["customers"] + 1):
        city, country = rng.choice(CITIES)
        form = rng.choice(COMPANY_FORMS)
        company = f"{rng.choice(COMPANY_WORDS)} {rng.choice(COMPANY_KINDS)} {form}".strip()
        company = f"{company} #{cid}"
        first, last = rng.choice(FIRST), rng.choice(LAST)
        mail = ascii_login(first, last, set()) + f"{cid}@example.com"
        phone = f"+{rng.randint(1, 99)} {rng.randint(100, 999)} {rng.randint(1000, 9999)}"
        notes = None if rng.random() < 0.6 else f"Prefers delivery to {city}."
        custs.append((cid, company, f"{first} {last}", city, country, phone, mail,
                      date(2015, 1, 1) + timedelta(days=rng.randint(0, 3000)),
                      money(rng, 500, 50000), notes))
    data["customers"] = custs

    emps, used = [], set()
    for eid in range(1, ROWS["employees"] + 1):
        first, last = rng.choice(FIRST), rng.choice(LAST)
        if eid == 1:
            manager, title, login = None, "Chief Executive Officer", "ceo"
            used.add(login)
        elif eid <= 6:
            manager, title = 1, "Sales Manager"
            login = "sales" if eid == 2 else ascii_login(first, last, used)
            used.add(login)
        else:
            manager, title = rng.randint(2, 6), rng.choice(TITLES)
            login = ascii_login(first, last, used)
        birth = date(1960, 1, 1) + timedelta(days=rng.randint(0, 14000))
        hired = date(2005, 1, 1) + timedelta(days=rng.randint(0, 6500))
        emps.append((eid, first, last, title, manager, birth, hired, money(rng, 28000, 140000),
                     f"{login}@example.com", login, ACCOUNTS.get(eid), None))
    data["employees"] = emps

    orders = []
    for oid in range(1, ROWS["orders"] + 1):
        ordered = date(2023, 1, 1) + timedelta(days=rng.randint(0, 729))
        status = rng.choices(ORDER_STATUS, weights=[2, 3, 12, 1])[0]
        shipped = None
        if status == "Shipped":
            shipped = datetime(ordered.year, ordered.month, ordered.day) + timedelta(
                days=rng.randint(1, 9), hours=rng.randint(7, 18), minutes=rng.randint(0, 59))
        cust = custs[rng.randint(1, ROWS["customers"]) - 1]
        orders.append((oid, cust[0], rng.randint(2, ROWS["employees"]), ordered,
                       ordered + timedelta(days=rng.randint(7, 30)), shipped, status,
                       money(rng, 0, 120), cust[3]))
    data["orders"] = orders

    lines = []
    counts = [1] * ROWS["orders"]
    for _ in range(ROWS["order_lines"] - ROWS["orders"]):
        counts[rng.randint(0, ROWS["orders"] - 1)] += 1
    lid = 0
    for oid, n in enumerate(counts, start=1):
        for pid in rng.sample(range(1, ROWS["products"] + 1), n):
            lid += 1
            lines.append((lid, oid, pid, rng.randint(1, 50), prods[pid - 1][3],
                          rng.choice([Decimal("0"), Decimal("0"), Decimal("0.05"),
                                      Decimal("0.1"), Decimal("0.15")])))
    data["order_lines"] = lines
    return data


COLUMNS = {
    "categories": ["category_id", "category_name", "description", "picture"],
    "products": ["product_id", "product_name", "category_id", "unit_price", "units_in_stock",
                 "discontinued", "added_on"],
    "customers": ["customer_id", "company_name", "contact_name", "city", "country", "phone",
                  "email", "customer_since", "credit_limit", "notes"],
    "employees": ["employee_id", "first_name", "last_name", "title", "reports_to",
                  "birth_date", "hire_date", "salary", "email", "login", "password_hash",
                  "photo_file"],
    "orders": ["order_id", "customer_id", "employee_id", "order_date", "required_date",
               "shipped_at", "status", "freight", "ship_city"],
    "order_lines": ["line_id", "order_id", "product_id", "quantity", "unit_price", "discount"],
}

SCHEMA_SQLITE = """
CREATE TABLE categories (
  category_id INTEGER PRIMARY KEY AUTOINCREMENT,
  category_name VARCHAR(50) NOT NULL UNIQUE,
  description TEXT,
  picture BLOB
);
CREATE TABLE products (
  product_id INTEGER PRIMARY KEY AUTOINCREMENT,
  product_name VARCHAR(80) NOT NULL,
  category_id INTEGER REFERENCES categories(category_id),
  unit_price DECIMAL(10,2) NOT NULL DEFAULT 0,
  units_in_stock INTEGER NOT NULL DEFAULT 0,
  discontinued CHAR(1) NOT NULL DEFAULT 'N' CHECK (discontinued IN ('Y','N')),
  added_on DATE
);
CREATE TABLE customers (
  customer_id INTEGER PRIMARY KEY AUTOINCREMENT,
  company_name VARCHAR(80) NOT NULL,
  contact_name VARCHAR(60),
  city VARCHAR(40),
  country VARCHAR(40),
  phone VARCHAR(30),
  email VARCHAR(80),
  customer_since DATE,
  credit_limit DECIMAL(12,2),
  notes TEXT
);
CREATE TABLE employees (
  employee_id INTEGER PRIMARY KEY AUTOINCREMENT,
  first_name VARCHAR(40) NOT NULL,
  last_name VARCHAR(40) NOT NULL,
  title VARCHAR(60),
  reports_to INTEGER REFERENCES employees(employee_id),
  birth_date DATE,
  hire_date DATE,
  salary DECIMAL(10,2),
  email VARCHAR(80),
  login VARCHAR(30) NOT NULL UNIQUE,
  password_hash VARCHAR(255),
  photo_file VARCHAR(255)
);
CREATE TABLE orders (
  order_id INTEGER PRIMARY KEY AUTOINCREMENT,
  customer_id INTEGER NOT NULL REFERENCES customers(customer_id),
  employee_id INTEGER REFERENCES employees(employee_id),
  order_date DATE NOT NULL,
  required_date DATE,
  shipped_at DATETIME,
  status VARCHAR(10) NOT NULL DEFAULT 'New' CHECK (status IN ('New','Processing','Shipped','Cancelled')),
  freight DECIMAL(10,2) DEFAULT 0,
  ship_city VARCHAR(40)
);
CREATE TABLE order_lines (
  line_id INTEGER PRIMARY KEY AUTOINCREMENT,
  order_id INTEGER NOT NULL REFERENCES orders(order_id),
  product_id INTEGER NOT NULL REFERENCES products(product_id),
  quantity INTEGER NOT NULL DEFAULT 1,
  unit_price DECIMAL(10,2) NOT NULL,
  discount DECIMAL(4,2) NOT NULL DEFAULT 0
);
CREATE VIEW order_summary AS
  SELECT o.order_id, c.company_name, o.order_date, o.status,
         COUNT(l.line_id) AS "Line Count",
         ROUND(SUM(l.quantity * l.unit_price * (1 - l.discount)), 2) AS "Total Amount"
  FROM orders o
  JOIN customers c ON c.customer_id = o.customer_id
  LEFT JOIN order_lines l ON l.order_id = o.order_id
  GROUP BY o.order_id, c.company_name, o.order_date, o.status;
"""

SCHEMA_MARIADB = """
CREATE TABLE categories (
  category_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  category_name VARCHAR(50) NOT NULL UNIQUE,
  description TEXT,
  picture BLOB
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
CREATE TABLE products (
  product_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  product_name VARCHAR(80) NOT NULL,
  category_id INT,
  unit_price DECIMAL(10,2) NOT NULL DEFAULT 0,
  units_in_stock INT NOT NULL DEFAULT 0,
  discontinued ENUM('Y','N') NOT NULL DEFAULT 'N',
  added_on DATE,
  FOREIGN KEY (category_id) REFERENCES categories(category_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
CREATE TABLE customers (
  customer_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  company_name VARCHAR(80) NOT NULL,
  contact_name VARCHAR(60),
  city VARCHAR(40),
  country VARCHAR(40),
  phone VARCHAR(30),
  email VARCHAR(80),
  customer_since DATE,
  credit_limit DECIMAL(12,2),
  notes TEXT
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
CREATE TABLE employees (
  employee_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  first_name VARCHAR(40) NOT NULL,
  last_name VARCHAR(40) NOT NULL,
  title VARCHAR(60),
  reports_to INT,
  birth_date DATE,
  hire_date DATE,
  salary DECIMAL(10,2),
  email VARCHAR(80),
  login VARCHAR(30) NOT NULL UNIQUE,
  password_hash VARCHAR(255),
  photo_file VARCHAR(255),
  FOREIGN KEY (reports_to) REFERENCES employees(employee_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
CREATE TABLE orders (
  order_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  customer_id INT NOT NULL,
  employee_id INT,
  order_date DATE NOT NULL,
  required_date DATE,
  shipped_at DATETIME,
  status ENUM('New','Processing','Shipped','Cancelled') NOT NULL DEFAULT 'New',
  freight DECIMAL(10,2) DEFAULT 0,
  ship_city VARCHAR(40),
  FOREIGN KEY (customer_id) REFERENCES customers(customer_id),
  FOREIGN KEY (employee_id) REFERENCES employees(employee_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
CREATE TABLE order_lines (
  line_id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  order_id INT NOT NULL,
  product_id INT NOT NULL,
  quantity INT NOT NULL DEFAULT 1,
  unit_price DECIMAL(10,2) NOT NULL,
  discount DECIMAL(4,2) NOT NULL DEFAULT 0,
  FOREIGN KEY (order_id) REFERENCES orders(order_id),
  FOREIGN KEY (product_id) REFERENCES products(product_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_unicode_ci;
CREATE VIEW order_summary AS
  SELECT o.order_id, c.company_name, o.order_date, o.status,
         COUNT(l.line_id) AS `Line Count`,
         ROUND(SUM(l.quantity * l.unit_price * (1 - l.discount)), 2) AS `Total Amount`
  FROM orders o
  JOIN customers c ON c.customer_id = o.customer_id
  LEFT JOIN order_lines l ON l.order_id = o.order_id
  GROUP BY o.order_id, c.company_name, o.order_date, o.status;
"""

SCHEMA_POSTGRES = """
CREATE TYPE yes_no AS ENUM ('Y', 'N');
CREATE TYPE order_status AS ENUM ('New', 'Processing', 'Shipped', 'Cancelled');
CREATE TABLE categories (
  category_id serial PRIMARY KEY,
  category_name varchar(50) NOT NULL UNIQUE,
  description text,
  picture bytea
);
CREATE TABLE products (
  product_id serial PRIMARY KEY,
  product_name varchar(80) NOT NULL,
  category_id integer REFERENCES categories(category_id),
  unit_price numeric(10,2) NOT NULL DEFAULT 0,
  units_in_stock integer NOT NULL DEFAULT 0,
  discontinued yes_no NOT NULL DEFAULT 'N',
  added_on date
);
CREATE TABLE customers (
  customer_id serial PRIMARY KEY,
  company_name varchar(80) NOT NULL,
  contact_name varchar(60),
  city varchar(40),
  country varchar(40),
  phone varchar(30),
  email varchar(80),
  customer_since date,
  credit_limit numeric(12,2),
  notes text
);
CREATE TABLE employees (
  employee_id serial PRIMARY KEY,
  first_name varchar(40) NOT NULL,
  last_name varchar(40) NOT NULL,
  title varchar(60),
  reports_to integer REFERENCES employees(employee_id) DEFERRABLE INITIALLY DEFERRED,
  birth_date date,
  hire_date date,
  salary numeric(10,2),
  email varchar(80),
  login varchar(30) NOT NULL UNIQUE,
  password_hash varchar(255),
  photo_file varchar(255)
);
CREATE TABLE orders (
  order_id serial PRIMARY KEY,
  customer_id integer NOT NULL REFERENCES customers(customer_id),
  employee_id integer REFERENCES employees(employee_id),
  order_date date NOT NULL,
  required_date date,
  shipped_at timestamp,
  status order_status NOT NULL DEFAULT 'New',
  freight numeric(10,2) DEFAULT 0,
  ship_city varchar(40)
);
CREATE TABLE order_lines (
  line_id serial PRIMARY KEY,
  order_id integer NOT NULL REFERENCES orders(order_id),
  product_id integer NOT NULL REFERENCES products(product_id),
  quantity integer NOT NULL DEFAULT 1,
  unit_price numeric(10,2) NOT NULL,
  discount numeric(4,2) NOT NULL DEFAULT 0
);
CREATE VIEW order_summary AS
  SELECT o.order_id, c.company_name, o.order_date, o.status,
         COUNT(l.line_id) AS "Line Count",
         ROUND(SUM(l.quantity * l.unit_price * (1 - l.discount)), 2) AS "Total Amount"
  FROM orders o
  JOIN customers c ON c.customer_id = o.customer_id
  LEFT JOIN order_lines l ON l.order_id = o.order_id
  GROUP BY o.order_id, c.company_name, o.order_date, o.status;
"""

TABLE_ORDER = ["categories", "products", "customers", "employees", "orders", "order_lines"]
KINDS = {"sqlite": "SQLite", "mariadb": "MariaDB", "postgres": "PostgreSQL"}


def literal(value, kind):
    if value is None:
        return "NULL"
    if isinstance(value, bytes):
        if kind == "postgres":
            return "decode('" + value.hex().upper() + "', 'hex')"
        return "X'" + value.hex().upper() + "'"
    if isinstance(value, (int, Decimal)):
        return str(value)
    if isinstance(value, datetime):
        return "'" + value.strftime("%Y-%m-%d %H:%M:%S") + "'"
    if isinstance(value, date):
        return "'" + value.isoformat() + "'"
    text = str(value)
    if "\\" in text:
        raise ValueError("sample texts carry no backslashes")
    return "'" + text.replace("'", "''") + "'"


def script(data, kind):
    out = []
    out.append(f"-- Tarnwick sample database for {KINDS[kind]}; written by samples/make_data.py, do not edit.")
    if kind == "postgres":
        out.append("SET client_encoding = 'UTF8';")
        out.append("BEGIN;")
    elif kind == "mariadb":
        out.append("SET NAMES utf8mb4;")
        out.append("SET FOREIGN_KEY_CHECKS = 0;")
        out.append("DROP VIEW IF EXISTS order_summary;")
        for t in reversed(TABLE_ORDER):
            out.append(f"DROP TABLE IF EXISTS {t};")
        out.append("SET FOREIGN_KEY_CHECKS = 1;")
    else:
        out.append("PRAGMA foreign_keys = ON;")
        out.append("BEGIN TRANSACTION;")
    out.append({"sqlite": SCHEMA_SQLITE, "mariadb": SCHEMA_MARIADB, "postgres": SCHEMA_POSTGRES}[kind].strip())
    for t in TABLE_ORDER:
        cols = ", ".join(COLUMNS[t])
        rows = data[t]
        for i in range(0, len(rows), 50):
            values = ",\n  ".join("(" + ", ".join(literal(v, kind) for v in r) + ")"
                                  for r in rows[i:i + 50])
            out.append(f"INSERT INTO {t} ({cols}) VALUES\n  {values};")
    if kind == "postgres":
        # The rows came with their keys: each key's sequence goes on from the highest.
        for t in TABLE_ORDER:
            key = COLUMNS[t][0]
            out.append(f"SELECT setval(pg_get_serial_sequence('{t}', '{key}'), MAX({key})) FROM {t};")
    if kind != "mariadb":
        out.append("COMMIT;")
    return "\n".join(out) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out-dir", default=HERE, help="where the .sql files go")
    ap.add_argument("--sqlite", metavar="FILE", help="also build a SQLite database file")
    args = ap.parse_args()
    data = build()
    for kind in KINDS:
        with open(os.path.join(args.out_dir, f"sample-{kind}.sql"), "w", encoding="utf-8", newline="\n") as f:
            f.write(script(data, kind))
    if args.sqlite:
        build_sqlite(os.path.join(args.out_dir, "sample-sqlite.sql"), args.sqlite)
    return 0


def build_sqlite(sql_path, db_path):
    """Builds a fresh SQLite database file from the SQLite script."""
    if os.path.exists(db_path):
        os.remove(db_path)
    with open(sql_path, encoding="utf-8") as f:
        sql = f.read()
    con = sqlite3.connect(db_path)
    try:
        con.executescript(sql)
        con.commit()
    finally:
        con.close()


if __name__ == "__main__":
    sys.exit(main())
