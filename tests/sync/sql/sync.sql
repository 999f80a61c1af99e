-- The database the synchronisation tests build their project from; each test
-- starts from it again and then changes it.
DROP DATABASE IF EXISTS tw_sync;
CREATE DATABASE tw_sync CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;

CREATE USER IF NOT EXISTS 'tw_sync_reader'@'127.0.0.1' IDENTIFIED BY 'Sync-Reader-7';
CREATE USER IF NOT EXISTS 'tw_sync_reader'@'localhost' IDENTIFIED BY 'Sync-Reader-7';
GRANT SELECT, SHOW VIEW ON tw_sync.* TO 'tw_sync_reader'@'127.0.0.1';
GRANT SELECT, SHOW VIEW ON tw_sync.* TO 'tw_sync_reader'@'localhost';

USE tw_sync;

CREATE TABLE customers (
  id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  name VARCHAR(40) NOT NULL,
  email VARCHAR(120),
  size ENUM('S','M','L') NOT NULL DEFAULT 'M',
  note TEXT
) ENGINE=InnoDB;

CREATE TABLE orders (
  id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  customer_id INT NOT NULL,
  placed DATE,
  status ENUM('new','paid','sent') NOT NULL DEFAULT 'new'
) ENGINE=InnoDB;

CREATE TABLE order_lines (
  order_id INT NOT NULL,
  line_no SMALLINT NOT NULL,
  qty INT NOT NULL DEFAULT 1,
  PRIMARY KEY (order_id, line_no)
) ENGINE=InnoDB;

CREATE VIEW customer_names AS SELECT id, name FROM customers;

INSERT INTO customers (name, email, size) VALUES ('Ann', 'ann@example.com', 'S'), ('Bob', NULL, 'L');
