#!/usr/bin/env bash
# Times each bench/vbs script with vbsrun and, where one exists beside it,
# the equivalent Lua 5.4 (.lua) and Python 3 (.py) program: the best of
# three runs as CPU seconds (user + system, the steadier figure on a busy
# machine), then how many times slower the script engine is than each
# (below 1 it is faster). Lua has no concat program: its strings are
# immutable, so appending in a loop is quadratic there and compares nothing.
# The loop, call and concatenation programs run long enough (tenths of a
# second) that the clock's 10 ms resolution and start-up do not decide the
# ratios.
# Usage: bench/vbs/run.sh [path/to/vbsrun]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
vbsrun="${1:-$here/../../build/bin/vbsrun}"
if [[ ! -x "$vbsrun" ]]; then
  echo "vbsrun not found at $vbsrun (build it, or pass its path)" >&2
  exit 1
fi
lua=$(command -v lua5.4 || true)
# Debian's own interpreter: a version manager's shim would add its start-up time
python=$( [[ -x /usr/bin/python3 ]] && echo /usr/bin/python3 || command -v python3 || true)
timing=$(mktemp)
output=$(mktemp)
trap 'rm -f "$timing" "$output"' EXIT

# best CPU seconds of three runs of a command; its output goes to $output
bestCpu() {
  local best="" cpu user sys wall
  for run in 1 2 3; do
    /usr/bin/time -o "$timing" -f "%e %U %S" "$@" > "$output"
    read -r wall user sys < "$timing"
    cpu=$(echo "$user + $sys" | bc -l)
    if [[ -z "$best" ]] || (( $(echo "$cpu < $best" | bc -l) )); then best=$cpu; fi
  done
  echo "$best"
}
ratio() {
  if [[ -z "$2" ]]; then echo "-"; return; fi
  # below the clock's 10 ms resolution a ratio means nothing
  if (( $(echo "$2 < 0.01" | bc -l) )); then echo "-"; return; fi
  printf '%.1fx' "$(echo "$1 / $2" | bc -l)"
}

printf '%-12s %8s %8s %8s %9s %9s  %s\n' "benchmark" "vbs s" "lua s" "py s" "vbs/lua" "vbs/py" "output"
for script in loop concat calls dictionary page; do
  vbs=$(bestCpu "$vbsrun" "$here/$script.vbs")
  vbsOut=$(tr '\n' ' ' < "$output")
  luaCpu=""
  pyCpu=""
  if [[ -n "$lua" && -f "$here/$script.lua" ]]; then luaCpu=$(bestCpu "$lua" "$here/$script.lua"); fi
  if [[ -n "$python" && -f "$here/$script.py" ]]; then pyCpu=$(bestCpu "$python" "$here/$script.py"); fi
  printf '%-12s %8.2f %8s %8s %9s %9s  %s\n' "$script" "$vbs" "${luaCpu:--}" "${pyCpu:--}" \
    "$(ratio "$vbs" "$luaCpu")" "$(ratio "$vbs" "$pyCpu")" "$vbsOut"
done
