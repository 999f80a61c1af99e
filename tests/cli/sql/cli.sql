-- The database the tarnwick program's MariaDB tests make projects of; every
-- test starts from it again. The reader account may only read it.
DROP DATABASE IF EXISTS tw_cli;
CREATE DATABASE tw_cli CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci;

CREATE USER IF NOT EXISTS 'tw_cli_reader'@'127.0.0.1' IDENTIFIED BY 'Cli:Reader@9';
CREATE USER IF NOT EXISTS 'tw_cli_reader'@'localhost' IDENTIFIED BY 'Cli:Reader@9';
GRANT SELECT, SHOW VIEW ON tw_cli.* TO 'tw_cli_reader'@'127.0.0.1';
GRANT SELECT, SHOW VIEW ON tw_cli.* TO 'tw_cli_reader'@'localhost';

USE tw_cli;

CREATE TABLE customers (
  id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  name VARCHAR(40) NOT NULL,
  email VARCHAR(120)
) ENGINE=InnoDB;

CREATE TABLE orders (
  id INT NOT NULL AUTO_INCREMENT PRIMARY KEY,
  customer_id INT NOT NULL,
  total DECIMAL(10,2),
  status ENUM('new','paid','sent') NOT NULL DEFAULT 'new'
) ENGINE=InnoDB;

CREATE VIEW big_orders AS SELECT id, total FROM orders WHERE total > 100;
