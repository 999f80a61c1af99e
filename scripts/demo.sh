#!/usr/bin/env bash
# The demo: builds (done by make) and runs the main job on the embedded
# default: the sample SQLite database through the default template into
# ./demo-app, with the sample application's settings.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin/tarnwick
"$bin" --version
"$bin" demo "${1:-demo-app}"
