#!/usr/bin/env bash
# Runs each fuzz target for a bounded time, starting from its committed
# seed corpus (copied, so the checkout is never changed).
#   tests/fuzz/run.sh BUILD_DIR SECONDS [extra libFuzzer flags...]
# Exits non-zero on the first target that finds anything.
set -euo pipefail
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for target in notebake pcmar names; do
  mkdir -p "$work/$target" "$work/artifacts-$target"
  cp "$here/corpus/$target/"* "$work/$target/"
  echo "== fuzz_$target for ${seconds}s"
  status=0
  "$build/tests/fuzz/fuzz_$target" "$work/$target" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts-$target/" "$@" >"$work/log-$target" 2>&1 || status=$?
  grep -E '^#[0-9]+ +DONE|^stat::(number_of_executed_units|peak_rss_mb)' "$work/log-$target" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/log-$target"
    echo "fuzz_$target found a failing input (exit $status):"
    for f in "$work/artifacts-$target/"*; do [ -e "$f" ] && { echo "$f"; xxd "$f" | head -20; }; done
    exit 1
  fi
done
echo "fuzzing found nothing"
