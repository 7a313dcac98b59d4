#!/usr/bin/env bash
# Checks that each layer (a folder and its subfolders) includes only headers of its own and of
# the layers below it:
#   formats  <  library  <  emulator  <  panel/processing  <  panel/ui
# (the emulator and the program reach the library through its public header; the emulator's
# platform filling also through the platform operations table). Prints each include that
# crosses a boundary the wrong way and fails if there is one.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

declare -A allowed=(
  [formats]="formats"
  [library]="library formats"
  [emulator]="emulator formats library/include library/platform"
  [panel/processing]="panel/processing formats library/include"
  [panel/ui]="panel/ui panel/processing panel/resources formats library/include"
)

violations=0
for layer in formats library emulator panel/processing panel/ui; do
  while IFS= read -r file; do
    while IFS= read -r header; do
      # A header of the project's (one that exists somewhere in its source folders) must come
      # from one of the layer's allowed folders.
      found_anywhere=$(find formats library emulator panel -name "$(basename "$header")" -print -quit)
      [ -n "$found_anywhere" ] || continue
      ok=0
      for dir in ${allowed[$layer]}; do
        if [ -f "$dir/$header" ] || find "$dir" -name "$(basename "$header")" | grep -q .; then
          ok=1
          break
        fi
      done
      if [ "$ok" -eq 0 ]; then
        echo "$file includes \"$header\" from $(dirname "$found_anywhere"), which $layer may not use"
        violations=$((violations + 1))
      fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
  done < <(find "$layer" -name '*.h' -o -name '*.cpp' -o -name '*.c')
done

if [ "$violations" -ne 0 ]; then
  echo "$violations include(s) cross a layer boundary"
  exit 1
fi
echo "layers: every include stays within its layer or below"
