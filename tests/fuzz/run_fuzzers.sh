#!/usr/bin/env bash
# Runs every fuzzer of a clang fuzz build (or the NAMEs given) for SECONDS each and prints
# a table of what each did; exits 1 when one of them found a fault.
#   run_fuzzers.sh BUILD_DIR CORPUS_DIR SECONDS [NAME...]
# A fuzzer is a program bin/NAME_fuzz; it starts from CORPUS_DIR/NAME
# and from what earlier runs found (BUILD_DIR/corpus/NAME, where new inputs go); the input
# of a fault goes to BUILD_DIR/faults/NAME-*.
set -uo pipefail
build=$(cd "$1" && pwd) corpus=$(cd "$2" && pwd) seconds=$3
shift 3
mkdir -p "$build/corpus" "$build/faults" "$build/logs"
# The stack of a deep parse and slow but bounded inputs (the model database's own limits
# are two minutes to open) are not faults.
options=(-max_total_time="$seconds" -timeout=150 -rss_limit_mb=3072 -print_final_stats=1 -close_fd_mask=1)
status=0
summary=()
shopt -s nullglob
programs=("$build"/bin/*_fuzz)
if [ $# -gt 0 ]; then
  programs=()
  for name in "$@"; do programs+=("$build/bin/${name}_fuzz"); done
fi
for program in "${programs[@]}"; do
  name=$(basename "$program")
  name=${name%_fuzz}
  if [ ! -x "$program" ]; then
    echo "no fuzzer $name in $build/bin" >&2
    status=1
    continue
  fi
  work="$build/corpus/$name"
  mkdir -p "$work"
  seeds=()
  [ -d "$corpus/$name" ] && seeds=("$corpus/$name")
  log="$build/logs/$name.log"
  echo "== $name: $seconds s"
  (cd "$build" && "$program" "${options[@]}" -artifact_prefix="$build/faults/$name-" "$work" "${seeds[@]}") >"$log" 2>&1
  rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  verdict=clean
  if [ $rc -ne 0 ]; then
    verdict="FAULT (see $log)"
    grep -m3 -E "ERROR|SUMMARY|runtime error|dxf_fuzz:" "$log" | sed 's/^/   /'
    status=1
  fi
  summary+=("$(printf '%-12s %12s runs %8s exec/s  %s' "$name" "${runs:-?}" "${speed:-?}" "$verdict")")
done
echo "== fuzz summary ($seconds s each)"
printf '%s\n' "${summary[@]}"
exit $status
