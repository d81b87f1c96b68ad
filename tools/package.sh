#!/usr/bin/env bash
# Installs what is missing and builds the Debian package tavik-migrate_<version>_<arch>.deb into
# the project folder: a Release build of the program alone in ./build-package (or
# $PACKAGE_BUILD_DIR), with Debian's hardening flags, stripped, its library packages found by
# dpkg-shlibdeps. Prints the package's path on stdout, everything else on stderr.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PACKAGE_BUILD_DIR:-$root/build-package}
"$root/tools/install-deps.sh" >&2
cd "$root"
# Files and folders in the package get the modes Debian expects whatever the caller's umask.
umask 022

# Debian's hardening flags, all of them, which lintian looks for; no debug information, the
# program is stripped.
buildflag() {
  DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g \
    dpkg-buildflags --get "$1"
}
# Without the "all" dependency of the install step, cpack installs the program without building
# the tests, the sample generator and the benchmark.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  -DCMAKE_C_FLAGS="$(buildflag CPPFLAGS) $(buildflag CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(buildflag CPPFLAGS) $(buildflag CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(buildflag LDFLAGS)" >/dev/null
cmake --build "$build" -j2 --target tavik-migrate >&2

rm -rf "$build/packages"
cpack --config "$build/CPackConfig.cmake" -B "$build/packages" >/dev/null
packages=("$build"/packages/tavik-migrate_*.deb)
[[ ${#packages[@]} -eq 1 && -f "${packages[0]}" ]] || { echo "CPack hat kein Paket erzeugt (in $build/packages)" >&2; exit 1; }
version=$(dpkg-deb -f "${packages[0]}" Version)
logged=$(dpkg-parsechangelog -l "$root/packaging/changelog" -S Version)
if [[ "$version" != "$logged" ]]; then
  echo "Das Paket hat Version $version, packaging/changelog nennt zuoberst $logged: bitte dort einen Eintrag für $version anlegen." >&2
  exit 1
fi
mv -f "${packages[0]}" "$root/"
echo "$root/$(basename "${packages[0]}")"
