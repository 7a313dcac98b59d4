#!/usr/bin/env bash
# Holds the lines between the layers of the tree:
#   formats  <  library  <  logfile  <  emulator  <  panel/processing  <  panel/processing/win32
#   <  panel/ui, and beside the panel the log tool: logfile  <  tools/logtool/data  <  render
#   <  figure, data  <  fit, data and fit  <  live (the live view's server), and the front
#   tools/kalvix-log over all of them; kernel (the owners of Windows kernel objects) lies at the
#   bottom beside formats, for the library, the emulator and the panel's Win32 code only
# 1. Each layer (a folder and its subfolders, less the subfolders that are layers of their own)
#    includes only headers of its own and of the layers below it; the emulator and the program
#    reach the library through its public header, the emulator's platform filling also through
#    the platform operations table. Every include that crosses a line the wrong way is printed.
# 2. The native layers (formats, logfile, panel/processing without win32/) include no system header but
#    the standard library's and {fmt}'s, and build with the host's compiler, -Wall -Wextra, warnings
#    as errors, and no Windows header anywhere ({fmt} header-only, seen through a folder holding
#    just its link, as the builds see it).
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

layers=(formats kernel library logfile emulator panel/processing panel/processing/win32 panel/ui
        tools/logtool/data tools/logtool/render tools/logtool/figure tools/logtool/fit tools/logtool/live
        tools/kalvix-log)
declare -A allowed=(
  [formats]="formats"
  [kernel]="kernel"
  [library]="library formats kernel"
  [logfile]="logfile formats library/include"
  [emulator]="emulator logfile formats kernel library/include library/platform"
  [panel/processing]="panel/processing logfile formats library/include"
  [panel/processing/win32]="panel/processing/win32 panel/processing logfile formats kernel library/include"
  [panel/ui]="panel/ui panel/processing/win32 panel/processing logfile panel/resources formats kernel library/include"
  [tools/logtool/data]="tools/logtool/data logfile formats library/include"
  [tools/logtool/render]="tools/logtool/render tools/logtool/data logfile formats library/include"
  [tools/logtool/figure]="tools/logtool/figure tools/logtool/render tools/logtool/data logfile formats library/include"
  [tools/logtool/fit]="tools/logtool/fit tools/logtool/data logfile formats library/include"
  [tools/logtool/live]="tools/logtool/live tools/logtool/fit tools/logtool/data logfile formats library/include"
  [tools/kalvix-log]="tools/kalvix-log tools/logtool/live tools/logtool/fit tools/logtool/figure tools/logtool/render tools/logtool/data logfile formats library/include"
)
native_layers=(formats logfile panel/processing)

# The layer a source file or header belongs to, into $layer_found: the longest layer folder it
# lies in (no subshell: this runs for every include).
layer_of() {
  local path=$1 layer
  layer_found=""
  for layer in "${layers[@]}" panel/resources; do
    case "$path" in "$layer"/*) [ ${#layer} -gt ${#layer_found} ] && layer_found=$layer ;; esac
  done
  return 0
}

# Every project header by its file name: the paths of the headers of that name.
declare -A header_paths=()
while IFS= read -r header; do
  header_paths[$(basename "$header")]+="$header "
done < <(find formats kernel library logfile emulator panel tools -name '*.h')

# A header may be used from a layer when it lies in one of the layer's allowed folders and not in
# a layer nested deeper inside that folder.
may_use() {
  local layer=$1 path=$2 dir
  for dir in ${allowed[$layer]}; do
    case "$path" in "$dir"/*)
      layer_of "$path"
      local holder=$layer_found
      layer_of "$dir/x"
      [ "$holder" = "$layer_found" ] && return 0 ;;
    esac
  done
  return 1
}

violations=0
sources=$(find formats kernel library logfile emulator panel tools -name '*.h' -o -name '*.cpp' -o -name '*.c')
for file in $sources; do
  layer_of "$file"
  layer=$layer_found
  [ -n "$layer" ] && [ -n "${allowed[$layer]:-}" ] || continue
  while IFS= read -r header; do
    paths=${header_paths[$(basename "$header")]:-}
    [ -n "$paths" ] || continue # not the project's
    ok=0
    for path in $paths; do
      may_use "$layer" "$path" && ok=1
    done
    if [ "$ok" -eq 0 ]; then
      echo "$file includes \"$header\" from ${paths% }, which $layer may not use"
      violations=$((violations + 1))
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done

# The native layers: standard headers only (C++ names, or the C headers a plain C record needs)
# and {fmt}'s.
native_sources=()
for file in $sources; do
  layer_of "$file"
  layer=$layer_found
  for native in "${native_layers[@]}"; do
    [ "$layer" = "$native" ] || continue
    while IFS= read -r header; do
      case "$header" in
        *.h) case "$header" in stdint.h | stddef.h | fmt/*.h) ;; *)
          echo "$file includes <$header>, a system header the native $layer may not use"
          violations=$((violations + 1)) ;;
        esac ;;
      esac
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\([^>]*\)>.*/\1/p' "$file")
    case "$file" in *.cpp) native_sources+=("$file") ;; esac
  done
done

# The log tool's pure code also reaches header-only libraries, but never Windows.
while IFS= read -r file; do
  echo "$file includes a Windows header, which the log tool's pure code may not"
  violations=$((violations + 1))
done < <(grep -lE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(windows|winbase|windef|io)\.h>' tools/logtool/*/* 2>/dev/null)

if [ "$violations" -ne 0 ]; then
  echo "$violations include(s) cross a layer line"
  exit 1
fi
echo "layers: every include stays within its layer or below"

# The native layers built by the host's compiler: no Windows header can be reached from them.
compiler=${CXX_NATIVE:-$(command -v g++ || command -v clang++ || true)}
if [ -z "$compiler" ]; then
  echo "native build: no host C++ compiler found"
  exit 1
fi
fmt_dir=${KALVIX_FMT_DIR:-/usr/include/fmt}
if [ ! -f "$fmt_dir/format.h" ]; then
  echo "native build: $fmt_dir/format.h is missing: scripts/install-deps.sh installs it"
  exit 1
fi
fmt_stage=$(mktemp -d)
trap 'rm -rf "$fmt_stage"' EXIT
ln -s "$fmt_dir" "$fmt_stage/fmt"
failed=0
for file in "${native_sources[@]}"; do
  if ! "$compiler" -std=c++20 -fsyntax-only -Wall -Wextra -Werror -I formats -I library/include \
      -I panel/processing -I logfile -isystem "$fmt_stage" -DFMT_HEADER_ONLY "$file"; then
    echo "native build: $file does not build on its own"
    failed=$((failed + 1))
  fi
done
if [ "$failed" -ne 0 ]; then
  exit 1
fi
echo "native build: ${#native_sources[@]} files of ${native_layers[*]} build with -Wall -Wextra and no Windows header"
