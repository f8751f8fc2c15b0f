#!/usr/bin/env bash
# The Debian package as a user gets it: builds build/brunzit_*.deb, checks it
# with lintian, desktop-file-validate and appstreamcli, installs it, uses the
# installed programs and library from /usr, starts the program from /usr/bin
# under Xvfb, and removes the package and whatever its installation brought,
# so the machine is as before.
#
# Needs root or sudo (it installs a package); without either it says so and
# skips. Environment: XVFB_DISPLAYS, the X display numbers it may use
# (default 91 to 140).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

step() { printf '\n== %s (at %ss)\n' "$*" "$SECONDS"; }
fail() { printf 'FAILED: %s\n' "$*"; exit 1; }

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo="sudo"
  else
    echo "SKIPPED: installing the package needs root or password-less sudo"
    exit 0
  fi
fi

work=$(mktemp -d)
installed_by_us=()
program_pid=""
xvfb_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  if [ ${#installed_by_us[@]} -gt 0 ]; then
    step "removing ${installed_by_us[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq -o DPkg::Lock::Timeout=600 "${installed_by_us[@]}" >/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

step "building the package"
scripts/package.sh
deb=$(ls build/brunzit_*_amd64.deb)
version=$(dpkg-deb -f "$deb" Version)
echo "$deb: version $version"
dpkg-deb -f "$deb" Depends Recommends

step "lintian"
lintian --fail-on error "$deb" || fail "lintian reports errors"

step "contents"
dpkg-deb -x "$deb" "$work/contents"
desktop-file-validate "$work"/contents/usr/share/applications/*.desktop || fail "desktop entry"
appstreamcli validate --no-net "$work"/contents/usr/share/metainfo/*.metainfo.xml || fail "AppStream metadata"
# The metadata together with the desktop entry and icons it names.
appstreamcli validate-tree --no-net "$work/contents" || fail "AppStream metadata with the installed tree"
grep -q "<release version=\"$version\"" "$work"/contents/usr/share/metainfo/*.metainfo.xml ||
  fail "the AppStream metadata names no release $version"
if find "$work/contents" -name 'libupctv*' | grep -q .; then
  fail "the third engine's stand-in is in the package"
fi

step "installing"
if dpkg-query -W -f='${Status}' brunzit 2>/dev/null | grep -q "install ok installed"; then
  fail "brunzit is already installed here; remove it first, this check installs and removes it"
fi
dpkg-query -W -f='${Package}:${Architecture}\n' | sort > "$work/before.txt"
install_package() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=600 --no-install-recommends "$root/$deb" >/dev/null
}
if ! install_package; then
  $sudo apt-get update -qq
  install_package
fi
dpkg-query -W -f='${Package}:${Architecture}\n' | sort > "$work/after.txt"
mapfile -t installed_by_us < <(comm -13 "$work/before.txt" "$work/after.txt")
echo "installed: ${installed_by_us[*]}"

step "programs from /usr/bin"
[ "$(command -v brunzit)" = /usr/bin/brunzit ] || fail "brunzit is not /usr/bin/brunzit"
[ "$(brunzit --version)" = "brunzit $version" ] || fail "brunzit --version: $(brunzit --version)"
[ "$(abaco --version)" = "abaco $version" ] || fail "abaco --version: $(abaco --version)"
[ "$(echo 2+3 | abaco)" = "2+3 = 5" ] || fail "abaco answered '$(echo 2+3 | abaco)'"
echo "brunzit and abaco answer: ok"
ldd /usr/bin/brunzit | grep -q "libBrunzitMouseHook.so => /usr/lib/.*/brunzit/libBrunzitMouseHook.so" ||
  fail "the installed program does not find its mouse-hook library: $(ldd /usr/bin/brunzit | grep -i mousehook)"
echo "mouse-hook library found in the program's private folder: ok"
for file in ca.tsv ca-pairs.tsv es.tsv es-pairs.tsv; do
  [ -s "/usr/share/brunzit/lexicon/$file" ] || fail "word prediction's lexicon $file is not installed where the program looks"
done
echo "word prediction's lexicons in /usr/share/brunzit/lexicon: ok"
for page in brunzit abaco; do
  [ -f "/usr/share/man/man1/$page.1.gz" ] || fail "no manual page for $page"
done

step "the library through pkg-config"
cat > "$work/f.c" <<'CODE'
#include <abaco32.h>
#include <stdio.h>

int main(void) {
  char block[64];
  unsigned char answer[256];
  CalcularExpressio(answer, Abaco32MakeCountedString(block, sizeof block, "7/2"));
  printf("%.*s\n", answer[0], (const char*)answer + 1);
  return 0;
}
CODE
(cd "$work" && cc f.c $(pkg-config --cflags --libs abaco32) -o f) || fail "a C program does not build with pkg-config abaco32"
[ "$("$work/f")" = "7/2 = 3.5" ] || fail "the C program answered '$("$work/f")'"
readelf -d "$work/f" | grep -q 'NEEDED.*\[libAbaco32.so.1\]' || fail "the C program does not need libAbaco32.so.1"
echo "cc f.c \$(pkg-config --cflags --libs abaco32) builds, runs and answers 7/2 = 3.5: ok"

step "the program from /usr/bin under Xvfb"
source "$root/tests/app/xvfb-session.sh"
start_xvfb || fail "no Xvfb display could be started"
xvfb_pid=$XVFB_PID
export XDG_CONFIG_HOME="$work/config"
unset QT_QPA_PLATFORM
ls -a /usr/bin > "$work/usr-bin-before.txt"
# Run from another folder: nothing may land in the working folder either.
mkdir "$work/cwd"
cd "$work/cwd"
start_program /usr/bin/brunzit "$work/program.log"
program_pid=$PROGRAM_PID
tts=$(wait_for_window "TTS - Projecte Remor 2016" 30 --onlyvisible) ||
  { cat "$work/program.log"; fail "the speech window never appeared"; }
echo "the speech window asks for a voice: ok"
xdotool windowfocus --sync "$tts" 2>/dev/null || xdotool windowfocus "$tts"
xdotool key Return
wait_for_window "Sense nom - brunzit" 30 --onlyvisible >/dev/null ||
  { cat "$work/program.log"; fail "the main window never appeared"; }
echo "the main window follows: ok"
grep -q "Numero sintetitzador=" "$XDG_CONFIG_HOME/brunzit/brunzit.ini" ||
  fail "the chosen voice is not in \$XDG_CONFIG_HOME/brunzit/brunzit.ini"
[ -f "$XDG_CONFIG_HOME/brunzit/mussol.ini" ] || fail "mussol.ini is not in \$XDG_CONFIG_HOME/brunzit"
ls -a /usr/bin | diff "$work/usr-bin-before.txt" - || fail "the program wrote into /usr/bin"
[ -z "$(ls -A "$work/cwd")" ] || fail "the program wrote into its working folder: $(ls -A "$work/cwd")"
echo "settings in \$XDG_CONFIG_HOME/brunzit, nothing beside the program: ok"
kill "$program_pid"; wait "$program_pid" 2>/dev/null || true; program_pid=""

echo
echo "Debian package: all checks passed"
