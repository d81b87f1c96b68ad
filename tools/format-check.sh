#!/usr/bin/env bash
# Fails when a C++ line added or changed since BASE is not as .clang-format writes it; the code
# older than the style file is left as it is. BASE defaults to the commit before the style file
# last changed. `tools/format-check.sh --fix [BASE]` formats those lines in the working tree instead.
set -euo pipefail
cd "$(dirname "$0")/.."

fix=false
if [[ ${1:-} == --fix ]]; then
  fix=true
  shift
fi
base=${1:-$(git log -1 --format=%H -- .clang-format)^}

changes() {
  git diff -U0 --no-color "$base" -- '*.cpp' '*.h' | clang-format-diff -p1 "$@"
}

if $fix; then
  changes -i
  exit 0
fi
wrong=$(changes)
if [[ -n "$wrong" ]]; then
  echo "$wrong"
  echo "Diese geänderten Zeilen sind nicht wie .clang-format sie schreibt; tools/format-check.sh --fix formatiert sie." >&2
  exit 1
fi
