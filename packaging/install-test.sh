#!/usr/bin/env bash
# Installs the build into a temporary folder, checks the layout and the
# desktop files, and starts the installed program on a demo installation
# until its main window shows.
set -euo pipefail
build=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root/dest" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/dest/usr"
for f in bin/korva bin/korva-demo \
         share/korva/KORVA.htm share/korva/SQL.lng share/korva/OrvexRegistrySettings.xml \
         share/korva/korva_DEU.dll share/korva/korva_ENU.dll \
         share/applications/org.korva.Korva.desktop share/metainfo/org.korva.Korva.metainfo.xml \
         share/icons/hicolor/scalable/apps/korva.svg share/icons/hicolor/48x48/apps/korva.png \
         share/icons/hicolor/256x256/apps/korva.png \
         share/man/man1/korva.1.gz share/man/man1/korva-demo.1.gz \
         share/doc/korva/copyright share/doc/korva/changelog.gz share/doc/korva/KORVA.htm; do
  [ -s "$usr/$f" ] || fail "$f is not installed"
done
[ -x "$usr/bin/korva" ] || fail "bin/korva is not executable"
# Manual pages and the changelog are gzipped, without a name or time stamp inside
# (flags byte 0: no FNAME; bytes 4-7: no MTIME), and the pages read without warnings.
for f in share/man/man1/korva.1.gz share/man/man1/korva-demo.1.gz share/doc/korva/changelog.gz; do
  gzip -t "$usr/$f" 2>/dev/null || fail "$f is not gzipped"
  [ "$(od -An -tx1 -j3 -N5 "$usr/$f" | tr -d ' \n')" = 0000000000 ] \
    || fail "$f keeps a name or time stamp (not gzip -n)"
done
version=$("$usr/bin/korva-demo" --version | sed -n 's/^korva-demo //p')
[ -n "$version" ] || fail "korva-demo --version names no version"
# The program's own options need no display and open no window.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/korva" --version)" = "korva $version" ] \
  || fail "korva --version does not print korva $version"
env -u DISPLAY "$usr/bin/korva" --help | grep -q -- "/named:NAME, --named=NAME" || fail "korva --help lists no options"
rc=0; env -u DISPLAY "$usr/bin/korva" --no-such-option 2>/dev/null || rc=$?
[ "$rc" = 2 ] || fail "korva --no-such-option ended with $rc instead of 2"
for page in korva korva-demo; do
  text=$(zcat "$usr/share/man/man1/$page.1.gz")
  out=$(printf '%s\n' "$text" | groff -man -ww -z 2>&1) || fail "$page.1 does not format"
  [ -z "$out" ] || fail "$page.1: $out"
  printf '%s\n' "$text" | grep -q "^\.TH .* \"korva $version\" " || fail "$page.1 is not for version $version"
done
zcat "$usr/share/doc/korva/changelog.gz" | sed -n 1p | grep -q "^korva ($version) " \
  || fail "the changelog's first entry is not for version $version"
# The guide in the doc folder is the one the program reads, linked relative.
[ -L "$usr/share/doc/korva/KORVA.htm" ] && [ "$(readlink "$usr/share/doc/korva/KORVA.htm")" = ../../korva/KORVA.htm ] \
  || fail "share/doc/korva/KORVA.htm is not a relative link to share/korva/KORVA.htm"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' "$usr/share/doc/korva/copyright" \
  || fail "share/doc/korva/copyright is not in the machine-readable format"
# Nothing of the build's own (tests, benchmarks, libraries) is installed.
extra=$(cd "$usr" && find . -type f -o -type l \
  | grep -Ev '^\./(bin/korva|bin/korva-demo|share/korva/|share/applications/|share/metainfo/|share/icons/)' \
  | grep -Ev '^\./share/(man/man1/korva(-demo)?\.1\.gz|doc/korva/(copyright|changelog\.gz|KORVA\.htm)|lintian/overrides/korva)$' || true)
[ -z "$extra" ] || fail "unexpected files installed: $extra"

desktop-file-validate "$usr/share/applications/org.korva.Korva.desktop"
appstreamcli validate --no-net --pedantic "$usr/share/metainfo/org.korva.Korva.metainfo.xml" >/dev/null \
  || appstreamcli validate --no-net "$usr/share/metainfo/org.korva.Korva.metainfo.xml"

# The installed program on a demo installation of its own, in a home of its own.
export HOME="$root/home" XDG_CONFIG_HOME="$root/home/.config" XDG_DATA_HOME="$root/home/.local/share"
unset KORVA_PROGRAM_DIR KORVA_HKLM
mkdir -p "$HOME"
"$usr/bin/korva-demo" >/dev/null
log="$root/korva.log"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$1" >"$2" 2>&1 &
  pid=$!
  for i in $(seq 1 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q "\"Zandel Orvex Talmu\""; then
      shown=1; break
    fi
    kill -0 $pid 2>/dev/null || break
    sleep 0.2
  done
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
  [ "${shown:-0}" = 1 ]
' _ "$usr/bin/korva" "$log" || { cat "$log" >&2; fail "the installed korva did not show its main window"; }
# It wrote nothing beside itself: sticky WHERE files and the like go to the home folder.
[ -z "$(find "$usr/bin" -mindepth 1 ! -name korva ! -name korva-demo)" ] || fail "files written into bin/"
echo "install layout: 1 passed, 0 failed"
