#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as apt, a distribution and a software centre see it: its name, fields,
# computed dependencies and files, the programs it installs (run from the unpacked package,
# each prints the project's version), the desktop entry and AppStream metainfo, and the verdicts
# of lintian (no error, no warning) and hardening-check.
# Usage: package_test.sh DEB_FOLDER VERSION   (the folder that tools/build-package filled)
set -uo pipefail
folder=$1
version=$2
arch=$(dpkg --print-architecture)
deb="$folder/plotmira_${version}_${arch}.deb"
changes="$folder/debian-build/plotmira_${version}_${arch}.changes"
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
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[a-z0-9.-]+\.[a-z]+\>$ ]] &&
    [[ "$(field Maintainer)" != *localhost* ]] || fail "Maintainer is '$(field Maintainer)'"
description=$(field Description)
synopsis=$(head -n1 <<<"$description")
[ -n "$synopsis" ] && [ ${#synopsis} -le 80 ] || fail "synopsis '$synopsis'"
[ "$(wc -l <<<"$description")" -ge 4 ] || fail "no long description: $description"

# Depends: every library the programs load (the Qt 6 libraries, FFTW for the spectra, the C and
# C++ runtimes), as dpkg-shlibdeps found it with the minimum version its package declares, and
# the platform plugins the window needs on a desktop.
depends=$(field Depends)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for program in plotmira plotmira-cli plotmira-sim; do
    for soname in $(objdump -p "$root/usr/bin/$program" | awk '$1 == "NEEDED" {print $2}'); do
        path=$(ldconfig -p | awk -v s="$soname" '$1 == s {print $NF; exit}')
        owner=$(dpkg -S "$(realpath "$path")" 2>/dev/null | head -n1 | cut -d: -f1)
        [ -n "$owner" ] || owner=$(dpkg -S "$path" 2>/dev/null | head -n1 | cut -d: -f1)
        [[ ", $depends," == *", $owner"[,\ ]* ]] ||
            fail "$program loads $soname of $owner, which Depends lacks: $depends"
    done
done
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libfftw3-double3 libc6 \
    libstdc++6; do
    [[ ", $depends" == *", $lib (>= "[0-9]* ]] || fail "Depends lacks '$lib (>= ...)': $depends"
done
[[ ", $depends," == *", qt6-qpa-plugins"[,\ ]* ]] || fail "Depends lacks qt6-qpa-plugins: $depends"
[ "$(field Recommends)" = "qt6-translations-l10n, qt6-wayland" ] ||
    fail "Recommends is '$(field Recommends)', not Qt's German texts and its Wayland plugin"

# Exactly these files, owned by root, under /usr.
expected="./usr/bin/plotmira
./usr/bin/plotmira-cli
./usr/bin/plotmira-sim
./usr/share/applications/org.plotmira.Plotmira.desktop
./usr/share/doc/plotmira/changelog.gz
./usr/share/doc/plotmira/copyright
$(for s in 16 24 32 48 64 128 256; do echo "./usr/share/icons/hicolor/${s}x$s/apps/plotmira.png"; done)
./usr/share/icons/hicolor/scalable/apps/plotmira.svg
./usr/share/man/man1/plotmira-cli.1.gz
./usr/share/man/man1/plotmira-sim.1.gz
./usr/share/man/man1/plotmira.1.gz
./usr/share/metainfo/org.plotmira.Plotmira.metainfo.xml"
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sort)
[ "$files" = "$(sort <<<"$expected")" ] || fail "files differ from the expected list:
$(diff <(sort <<<"$expected") <(echo "$files"))"
awk '$2 != "root/root" {print}' <<<"$listing" | grep -q . && fail "files not owned by root"
awk '$6 ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x" {print}' <<<"$listing" | grep -q . &&
    fail "programs not mode 0755"

for program in plotmira plotmira-cli plotmira-sim; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$program" --version 2>&1)
    [ "$out" = "$program $version" ] || fail "$program --version printed '$out'"
    file -b "$root/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
done
for s in 16 24 32 48 64 128 256; do
    file -b "$root/usr/share/icons/hicolor/${s}x$s/apps/plotmira.png" | grep -q "PNG image data, $s x $s," ||
        fail "the ${s}x$s icon is not a $s x $s PNG"
done

# The desktop entry starts an installed program and names an installed icon.
desktop="$root/usr/share/applications/org.plotmira.Plotmira.desktop"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$root/usr/bin/$exec_name" ] || fail "desktop entry starts '$exec_name', not in /usr/bin"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] ||
    fail "desktop entry names icon '$icon_name', not installed"
grep -q '^Type=Application$' "$desktop" || fail "desktop entry is not an application"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the entry"

# The software centres' description: valid, launching the installed entry, at this release.
metainfo="$root/usr/share/metainfo/org.plotmira.Plotmira.metainfo.xml"
appstreamcli validate --no-net --explain "$metainfo" || fail "appstreamcli rejects the metainfo"
grep -q '<launchable type="desktop-id">org.plotmira.Plotmira.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch the installed desktop entry"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
grep -q '<screenshot type="default">' "$metainfo" || fail "the metainfo shows no screenshot"
for lang in '' ' xml:lang="de"'; do
    grep -q "<summary$lang>" "$metainfo" || fail "the metainfo has no summary$lang"
done

head -n1 "$root/usr/share/doc/plotmira/copyright" |
    grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not machine-readable"

# lintian over the whole build (package, .buildinfo and .changes): no error and no warning.
# Every tag it gives, the informational ones too, is printed for the record.
if [ -f "$changes" ]; then
    lintian --fail-on error,warning --display-info --tag-display-limit 0 "$changes" ||
        fail "lintian reports errors or warnings"
else
    fail "no $changes: the package was not built by tools/build-package"
fi
# Control-flow protection is left out: it needs the C library's start files built with it, and
# Debian 12's are not (an empty program built with -fcf-protection fails that check too).
for program in plotmira plotmira-cli plotmira-sim; do
    hardening-check --nocfprotection "$root/usr/bin/$program" || fail "hardening-check fails $program"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package $deb: fields, files, programs, lintian and hardening as expected"
