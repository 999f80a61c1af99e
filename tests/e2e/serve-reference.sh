#!/usr/bin/env bash
# Serves the reference application on the SQLite sample for a look in a
# browser: assembles it in a temporary folder and runs php -S until Ctrl-C.
#   tests/e2e/serve-reference.sh [PORT]     (default 8080)
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
port=${1:-8080}
work=$(mktemp -d /tmp/tarnwick-reference.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -r "$src/tests/e2e/reference" "$work/app"
cp -r "$src/templates/default/lib" "$work/app/lib"
cp -r "$src/templates/default/assets" "$work/app/public/assets"
mkdir -p "$work/db" "$work/sessions"
python3 "$src/samples/build_sqlite.py" "$work/db/sample.sqlite" >/dev/null
cat >"$work/app/config.local.php" <<PHP
<?php
return ['db' => ['driver' => 'sqlite', 'path' => '$work/db/sample.sqlite'], 'app' => ['session_path' => '$work/sessions']];
PHP
echo "Open http://127.0.0.1:$port/ (log in as ceo / tarnwick-demo); Ctrl-C stops."
cd "$work/app" && php -S "127.0.0.1:$port" -t public router.php
