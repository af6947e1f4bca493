#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (libFuzzer, AddressSanitizer, UBSan) into
# build-fuzz (or $FUZZ_BUILD_DIR) and runs each one on a copy of its seed corpus
# (fuzz/corpus/<target>) for FUZZ_SECONDS seconds (20 by default). Any crash, leak, time-out
# or undefined behaviour fails the run; the input that caused it is kept in
# <build>/fuzz/findings/<target>/ (turn it into a test, then into a seed).
#
#   bash scripts/fuzz.sh                         every target, 20 s each (the test command)
#   FUZZ_SECONDS=3600 bash scripts/fuzz.sh       the longer run
#   FUZZ_TARGETS="fuzz_plist" bash scripts/fuzz.sh   some targets only
#   FUZZ_JOBS=1 bash scripts/fuzz.sh            one target at a time
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
targets=${FUZZ_TARGETS:-"fuzz_ffmpegReports fuzz_plist fuzz_exportSettings fuzz_quickTime fuzz_movieFacts fuzz_aliasRecord
  fuzz_clipdaterPlaylist fuzz_updateRecord fuzz_zipArchive fuzz_playItems fuzz_mdpmZone fuzz_mhlManifest"}

cmake -S . -B "$build_dir" -G Ninja -DFLUXARO_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo
# shellcheck disable=SC2086
cmake --build "$build_dir" -j2 --target $targets

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
# Each target runs on one core; FUZZ_JOBS of them at once (the machine's cores by default), so
# the test command's fuzzing takes the same checks in a fraction of the time.
jobs=${FUZZ_JOBS:-$(nproc)}
results=$(mktemp -d)
run_target() {
  local target=$1 work findings
  work=$(mktemp -d)
  findings="$build_dir/fuzz/findings/$target"
  mkdir -p "$findings"
  cp -r "fuzz/corpus/$target/." "$work/"
  if "$build_dir/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" "$work" \
      > "$build_dir/fuzz/$target.log" 2>&1; then
    : > "$results/$target.ok"
  fi
  rm -rf "$work"
}
running=0
for target in $targets; do
  echo "fuzz: $target for ${seconds}s"
  run_target "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait
failed=()
for target in $targets; do
  if [ -e "$results/$target.ok" ]; then
    echo "fuzz: $target: $(grep -aE "stat::number_of_executed_units|stat::peak_rss_mb" \
      "$build_dir/fuzz/$target.log" | tr -s ' \n' ' ')"
  else
    failed+=("$target")
    tail -n 60 "$build_dir/fuzz/$target.log" || true
  fi
done
rm -rf "$results"
if [ "${#failed[@]}" -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]} (inputs in $build_dir/fuzz/findings/)"
  exit 1
fi
echo "fuzz: no finding"
