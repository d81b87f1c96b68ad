#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs, tests and packages with, when any is missing.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev libsqlcipher-dev libgl-dev
          qt6-translations-l10n xvfb xauth xdotool fonts-dejavu-core fonts-liberation
          clang libclang-rt-14-dev clang-format dpkg-dev lintian man-db)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  command -v sudo >/dev/null || { echo "Bitte als root ausführen oder sudo installieren: ${missing[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
echo "Installiere: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
