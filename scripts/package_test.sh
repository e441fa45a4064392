#!/usr/bin/env bash
# What a host gets from the installed package: installs the build into a
# staging prefix, checks that the shared library exports exactly the KIV_API
# declarations of the installed headers, builds the example host and a C
# host against the package with find_package(kiv) and runs them.
# usage: package_test.sh <build dir> <C compiler> <C++ compiler>
set -euo pipefail
build=$(cd "$1" && pwd); cc=$2; cxx=$3
src=$(cd "$(dirname "$0")/.." && pwd)
stage=$build/package/stage
rm -rf "$build/package"
cmake --install "$build" --prefix "$stage" >/dev/null
lib=$(find "$stage" -name 'libkiv.so' | head -1)
[ -n "$lib" ] || { echo "no libkiv.so installed"; exit 1; }
libdir=$(dirname "$lib")

declared=$(perl -0777 -ne '
  s{/\*.*?\*/}{ }gs; s{//[^\n]*}{ }g; s{^[ \t]*#[^\n]*}{ }gm;
  while (/\bKIV_API\b([^;]*);/g) {
    my $d = $1; $d =~ s/\(.*//s;
    print "$1\n" if $d =~ /([A-Za-z_]\w*)\s*$/;
  }' "$stage"/include/kiv/*/kiv_*.h | sort -u)
# Symbols every linker adds on its own are not the library's interface.
exported=$(nm -D --defined-only "$lib" | awk '{print $NF}' |
  grep -vxE '_init|_fini|_edata|_end|__bss_start|KIV_[0-9.]+' | sort -u)
if ! diff <(echo "$declared") <(echo "$exported") >"$build/package/exports.diff"; then
  echo "exports differ from the KIV_API declarations (< declared only, > exported only):"
  cat "$build/package/exports.diff"
  exit 1
fi
echo "exports: $(echo "$exported" | wc -l) functions and data, as declared"

# The library's calls of its own functions bind inside it: no relocation may
# name a function it defines (a host's function of that name would take it).
functions=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TWi]$/ {print $NF}' | sort -u)
own=$(readelf -rW "$lib" | awk 'NF >= 5 && $3 ~ /^R_/ {n = $5; sub(/@.*/, "", n); print n}' |
  sort -u | comm -12 - <(echo "$functions"))
if [ -n "$own" ]; then
  echo "the library reaches $(echo "$own" | wc -l) of its own functions through the symbol table:"
  echo "$own" | head -20
  exit 1
fi
echo "calls of its own functions bind inside the library"

cmake -S "$src/examples" -B "$build/package/example" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$stage" >/dev/null
cmake --build "$build/package/example" >/dev/null
cmake -S "$src/tests/package" -B "$build/package/hosts" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$stage" >/dev/null
cmake --build "$build/package/hosts" >/dev/null
export KIV="$stage/share/kiv" LD_LIBRARY_PATH="$libdir"
"$build/package/example/kiv_host" >"$build/package/example.out"
echo "example host ran: $(wc -l <"$build/package/example.out") lines"

set +e
"$build/package/hosts/fatal_host" >"$build/package/fatal.out" 2>"$build/package/fatal.err"
status=$?
set -e
if [ "$status" -ne 1 ] || ! grep -q "Fluid index system not initialized" "$build/package/fatal.err"; then
  echo "fatal error outside a recovery point: status $status, messages:"
  cat "$build/package/fatal.err"
  exit 1
fi
echo "fatal error outside a recovery point ends the host with status 1 and its message"

# Hosts with functions of the library's names never take its own calls.
"$build/package/hosts/own_names_host"
"$build/package/hosts/own_names_plugin" "$lib"
