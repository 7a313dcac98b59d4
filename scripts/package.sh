#!/usr/bin/env bash
# The Windows package: installs what is missing (nsis among it), builds, makes the NSIS setup
# program and the ZIP archive with cpack, checks both under Wine (tests/package/check-package.sh:
# silent install, what is installed where, the USB and the software-device library each in its
# folder, the SDK's import libraries, shortcuts, the Apps & features entry, silent uninstall)
# and prints their paths.
#   scripts/package.sh
# KALVIX_PACKAGE_CHECK=0 leaves the check out.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir=$(cd "${KALVIX_BUILD_DIR:-build}" && pwd)
out="$build_dir/package"

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build_dir/CPackConfig.cmake")
setup="$out/KalvixControl-$version-win64-setup.exe"
zip="$out/KalvixControl-$version-win64.zip"
rm -f "$setup" "$zip"
# Strip writes the current time into the header of every program it rewrites, and CPack strips
# each file once per component and package: two copies of one program (the panel and the demo
# panel) would differ by the second each was stripped in. The last commit's time makes every
# copy the same, and the package reproducible.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
(cd "$build_dir" && cpack --config CPackConfig.cmake -B "$out" >"$out.log" 2>&1) || {
  cat "$out.log" >&2
  echo "cpack failed (log: $out.log)" >&2
  exit 1
}
for f in "$setup" "$zip"; do
  [ -f "$f" ] || { cat "$out.log" >&2; echo "cpack did not make $f" >&2; exit 1; }
done

if [ "${KALVIX_PACKAGE_CHECK:-1}" != 0 ]; then
  tests/package/check-package.sh "$setup" "$zip" "$build_dir"
fi
echo "$setup"
echo "$zip"
