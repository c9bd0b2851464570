#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as apt sees it: its name, fields, computed dependencies and files, and the
# programs it installs (run from the unpacked package, each prints the project's version).
# Usage: package_test.sh DEB_FOLDER VERSION
set -uo pipefail
folder=$1
version=$2
arch=$(dpkg --print-architecture)
deb="$folder/plotmira_${version}_${arch}.deb"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if [ ! -f "$deb" ]; then
    echo "FAIL: no package $deb; found: $(ls "$folder" 2>/dev/null | tr '\n' ' ')"
    exit 1
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = plotmira ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = electronics ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"

# Depends comes from the binaries: the Qt 6 libraries with their minimum versions, FFTW (the
# spectra), the C and C++ runtimes, and the platform plugins the window needs on a desktop.
depends=$(field Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libfftw3-double3 libc6 \
    libstdc++6; do
    [[ ", $depends" == *", $lib (>= "[0-9]* ]] || fail "Depends lacks '$lib (>= ...)': $depends"
done
[[ ", $depends," == *", qt6-qpa-plugins"[,\ ]* ]] || fail "Depends lacks qt6-qpa-plugins: $depends"

[ "$(field Recommends)" = qt6-translations-l10n ] ||
    fail "Recommends is '$(field Recommends)', not qt6-translations-l10n"

# Exactly these files, owned by root, under /usr.
expected="./usr/bin/plotmira
./usr/bin/plotmira-cli
./usr/bin/plotmira-sim
./usr/share/applications/plotmira.desktop
./usr/share/icons/hicolor/scalable/apps/plotmira.svg
./usr/share/man/man1/plotmira-cli.1.gz
./usr/share/man/man1/plotmira-sim.1.gz
./usr/share/man/man1/plotmira.1.gz"
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sort)
[ "$files" = "$expected" ] || fail "files differ from the expected list:
$(diff <(echo "$expected") <(echo "$files"))"
awk '$2 != "root/root" {print}' <<<"$listing" | grep -q . && fail "files not owned by root"
awk '$6 ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x" {print}' <<<"$listing" | grep -q . &&
    fail "programs not mode 0755"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for program in plotmira plotmira-cli plotmira-sim; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version 2>&1)
    [ "$out" = "$program $version" ] || fail "$program --version printed '$out'"
    file -b "$root/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
done

# The desktop entry starts an installed program and names an installed icon.
desktop="$root/usr/share/applications/plotmira.desktop"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$root/usr/bin/$exec_name" ] || fail "desktop entry starts '$exec_name', not in /usr/bin"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] ||
    fail "desktop entry names icon '$icon_name', not installed"
grep -q '^Type=Application$' "$desktop" || fail "desktop entry is not an application"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the entry"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package $deb: fields, files and programs as expected"
