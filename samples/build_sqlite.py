#!/usr/bin/env python3
"""Builds the SQLite sample database from samples/sample-sqlite.sql.

    python3 samples/build_sqlite.py [OUT]     # default: samples/sample.sqlite
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_data import HERE, build_sqlite  # noqa: E402

if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "sample.sqlite")
    build_sqlite(os.path.join(HERE, "sample-sqlite.sql"), out)
    print(out)
