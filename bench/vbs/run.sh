#!/usr/bin/env bash
# Times each bench/vbs script with vbsrun: the best of three runs, as wall
# clock seconds and as CPU seconds (user + system). On a busy machine the CPU
# figure is the steadier one.
# Usage: bench/vbs/run.sh [path/to/vbsrun]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
vbsrun="${1:-$here/../../build/bin/vbsrun}"
if [[ ! -x "$vbsrun" ]]; then
  echo "vbsrun not found at $vbsrun (build it, or pass its path)" >&2
  exit 1
fi
timing=$(mktemp)
trap 'rm -f "$timing"' EXIT
printf '%-12s %8s %8s  %s\n' "benchmark" "wall s" "cpu s" "output"
for script in loop concat calls dictionary page; do
  bestWall=""
  bestCpu=""
  out=""
  for run in 1 2 3; do
    out=$(/usr/bin/time -o "$timing" -f "%e %U %S" "$vbsrun" "$here/$script.vbs")
    read -r wall user sys < "$timing"
    cpu=$(echo "$user + $sys" | bc -l)
    if [[ -z "$bestWall" ]] || (( $(echo "$wall < $bestWall" | bc -l) )); then bestWall=$wall; fi
    if [[ -z "$bestCpu" ]] || (( $(echo "$cpu < $bestCpu" | bc -l) )); then bestCpu=$cpu; fi
  done
  printf '%-12s %8.2f %8.2f  %s\n' "$script" "$bestWall" "$bestCpu" "$out"
done
