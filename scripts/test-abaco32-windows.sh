#!/usr/bin/env bash
# Cross-builds Abaco32.dll (32-bit x86 Windows, stdcall) and the Windows build of
# the Abaco32 test program, checks the DLL's export table, and runs the test
# program under wine: the fixed checks of every export, then the answers to the
# random expressions, which must equal those of libAbaco32.so and of the engine
# linked in directly, byte for byte.
#
# Usage: scripts/test-abaco32-windows.sh [build folder]   (default build-abaco32-windows)
# Environment: ABACO32_RANDOM_COUNT (default 1000).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(mkdir -p "${1:-$root/build-abaco32-windows}" && cd "${1:-$root/build-abaco32-windows}" && pwd)
count=${ABACO32_RANDOM_COUNT:-1000}
cross=i686-w64-mingw32
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

step() { printf '\n== %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*"; exit 1; }

# ---- tools -------------------------------------------------------------------
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

install_tools() {
  local wanted=(g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 cmake ninja-build g++)
  local missing=()
  for p in "${wanted[@]}"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  step "installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# wine32 is a 32-bit Linux program. Some kernels (virtual machines among them)
# refuse i386 executables; there, qemu's user-mode emulator runs them, handed
# every i386 executable through binfmt_misc. wine needs qemu 8.1 or later
# (earlier ones place fixed-address mappings elsewhere and wine cannot start),
# which Debian 12 has in its backports suite.
qemu_major() { qemu-i386 --version 2>/dev/null | awk 'NR == 1 {split($3, v, "."); print v[1] + 0}'; }

ensure_i386_programs_run() {
  local probe=$build/i386-probe misc=/proc/sys/fs/binfmt_misc
  printf '.globl _start\n_start:\n movl $1,%%eax\n movl $0,%%ebx\n int $0x80\n' > "$probe.s"
  as --32 "$probe.s" -o "$probe.o" && ld -m elf_i386 "$probe.o" -o "$probe"
  if [ ! -e $misc/qemu-i386 ] && "$probe" 2> /dev/null; then return 0; fi
  step "i386 programs run under qemu-i386"
  if [ "$(qemu_major)" = "" ] || [ "$(qemu_major)" -lt 8 ]; then
    local codename
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    if ! apt-cache policy qemu-user | grep -q "$codename-backports"; then
      printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$codename" | $sudo tee /etc/apt/sources.list.d/backports.sources > /dev/null
      $sudo apt-get update -qq
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
      -t "$codename-backports" qemu-user
  fi
  [ "$(qemu_major)" -ge 8 ] || fail "qemu-i386 $(qemu_major) is too old for wine"
  [ -e $misc/register ] || $sudo mount -t binfmt_misc binfmt_misc $misc
  # Registered afresh, so the emulator opened for it is the one installed now.
  [ -e $misc/qemu-i386 ] && echo -1 | $sudo tee $misc/qemu-i386 > /dev/null
  echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' |
    $sudo tee $misc/register > /dev/null
  "$probe" || fail "i386 programs still do not run"
}

# ---- builds ------------------------------------------------------------------
build_windows() {
  step "cross-building Abaco32.dll and abaco32_client.exe"
  local flags=(-O2 -DNDEBUG -Wall -Wextra -msse2 -mfpmath=sse -I"$root")
  # One source for both builds: the library and its own build of the engine.
  $cross-gcc -std=gnu17 "${flags[@]}" -c -o "$build/trigonometry.o" "$root/calclib/trigonometry.c"
  # The engine's sources, without the terminal calculator's program.
  local engine=()
  for source in "$root"/calc/*.cpp; do
    [ "$(basename "$source")" = abaco.cpp ] || engine+=("$source")
  done
  $cross-g++ -std=c++20 "${flags[@]}" -shared -static-libgcc -static-libstdc++ \
    -o "$build/Abaco32.dll" "$root/calclib/abaco32.cpp" "$build/trigonometry.o" "${engine[@]}" \
    "$root/calclib/Abaco32.def" -Wl,--kill-at
  $cross-gcc -std=c11 "${flags[@]}" -o "$build/abaco32_client.exe" \
    "$root/tests/calclib/abaco32_client.c" "$root/tests/calclib/randomexpressions.c"
}

build_linux() {
  step "building libAbaco32.so and its test program"
  cmake -S "$root" -B "$build/linux" -G Ninja -DBRUNZIT_BUILD_GUI=OFF > "$build/linux-configure.log"
  cmake --build "$build/linux" --target Abaco32 abaco32_client abaco32_engine_answers -j2
}

# ---- export table -------------------------------------------------------------
# Names, ordinals and the bytes of arguments each export removes (ret $n).
expected_exports="analitzar 2 12
Calcular 3 12
CalcularXYZUV 4 48
DonarDades 5 12
DonarOperacions 6 12
CalcularExpressio 7 8
ProcCalcularExpressio 8 8
CalcularCurrency 9 8"

# The address of an ordinal: "[   1] +base[   2] 1d30 Export RVA"; objdump
# leaves out empty entries.
rva_of() {
  awk -v o="$1" '/\+base\[/ { line = $0; sub(/.*\+base\[ */, "", line); split(line, f, /[] ]+/)
                               if (f[1] == o) { print f[2]; exit } }' "$2"
}

