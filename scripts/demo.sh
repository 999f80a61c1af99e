#!/usr/bin/env bash
# The demo: builds (done by make) and runs the main job on the embedded
# default. Until the generator front end exists it reports the engine version.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin/tarnwick
"$bin" --version
echo "The generation demo is not there yet: this build has the engine foundation only."
