#!/usr/bin/env bash
# Compiles the SDK's headers in every C standard and in C++ with warnings as errors, with the
# native gcc and with mingw's (whichever are installed), each header alone and both together:
#   tests/package/check-headers.sh <folder with KalvixCtrl.h and KalvixEmulator.h>
# Lists every failing combination; exit status 1 if any.
set -uo pipefail
[ $# -eq 1 ] || { echo "usage: $0 <include folder>" >&2; exit 2; }
include=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sources=(
  'KalvixCtrl.h:#include "KalvixCtrl.h"'
  'KalvixEmulator.h:#include "KalvixEmulator.h"'
  'both:#include "KalvixCtrl.h"
#include "KalvixEmulator.h"'
)
failures=0
checked=0
for compiler in gcc x86_64-w64-mingw32-gcc-posix; do
  command -v $compiler >/dev/null || continue
  for language in c89 c99 c11 c17 c++98 c++11 c++20; do
    x=c
    [[ $language == c++* ]] && x=c++
    for source in "${sources[@]}"; do
      name=${source%%:*}
      printf '%s\nint main(void) { return 0; }\n' "${source#*:}" >"$work/check.c"
      if $compiler -x $x -std=$language -Wall -Wextra -pedantic -Werror -I"$include" -fsyntax-only \
          "$work/check.c" 2>"$work/errors"; then
        checked=$((checked + 1))
      else
        echo "FAIL: $name with $compiler -std=$language -pedantic -Werror:" >&2
        sed 's/^/  | /' "$work/errors" >&2
        failures=$((failures + 1))
      fi
    done
  done
done
[ "$checked" -gt 0 ] || [ "$failures" -gt 0 ] || { echo "FAIL: no compiler found" >&2; exit 1; }
echo "headers: $checked compilations clean, $failures failure(s)"
[ "$failures" -eq 0 ]
