-- The PostgreSQL shop: every column type the bridge maps, keys in an order
-- other than the columns', unique indexes, a domain, an enumeration type,
-- foreign keys, value lists as checks, names with blanks, quotes and
-- non-ASCII letters, views of both kinds, a
-- partitioned table, a sequence, an extension's views and a second schema. Run into a fresh
-- database tw_shop by the superuser.
CREATE EXTENSION IF NOT EXISTS pg_stat_statements;
CREATE TYPE size AS ENUM ('S', 'M', 'L', 'it''s');
CREATE TYPE "Farbe" AS ENUM ('rot', 'grün');
CREATE SCHEMA archive;
CREATE TABLE archive.old_orders (id integer PRIMARY KEY, note text);
CREATE TABLE archive."Kunden" (nr integer PRIMARY KEY);
CREATE DOMAIN positive_int AS integer NOT NULL CHECK (VALUE > 0);

CREATE TABLE "Kunden" (
  "Kundennummer" serial PRIMARY KEY,
  "Straße" varchar(80),
  "Größe" size DEFAULT 'M',
  "e-mail" varchar(120) UNIQUE,
  UNIQUE ("Straße", "Größe")
);
CREATE INDEX kunden_strasse ON "Kunden" ("Straße");
CREATE UNIQUE INDEX kunden_lower_mail ON "Kunden" (lower("e-mail"));

CREATE TABLE all_types (
  id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  c_smallint smallint NOT NULL DEFAULT 7,
  c_integer integer DEFAULT NULL,
  c_bigint bigint DEFAULT -5,
  c_numeric numeric(10, 2) DEFAULT 1.50,
  c_numeric_free numeric,
  c_real real,
  c_double double precision,
  c_money money,
  c_boolean boolean NOT NULL DEFAULT true,
  c_text text,
  c_varchar varchar(50) DEFAULT 'it''s',
  c_varchar_free varchar,
  c_char char(10),
  c_bytea bytea,
  c_date date DEFAULT '2020-01-31',
  c_time time,
  c_timetz timetz,
  c_timestamp timestamp DEFAULT CURRENT_TIMESTAMP,
  c_timestamptz timestamptz DEFAULT now(),
  c_interval interval,
  c_uuid uuid,
  c_json json,
  c_jsonb jsonb,
  c_int_array integer[],
  c_text_array text[],
  c_domain positive_int,
  c_enum size,
  c_farbe "Farbe",
  c_inet inet,
  c_bit bit(12),
  c_generated integer GENERATED ALWAYS AS (c_smallint * 2) STORED
);

CREATE TABLE "order lines" (
  "order id" integer NOT NULL,
  "line no" integer NOT NULL,
  qty integer DEFAULT 1,
  PRIMARY KEY ("line no", "order id")
);
CREATE TABLE orders (
  id serial PRIMARY KEY,
  customer integer REFERENCES "Kunden",
  status varchar(10) CHECK (status IN ('new', 'paid', 'it''s')),
  prio integer CHECK (prio IN (1, 2, 3)),
  qty integer CHECK (qty > 0),
  "Größe" size CHECK ("Größe" IN ('S', 'M')),
  a integer, b integer,
  CHECK ((a IN (1, 2)) AND (b IN (3)))
);
CREATE TABLE shipments (
  id integer PRIMARY KEY,
  "order id" integer,
  "line no" integer,
  "order" integer,
  CONSTRAINT b_line FOREIGN KEY ("order id", "line no") REFERENCES "order lines" ("order id", "line no"),
  CONSTRAINT a_order FOREIGN KEY ("order") REFERENCES orders,
  CONSTRAINT c_archived FOREIGN KEY (id) REFERENCES archive.old_orders
);
CREATE TABLE big_serial (id bigserial PRIMARY KEY, note text DEFAULT 'a ''quoted'' note',
  nickname varchar(40) NOT NULL DEFAULT '', code text NOT NULL DEFAULT NULL);
CREATE TABLE "we""ird name" ("a""b" integer PRIMARY KEY);
CREATE TABLE measurements (id integer, logdate date NOT NULL, PRIMARY KEY (id, logdate)) PARTITION BY RANGE (logdate);
CREATE TABLE measurements_2024 PARTITION OF measurements FOR VALUES FROM ('2024-01-01') TO ('2025-01-01');
CREATE VIEW v_customers AS SELECT "Kundennummer", "Straße", "e-mail" FROM "Kunden";
CREATE MATERIALIZED VIEW "big orders" AS SELECT "order id", sum(qty) AS total FROM "order lines" GROUP BY "order id";
CREATE SEQUENCE invoice_numbers;


INSERT INTO "Kunden" ("Straße", "Größe", "e-mail") VALUES ('Hauptstraße 1', 'L', 'a@example.com'), ('Weg 2', 'S', 'b@example.com');

CREATE TABLE calls (n integer);
CREATE FUNCTION bump() RETURNS integer LANGUAGE sql VOLATILE SECURITY DEFINER AS 'INSERT INTO calls VALUES (1) RETURNING 1';

DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'tw_reader') THEN
    CREATE ROLE tw_reader LOGIN PASSWORD 'Secret-42';
  END IF;
END $$;
GRANT USAGE ON SCHEMA public, archive TO tw_reader;
GRANT SELECT ON ALL TABLES IN SCHEMA public, archive TO tw_reader;
GRANT EXECUTE ON FUNCTION bump() TO tw_reader;
GRANT INSERT, UPDATE, DELETE ON calls TO tw_reader;
