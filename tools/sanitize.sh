#!/usr/bin/env bash
# Builds the whole project once more under AddressSanitizer and UndefinedBehaviorSanitizer into
# ./build-asan (or $ASAN_BUILD_DIR) and runs every test there. Any finding fails its test: UBSan
# stops at the first one, LeakSanitizer fails a test whose process leaks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-$root/build-asan}
sanitizers="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"

"$root/tools/install-deps.sh"
# -O1 keeps stack traces readable and the build quick; NDEBUG as in the normal build, so the tests
# see the same program.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$sanitizers" -DCMAKE_CXX_FLAGS="$sanitizers" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" >/dev/null
cmake --build "$build" -j2

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1:strict_init_order=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tests/sanitizer-leaks.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
cd "$build"
ctest --output-on-failure -j2
