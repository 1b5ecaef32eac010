#!/usr/bin/env bash
# Builds the Debian package from the finished build, checks its name, Depends and contents and has
# lintian check it, extracts it into a scratch root, checks the programs' hardening and runs them from
# there without a display: version, help, and a recording from the extracted simulator through the
# headless commands.
# usage: check_deb.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
scratch=$(mktemp -d)
sim=
cleanup() {
  [[ -z $sim ]] || kill "$sim" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb=$scratch/out/mevrant_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no $deb; cpack wrote: $(ls "$scratch/out")"

[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libc6 fonts-dejavu-core qt6-translations-l10n; do
  [[ ", $depends," == *", $lib"[\ ,]* ]] || fail "Depends lacks $lib"
done

# Debian's own checker: any error fails the test; its warnings and notes are shown in the log.
command -v lintian >/dev/null || fail "lintian is missing (scripts/bootstrap installs it)"
status=0
report=$(lintian --display-info --fail-on error "$deb" 2>&1) || status=$?
[[ -z $report ]] || echo "$report"
((status == 0)) && ! grep -q '^E: ' <<<"$report" || fail "lintian reports errors (status $status)"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in bin/mevrant bin/mevrant-sim share/applications/mevrant.desktop \
  share/icons/hicolor/scalable/apps/mevrant.svg share/icons/hicolor/48x48/apps/mevrant.png \
  share/icons/hicolor/128x128/apps/mevrant.png share/icons/hicolor/256x256/apps/mevrant.png \
  share/metainfo/de.mevrant.mevrant.metainfo.xml share/man/man1/mevrant.1.gz share/man/man1/mevrant-sim.1.gz \
  share/doc/mevrant/copyright share/doc/mevrant/changelog.gz; do
  grep -qx "\./usr/$f" <<<"$contents" || fail "package lacks /usr/$f"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
doc=$root/usr/share/doc/mevrant
grep -qx 'License: GPL-3.0-or-later' "$doc/copyright" || fail "the copyright file names no GPL-3.0-or-later"
[[ $(gzip -dc "$doc/changelog.gz" | head -1) == "mevrant ($version) "* ]] ||
  fail "the changelog's entry is not of $version"
for size in 48 128 256; do
  info=$(file -b "$root/usr/share/icons/hicolor/${size}x${size}/apps/mevrant.png")
  [[ $info == *"$size x $size"* ]] || fail "the $size px icon is $info"
done
if command -v man >/dev/null; then
  for page in mevrant mevrant-sim; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l -Tutf8 -Z "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "manual page $page: $warnings"
  done
fi

# The shipped programs carry Debian's hardening: PIE, stack protector, fortified calls (each program
# calls some, so "only unprotected functions found" means it was built without), full RELRO. Control
# flow protection is not among the flags this release of Debian builds with, so it is not asked.
command -v hardening-check >/dev/null || fail "hardening-check is missing (scripts/bootstrap installs devscripts)"
hardening-check --nocfprotection "$root/usr/bin/mevrant" "$root/usr/bin/mevrant-sim" ||
  fail "a program lacks a hardening feature"

# The extracted programs, with the libraries of this system, and no display: --version, --help and
# the subcommands need none.
bin=$root/usr/bin
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
out=$("$bin/mevrant" --version)
[[ $out == "Mevrant $version" ]] || fail "mevrant --version printed '$out'"
grep -q 'mevrant record --port NAME' <<<"$("$bin/mevrant" --help)" || fail "mevrant --help"
grep -q '^usage: mevrant-sim' <<<"$("$bin/mevrant-sim" --help)" || fail "mevrant-sim --help"

# The simulator runs on until killed: with --count it may end while the last lines are still on their
# way through a loaded machine's terminal layer, and record would see the device go first.
coproc SIM { exec "$bin/mevrant-sim" --wave ramp --rate 1000; }
sim=$SIM_PID
read -r device <&"${SIM[0]}"
[[ $("$bin/mevrant" record --port "$device" --count 5 -o "$scratch/run.mvx") == 5 ]] ||
  fail "mevrant record did not take 5 samples"
"$bin/mevrant" csv "$scratch/run.mvx" -o "$scratch/run.csv"
[[ $(head -1 "$scratch/run.csv") == $'sample,time,value\r' && $(wc -l <"$scratch/run.csv") -eq 6 ]] ||
  fail "mevrant csv wrote: $(cat "$scratch/run.csv")"
"$bin/mevrant" render "$scratch/run.mvx" -o "$scratch/run.bmp" --size 300x200
[[ $(file -b "$scratch/run.bmp") == *"300 x 200"* ]] || fail "mevrant render wrote: $(file -b "$scratch/run.bmp")"
echo "package $deb: contents, Depends and programs are right"
