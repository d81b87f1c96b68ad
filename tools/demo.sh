#!/usr/bin/env bash
# Installs what is missing, builds, makes a sample hotel and runs the migration on it: in the
# window when there is a display, in batch mode otherwise.
# The sample's paths reach the program through its own settings store, kept in a folder of the
# sample (XDG_CONFIG_HOME), so the user's real settings are neither read nor touched.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/tools/install-deps.sh"
"$root/tools/build.sh"

sample="$build/sample-hotel"
"$build/tools/tavik-sample" --reservations "${RESERVATIONS:-500}" "$sample"

config="$sample/config"
mkdir -p "$config/VB and VBA Program Settings"
printf '[Startup]\nDatenpfad="%s"\n' "$sample/tavik_20.mdb" > "$config/VB and VBA Program Settings/Tavik 2.0.conf"
printf '[Startup]\nDatenpfad="%s"\n' "$sample/tavik_50.mdb" > "$config/VB and VBA Program Settings/Tavik 5.0.conf"

# The sample hotel's amounts and rates are typed as a German office types them ("19,0"), and the
# program reads numbers in the user's format: the demo runs in the hotel's (Qt knows it without the
# system's locale files, and env keeps the shell from asking for them).
hotel=(env LC_ALL=de_DE.UTF-8 XDG_CONFIG_HOME="$config")
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "${hotel[@]}" "$build/app/tavik-migrate"
fi
echo "Kein Bildschirm gefunden: die Übernahme läuft ohne Fenster (tavik-migrate --batch)."
exec "${hotel[@]}" "$build/app/tavik-migrate" --batch --vat 19 --force --report "$sample/bericht.json"