check_exports() {
  step "export table of Abaco32.dll"
  local dll=$build/Abaco32.dll dump=$build/Abaco32.objdump-p.txt
  $cross-objdump -p "$dll" > "$dump"
  local base image
  base=$(awk '/^Ordinal Base/ {print $3; exit}' "$dump")
  image=$(awk '/^ImageBase/ {print $2; exit}' "$dump")
  # "[   1] analitzar" in the name table is the index from the ordinal base.
  local names
  names=$(awk -v base="$base" '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && /^\t\[/ {
            gsub(/[\[\]]/, " "); print $2, $1 + base } t && /^$/ {t=0}' "$dump" | sort -k2n)
  sed -n '/Export Address Table -- Ordinal Base/,/^$/p;/\[Ordinal\/Name Pointer\] Table/,/^$/p' "$dump" | uniq
  [ "$names" = "$(echo "$expected_exports" | cut -d' ' -f1,2)" ] || fail "exports by name and ordinal: $names"
  [ "$base" = 1 ] || fail "ordinal base $base (ordinal 1 should be an empty entry)"
  local entries ordinal1
  entries=$(awk '/^\tExport Address Table/ {print $4; exit}' "$dump")
  [ "$((16#$entries))" -eq 9 ] || fail "$entries export entries, not 9 (ordinals 1 to 9)"
  ordinal1=$(rva_of 1 "$dump")
  [ -z "$ordinal1" ] || [ "$((16#$ordinal1))" -eq 0 ] || fail "ordinal 1 is not empty ($ordinal1)"
  echo "names and ordinals 2-9 as expected; ordinal base 1 with an empty ordinal 1"
  # Each export's own stack cleanup.
  while read -r name ordinal bytes; do
    local rva address ret
    rva=$(rva_of "$ordinal" "$dump")
    address=$(printf '0x%x' $((16#$image + 16#$rva)))
    ret=$($cross-objdump -d --no-show-raw-insn --start-address="$address" --stop-address=$((address + 0x4000)) "$dll" |
      awk '/\tret/ && !seen {print $3; seen = 1}')
    printf '%-22s ordinal %d at %s: ret %s\n' "$name" "$ordinal" "$address" "$ret"
    [ "$ret" = "\$0x$(printf '%x' "$bytes")" ] || fail "$name removes ${ret:-?} bytes of arguments, not $bytes"
  done <<< "$expected_exports"
  # Nothing beyond the system's own DLLs.
  local dlls
  dlls=$(awk '/DLL Name:/ {print $3}' "$dump" | sort -u | tr '\n' ' ')
  echo "imports: $dlls"
  for d in $dlls; do
    case "${d,,}" in
      kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ntdll.dll) ;;
      *) fail "Abaco32.dll depends on $d" ;;
    esac
  done
}

# ---- under wine ---------------------------------------------------------------
run_wine() {
  step "running the Windows test program under wine"
  export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEARCH=win32
  if [ ! -d "$WINEPREFIX" ]; then
    wineboot --init > /dev/null 2>&1 || true
    wineserver -w || true
  fi
  (cd "$build" && wine ./abaco32_client.exe check Abaco32.dll || true) | tr -d '\r' | tee "$build/windows-checks.txt"
  grep -q ' 0 failed$' "$build/windows-checks.txt" || fail "checks of Abaco32.dll"
  rm -f "$build/answers-windows.txt"
  (cd "$build" && wine ./abaco32_client.exe answers Abaco32.dll "$count" answers-windows.txt) || fail "answers of Abaco32.dll"
  "$build/linux/bin/abaco32_client" answers "$build/linux/bin/libAbaco32.so" "$count" "$build/answers-linux.txt"
  if cmp -s "$build/answers-windows.txt" "$build/answers-linux.txt"; then
    echo "$count random expressions: Abaco32.dll and libAbaco32.so give identical answers"
  else
    diff "$build/answers-windows.txt" "$build/answers-linux.txt" | head -20
    fail "Abaco32.dll and libAbaco32.so answer differently"
  fi
  # And the fields the engine linked in directly can give, against it.
  (cd "$build" && wine ./abaco32_client.exe answers Abaco32.dll "$count" answers-windows-engine.txt engine) ||
    fail "engine answers of Abaco32.dll"
  "$build/linux/bin/abaco32_engine_answers" "$count" "$build/answers-engine.txt"
  cmp -s "$build/answers-windows-engine.txt" "$build/answers-engine.txt" ||
    fail "Abaco32.dll and the engine linked in answer differently"
  echo "$count random expressions: Abaco32.dll and the engine linked in give identical answers"
  wineserver -k 2> /dev/null || true
}

install_tools
build_windows
check_exports
build_linux
ensure_i386_programs_run
run_wine
echo "Abaco32 Windows build: all checks passed"
