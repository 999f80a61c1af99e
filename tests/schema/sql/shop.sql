-- A shop database for the schema tests: every column type the bridge maps,
-- enumeration and set columns, composite keys and key columns whose names
-- need quoting, views, auto-increment columns, defaults, unique indexes,
-- names with blanks and non-ASCII letters, and a sequence (an object that is
-- neither a table nor a view).
DROP DATABASE IF EXISTS tw_shop;
DROP DATABASE IF EXISTS tw_archive;
CREATE DATABASE tw_shop CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
CREATE DATABASE tw_archive CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;

CREATE USER IF NOT EXISTS 'tw_reader'@'127.0.0.1' IDENTIFIED BY 'Secret-42';
CREATE USER IF NOT EXISTS 'tw_reader'@'localhost' IDENTIFIED BY 'Secret-42';
GRANT SELECT, SHOW VIEW ON tw_shop.* TO 'tw_reader'@'127.0.0.1';
GRANT SELECT, SHOW VIEW ON tw_shop.* TO 'tw_reader'@'localhost';

USE tw_shop;

CREATE TABLE all_types (
  id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
  c_tinyint TINYINT,
  c_tinyint_u TINYINT UNSIGNED,
  c_smallint SMALLINT NOT NULL DEFAULT 7,
  c_smallint_u SMALLINT UNSIGNED,
  c_mediumint MEDIUMINT,
  c_int INT,
  c_int_u INT UNSIGNED,
  c_bigint BIGINT,
  c_bigint_u BIGINT UNSIGNED,
  c_decimal DECIMAL(12,3) DEFAULT 1.500,
  c_float FLOAT,
  c_double DOUBLE,
  c_bit1 BIT(1),
  c_bit12 BIT(12),
  c_date DATE,
  c_datetime DATETIME,
  c_timestamp TIMESTAMP NULL DEFAULT CURRENT_TIMESTAMP,
  c_time TIME,
  c_year YEAR,
  c_char CHAR(10),
  c_varchar VARCHAR(50) DEFAULT 'it''s',
  c_binary BINARY(4),
  c_varbinary VARBINARY(16),
  c_tinytext TINYTEXT,
  c_text TEXT,
  c_mediumtext MEDIUMTEXT,
  c_longtext LONGTEXT,
  c_tinyblob TINYBLOB,
  c_blob BLOB,
  c_mediumblob MEDIUMBLOB,
  c_longblob LONGBLOB,
  c_enum ENUM('small','medium','large') NOT NULL DEFAULT 'medium',
  c_set SET('red','green','blue'),
  c_json JSON,
  c_uuid UUID,
  c_inet6 INET6,
  c_point POINT,
  c_geometry GEOMETRY
) ENGINE=InnoDB;

-- A composite key declared in another order than its columns, on columns
-- whose names hold blanks.
CREATE TABLE `order lines` (
  `order id` INT NOT NULL,
  `line no` SMALLINT NOT NULL,
  qty INT NOT NULL DEFAULT 1,
  note VARCHAR(200) DEFAULT NULL,
  label VARCHAR(40) NOT NULL DEFAULT '',
  PRIMARY KEY (`line no`, `order id`)
) ENGINE=InnoDB;

CREATE TABLE `Kunden` (
  `Kundennummer` INT NOT NULL PRIMARY KEY,
  `Straße` VARCHAR(80),
  `Größe` ENUM('S','M','L','it''s'),
  `e-mail` VARCHAR(120) NOT NULL,
  UNIQUE KEY uq_mail (`e-mail`),
  KEY k_strasse (`Straße`),
  UNIQUE KEY uq_pair (`Straße`, `Größe`)
) ENGINE=InnoDB;

CREATE TABLE flags (
  id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  active ENUM('Y','N') NOT NULL DEFAULT 'Y',
  answer ENUM('N','Y'),
  tags SET('a','b')
) ENGINE=InnoDB;

CREATE TABLE `we``ird name` (
  `a``b` INT NOT NULL PRIMARY KEY
) ENGINE=InnoDB;

CREATE VIEW `big orders` AS
  SELECT `order id`, SUM(qty) AS total FROM `order lines` GROUP BY `order id` HAVING SUM(qty) > 10;

CREATE VIEW v_customers AS
  SELECT `Kundennummer`, `e-mail` AS mail, `Größe` FROM `Kunden`;

CREATE SEQUENCE invoice_numbers;

INSERT INTO `Kunden` VALUES (1, 'Hauptstraße 1', 'M', 'a@example.org'), (2, 'Nebenweg 2', 'S', 'b@example.org');

USE tw_archive;
CREATE TABLE old_orders (id INT NOT NULL PRIMARY KEY, placed DATE);

-- Relations, value lists and yes/no columns: a self-reference, a composite
-- foreign key, two foreign keys to one table, a reference into another
-- database, CHECK lists and each Boolean form, and a system-versioned table.
DROP DATABASE IF EXISTS tw_rel;
CREATE DATABASE tw_rel CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;
GRANT SELECT, SHOW VIEW ON tw_rel.* TO 'tw_reader'@'127.0.0.1';
GRANT SELECT, SHOW VIEW ON tw_rel.* TO 'tw_reader'@'localhost';
USE tw_rel;

CREATE TABLE staff (
  id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  full_name VARCHAR(60) NOT NULL,
  manager_id INT NULL,
  active TINYINT(1) NOT NULL DEFAULT 1,
  on_leave BIT(1) NOT NULL DEFAULT b'0',
  level TINYINT,
  status VARCHAR(12) CHECK (status IN ('new', 'it''s done')),
  CONSTRAINT fk_staff_manager FOREIGN KEY (manager_id) REFERENCES staff (id)
) ENGINE=InnoDB;

CREATE TABLE sites (
  region CHAR(2) NOT NULL,
  code INT NOT NULL,
  PRIMARY KEY (region, code)
) ENGINE=InnoDB;

CREATE TABLE visits (
  id INT NOT NULL PRIMARY KEY,
  site_code INT,
  site_region CHAR(2),
  host_id INT,
  guest_id INT,
  archived_id INT,
  size CHAR(1),
  CONSTRAINT size_list CHECK ((`size` in ('S','M','L'))),
  CONSTRAINT not_a_list CHECK (host_id IS NULL OR host_id > 0),
  CONSTRAINT fk_visit_site FOREIGN KEY (site_region, site_code) REFERENCES sites (region, code),
  CONSTRAINT fk_visit_host FOREIGN KEY (host_id) REFERENCES staff (id),
  CONSTRAINT fk_visit_guest FOREIGN KEY (guest_id) REFERENCES staff (id),
  CONSTRAINT fk_visit_archive FOREIGN KEY (archived_id) REFERENCES tw_archive.old_orders (id)
) ENGINE=InnoDB;

CREATE TABLE prices (
  id INT NOT NULL PRIMARY KEY,
  price DECIMAL(8,2)
) WITH SYSTEM VERSIONING;
