#!/usr/bin/env bash
# scripts/check fails on an include against the direction of the layers, and passes a tree that keeps
# it: each case in a scratch git tree of its own.
# usage: check_layers.sh SOURCE_DIR
set -euo pipefail
src=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

tree() {
    rm -rf "$scratch/t" && mkdir -p "$scratch/t" && cd "$scratch/t"
    git init -q . && cp "$src/.clang-format" .
    mkdir -p app serial/core serial/host chart/core
    printf '#include "chart/kartex.h"\n#include "serial/core/comport.h"\n' >app/main.cpp
    printf '#include "serial/host/comm_device.h"\n' >serial/core/comport.cpp
    printf '#include "chart/core/item.h"\n' >chart/kartex.cpp
}
check() { MEVRANT_CHECK_ROOT=$scratch/t "$src/scripts/check" 2>"$scratch/err"; }

tree
check || fail "a tree that keeps the layers fails: $(cat "$scratch/err")"
while read -r file include; do
    tree
    printf '#include "%s"\n' "$include" >"$file"
    if check; then fail "$file including $include passes"; fi
    grep -q "$file includes against the one-way rule" "$scratch/err" || fail "no report for $file: $(cat "$scratch/err")"
done <<'CASES'
serial/core/x.cpp chart/kartex.h
serial/com_led.cpp app/main_window.h
serial/host/y.cpp serial/core/comport.h
chart/z.cpp app/main_chart.h
chart/core/w.cpp serial/core/comport.h
CASES
echo "check_layers: passed"
