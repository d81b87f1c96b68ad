#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in a folder of their own and runs each for a bounded time,
# starting from the seed corpus in tests/fuzz/corpus. Prints each target's executions.
# Usage: tools/fuzz.sh [seconds per target, default 60]
# A finding is kept as <build>/findings/<target>-crash-...; rerun it with <target> <file>.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
targets=(fuzz_number_text fuzz_charge_lines fuzz_data_file)
instrumentation="-O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

[[ "$seconds" =~ ^[0-9]+$ && "$seconds" -gt 0 ]] || { echo "Aufruf: $0 [Sekunden je Ziel]" >&2; exit 2; }
"$root/tools/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF -DTAVIK_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$instrumentation" -DCMAKE_CXX_FLAGS="$instrumentation" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]}"

# A smaller quarantine than the default keeps the memory of the slow targets low and their pace up.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:quarantine_size_mb=32}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/sanitizer-leaks.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The targets write small data files for every input; in memory that costs next to nothing.
scratch=$(mktemp -d /dev/shm/tavik-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
mkdir -p "$build/findings"
failed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  log="$build/$target.log"
  dictionary="$root/tests/fuzz/${target#fuzz_}.dict"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -len_control=0 -print_final_stats=1
           -artifact_prefix="$build/findings/$target-")
  [[ -f "$dictionary" ]] && options+=(-dict="$dictionary")
  mkdir -p "$corpus"
  # New inputs go into the build folder; the seeds in the repository stay as they are.
  outcome="in $seconds s"
  if ! "$build/tests/fuzz/$target" "${options[@]}" "$corpus" "$root/tests/fuzz/corpus/${target#fuzz_}" \
      >"$log" 2>&1; then
    tail -n 80 "$log" >&2
    failed+=("$target")
    outcome="bis zum Fehler"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "$target: ${runs:-?} Ausführungen $outcome, $(find "$corpus" -type f | wc -l) neue Eingaben im Korpus"
done
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "Fuzzing hat Fehler gefunden: ${failed[*]} (Eingaben in $build/findings)" >&2
  exit 1
fi
