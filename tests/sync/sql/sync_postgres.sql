-- The PostgreSQL database the synchronisation tests build their project
-- from, like sync.sql; the test recreates tw_sync and runs this in it.
DO $$ BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = 'tw_sync_reader') THEN
    CREATE ROLE tw_sync_reader LOGIN PASSWORD 'Sync-Reader-7';
  END IF;
END $$;
ALTER DEFAULT PRIVILEGES IN SCHEMA public GRANT SELECT ON TABLES TO tw_sync_reader;

CREATE TYPE size AS ENUM ('S', 'M', 'L');
CREATE TYPE order_status AS ENUM ('new', 'paid', 'sent');

CREATE TABLE customers (
  id serial PRIMARY KEY,
  name varchar(40) NOT NULL,
  email varchar(120),
  size size NOT NULL DEFAULT 'M',
  note text
);

CREATE TABLE orders (
  id serial PRIMARY KEY,
  customer_id integer NOT NULL,
  placed date,
  status order_status NOT NULL DEFAULT 'new'
);

CREATE TABLE order_lines (
  order_id integer NOT NULL,
  line_no smallint NOT NULL,
  qty integer NOT NULL DEFAULT 1,
  PRIMARY KEY (order_id, line_no)
);

CREATE VIEW customer_names AS SELECT id, name FROM customers;

INSERT INTO customers (name, email, size) VALUES ('Ann', 'ann@example.com', 'S'), ('Bob', NULL, 'L');
GRANT SELECT ON ALL TABLES IN SCHEMA public TO tw_sync_reader;
