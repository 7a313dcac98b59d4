#!/usr/bin/env bash
# Checks the Windows package under Wine, in a Wine prefix of its own (<build>/package-check):
#   tests/package/check-package.sh <KalvixControl-V-win64-setup.exe> <KalvixControl-V-win64.zip> <build dir>
# The setup program installs silently into C:\KalvixTest; then: exactly the expected files, the
# USB library (two exports) beside the panel and the software device's library (its third
# export) in demo\ only, no runtime DLL that Windows lacks, the example reports that no device is
# there from the install folder and measures beside the demo library, programs link against the
# SDK's header and both import libraries and call the installed library, the SDK's headers compile
# in every C standard and in C++ (check-headers.sh), its import libraries name no build path, the
# example builds from the installed SDK and measures beside the demo library, the HTML guides and
# their pictures and links are there, the shortcuts point where they should and start in the
# user's Documents, the Apps & features entry is complete and in the 64-bit registry view. The
# uninstaller in its waiting form then removes every file, folder, shortcut and registry key but
# itself, and the ZIP holds the same files as the installation. Every failure is listed; exit status 1 if any.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -eq 3 ] || { echo "usage: $0 <setup.exe> <zip> <build dir>" >&2; exit 2; }
setup=$(realpath "$1")
zip=$(realpath "$2")
build_dir=$(cd "$3" && pwd)
version=$(basename "$setup" | sed -n 's/^KalvixControl-\(.*\)-win64-setup\.exe$/\1/p')
[ -n "$version" ] || { echo "unexpected setup program name: $setup" >&2; exit 2; }
objdump=x86_64-w64-mingw32-objdump
strings_tool=x86_64-w64-mingw32-strings
cc=x86_64-w64-mingw32-gcc-posix
command -v $cc >/dev/null || cc=x86_64-w64-mingw32-gcc

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
# expect <what> <expected> <actual>
expect() {
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi
}

work="$build_dir/package-check"
rm -rf "$work"
mkdir -p "$work"
. "$root/scripts/wine-env.sh"
kalvix_wine_setup "$work"
trap kalvix_wine_teardown EXIT
drive_c="$WINEPREFIX/drive_c"
inst="$drive_c/KalvixTest"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kalvix'

# What the prefix holds before the installation (files outside Wine's own folders, registry keys).
prefix_files() {
  (cd "$drive_c" && find . -path ./windows -prune -o -path '*/Temp' -prune -o -path '*/AppData/Local/Temp' -prune \
    -o \( -type f -o -type d -o -type l \) -print | sort)
}
# Installers write below Software; Wine itself changes keys elsewhere (the display's, for one).
registry_keys() {
  local hive
  for hive in 'HKLM\Software' 'HKCU\Software'; do
    wine reg export "$hive" "C:\\regdump.reg" /y >/dev/null 2>&1 || true
    iconv -f UTF-16LE -t UTF-8 "$drive_c/regdump.reg" 2>/dev/null | tr -d '\r' | grep '^\[' || true
    rm -f "$drive_c/regdump.reg"
  done | sort
}
files_before=$(prefix_files)
keys_before=$(registry_keys)

# --- Silent installation ---
touch "$work/before-install"
start=$(date +%s.%N)
rc=0
wine "$setup" /S '/D=C:\KalvixTest' </dev/null >"$work/setup.out" 2>&1 || rc=$?
install_seconds=$(echo "$(date +%s.%N) - $start" | bc)
expect "setup /S exit code" 0 "$rc"
[ -d "$inst" ] || { fail "nothing installed in C:\\KalvixTest"; exit 1; }
echo "installed in ${install_seconds}s"
# Started again over the installation, the setup program first removes it (silently), then installs;
# everything below then checks the second installation.
rc=0
wine "$setup" /S '/D=C:\KalvixTest' </dev/null >"$work/setup-again.out" 2>&1 || rc=$?
expect "setup /S over the installation: exit code" 0 "$rc"

# --- Exactly the expected files ---
expected=(
  Uninstall.exe OstrelControlPanel.exe KalvixCtrl.dll kalvix_measure.exe kalvix-log.exe DejaVuSans.ttf
  sdk/include/KalvixCtrl.h sdk/include/KalvixEmulator.h sdk/lib/KalvixCtrl.lib sdk/lib/libKalvixCtrl.dll.a
  sdk/examples/kalvix_measure.c
  demo/KalvixCtrl.dll demo/OstrelControlPanel.exe
  driver/kalvix-winusb.inf
)
# Every guide as Markdown and as HTML beside it.
guides=(docs/operator-guide docs/log-tool docs/live docs/driver sdk/docs/library)
for g in "${guides[@]}"; do expected+=("$g.md" "$g.html"); done
[ -f /usr/share/doc/fonts-dejavu-core/copyright ] && expected+=(docs/DejaVu-font-licence.txt)
while IFS= read -r f; do expected+=("docs/images/$f"); done < <(cd "$root/docs/images" && find . -type f | sed 's|^\./||')
installed=$(cd "$inst" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
expect "installed files" "$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)" "$installed"
expect "header as in the source" same "$(cmp -s "$inst/sdk/include/KalvixCtrl.h" "$root/library/include/KalvixCtrl.h" && echo same)"
expect "emulator header as in the source" same "$(cmp -s "$inst/sdk/include/KalvixEmulator.h" "$root/emulator/KalvixEmulator.h" && echo same)"
expect "example as in the source" same "$(cmp -s "$inst/sdk/examples/kalvix_measure.c" "$root/examples/kalvix_measure.c" && echo same)"
for g in "${guides[@]}"; do
  expect "$g.md as in the source" same "$(cmp -s "$inst/$g.md" "$root/docs/$(basename "$g").md" && echo same)"
done

# --- The HTML guides: a page of the guide's title; every picture and page they link to is there ---
for g in "${guides[@]}"; do
  html="$inst/$g.html"
  [ -f "$html" ] || continue
  expect "$g.html is titled as the guide" "$(sed -n '1s/^# //p' "$root/docs/$(basename "$g").md")" \
    "$(sed -n 's|.*<title>\(.*\)</title>.*|\1|p' "$html" | sed 's/&amp;/\&/g')"
  missing=""
  for target in $(grep -o '\(src\|href\)="[^"]*"' "$html" | sed 's/^[a-z]*="//; s/"$//; s/#.*//' | grep -v -e '^$' -e : | sort -u); do
    [ -e "$(dirname "$html")/$target" ] || missing+="$target "
  done
  expect "$g.html: pictures and pages it links to are installed" "" "$missing"
  expect "$g.html links no Markdown file" 0 "$(grep -c 'href="[^":]*\.md[#"]' "$html")"
done

# --- The SDK's headers compile in every C standard and in C++ with -pedantic -Werror ---
if "$root/tests/package/check-headers.sh" "$inst/sdk/include"; then
  pass "SDK headers compile cleanly in every standard"
else
  fail "SDK headers do not compile cleanly in every standard (above)"
fi
# --- The import libraries' members carry no build path (ar names them as dlltool wrote them) ---
mangled_build=$(echo "$build_dir" | tr '/' '_')
for lib in KalvixCtrl.lib libKalvixCtrl.dll.a; do
  members=$(x86_64-w64-mingw32-ar t "$inst/sdk/lib/$lib" | tr '\n' ' ')
  expect "sdk\\lib\\$lib members name no build path" "" \
    "$(echo "$members" | tr ' ' '\n' | grep -e / -e '\\' -e "$mangled_build" -e '^_' || true)"
  [ -n "$members" ] || fail "sdk\\lib\\$lib has no members"
done
expect "demo panel is the same program" same "$(cmp -s "$inst/demo/OstrelControlPanel.exe" "$inst/OstrelControlPanel.exe" && echo same)"

# --- The USB library beside the panel, the software device's library only in demo\ ---
exports() {
  $objdump -p "$1" | awk '/\[Ordinal\/Name Pointer\] Table/ {t = 1; next} t && /^\t\[ *[0-9]+\] / {print $NF; next} t {t = 0}' | LC_ALL=C sort | tr '\n' ' '
}
expect "exports of the installed KalvixCtrl.dll" "GetDLLVersion KalvixControl " "$(exports "$inst/KalvixCtrl.dll")"
expect "exports of demo\\KalvixCtrl.dll" "GetDLLVersion KalvixControl KalvixEmulatorControl " "$(exports "$inst/demo/KalvixCtrl.dll")"
expect "KalvixCtrl.dll files in the installation" "KalvixCtrl.dll demo/KalvixCtrl.dll " \
  "$(cd "$inst" && find . -iname '*.dll' | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')"
# Every DLL a shipped binary imports is Windows' own (here Wine's): the GCC runtime is linked in.
for f in OstrelControlPanel.exe kalvix_measure.exe kalvix-log.exe KalvixCtrl.dll demo/KalvixCtrl.dll; do
  missing=""
  for dll in $($objdump -p "$inst/$f" | sed -n 's/^\tDLL Name: //p'); do
    [ -n "$(find "$drive_c/windows/system32" -maxdepth 1 -iname "$dll" -print -quit)" ] || missing+="$dll "
  done
  expect "$f imports only system DLLs" "" "$missing"
done

# --- The example from the install folder finds no device; beside the demo library it measures ---
library_version=$(sed -n 's/^#define KALVIX_LIBRARY_VERSION "\(.*\)"$/\1/p' "$root/library/include/KalvixCtrl.h")
# measure <folder> <arguments...>: runs kalvix_measure.exe there; exit code in $rc, output in $out and $err
measure() {
  local dir=$1
  shift
  rc=0
  (cd "$dir" && wine ./kalvix_measure.exe "$@" </dev/null >"$work/measure.out" 2>"$work/measure.err") || rc=$?
  out=$(tr -d '\r' <"$work/measure.out")
  err=$(tr -d '\r' <"$work/measure.err")
  printf '%s\n%s\n' "$out" "$err" | sed '/^$/d; s/^/  | /'
}
measure "$inst" 1
expect "kalvix_measure with the USB library: exit code" 2 "$rc"
expect "kalvix_measure with the USB library: version line" "library version $library_version" "$out"
expect "kalvix_measure with the USB library: no device" "connect: ERROR: [01167] The device is not connected." "$err"

cp "$inst/kalvix_measure.exe" "$inst/demo/"
measure "$inst/demo" 1 10
rm -f "$inst/demo/kalvix_measure.exe"
expect "kalvix_measure beside the demo library: exit code" 0 "$rc"
expect "kalvix_measure beside the demo library: connects" 1 "$(echo "$out" | grep -c '^connected to device [0-9]*, serial .')"
expect "kalvix_measure beside the demo library: no error" "" "$err"

# --- The example as the SDK guide builds it (mingw: gcc example.c -L. -lKalvixCtrl), from the
# installed files with every warning an error, run beside the demo library ---
rc=0
$cc -Wall -Wextra -Werror -I"$inst/sdk/include" -o "$inst/demo/kalvix_measure.exe" \
  "$inst/sdk/examples/kalvix_measure.c" -L"$inst/sdk/lib" -lKalvixCtrl 2>"$work/example.err" || rc=$?
expect "example built from the installed SDK without warnings" "0 " "$rc $(tr '\n' ' ' <"$work/example.err")"
if [ "$rc" -eq 0 ]; then
  measure "$inst/demo" 1 10
  expect "example built from the SDK, beside the demo library: exit code" 0 "$rc"
  expect "example built from the SDK, beside the demo library: connects" 1 "$(echo "$out" | grep -c '^connected to device [0-9]*, serial .')"
fi
rm -f "$inst/demo/kalvix_measure.exe"

# --- The SDK: a C program built with its header against each import library calls the library ---
sdk="$work/sdk-check"
mkdir -p "$sdk" "$drive_c/SdkCheck"
cat >"$sdk/call.c" <<'CSRC'
#include "KalvixCtrl.h"
#include <stdio.h>
int main(void)
{
    static ActivityCounters counters;
    const char* text;
    printf("%s\n", GetDLLVersion(&counters));
    text = KalvixControl(CMD_DISCONNECT, 0, NULL, NULL);
    printf("%s\n", text ? text : "(no text)");
    return 0;
}
CSRC
cp "$inst/KalvixCtrl.dll" "$drive_c/SdkCheck/"
for lib in libKalvixCtrl.dll.a KalvixCtrl.lib; do
  exe="$drive_c/SdkCheck/call-$lib.exe"
  if $cc -std=c11 -I"$inst/sdk/include" -o "$exe" "$sdk/call.c" "$inst/sdk/lib/$lib" 2>"$sdk/link.err"; then
    expect "program linked with sdk\\lib\\$lib imports" "KalvixCtrl.dll" \
      "$($objdump -p "$exe" | sed -n 's/^\tDLL Name: \(KalvixCtrl.dll\)$/\1/p')"
    got=$(cd "$drive_c/SdkCheck" && wine "./call-$lib.exe" </dev/null 2>&1 | tr -d '\r') || true
    expect "program linked with sdk\\lib\\$lib calls the installed library" \
      "$(printf '%s\n%s' "$library_version" "ERROR: Device already disconnected.")" "$got"
  else
    fail "linking against sdk\\lib\\$lib: $(cat "$sdk/link.err")"
  fi
done
# The same with an MSVC-style linker and no C runtime, when clang and lld-link are at hand.
clang_tool=$(command -v clang || command -v clang-14 || true)
lld_link=$(command -v lld-link || command -v lld-link-14 || true)
if [ -n "$clang_tool" ] && [ -n "$lld_link" ]; then
  cat >"$sdk/bare.c" <<'CSRC'
#include "KalvixCtrl.h"
int mainCRTStartup(void)
{
    static ActivityCounters counters;
    const char* got = GetDLLVersion(&counters);
    const char* want = KALVIX_LIBRARY_VERSION;
    const char* text;
    while (*got && *got == *want) { ++got; ++want; }
    if (*got != *want)
        return 1;
    text = KalvixControl(CMD_DISCONNECT, 0, 0, 0);
    return text && text[0] == 'E' ? 0 : 2;
}
CSRC
  if "$clang_tool" --target=x86_64-pc-windows-msvc -ffreestanding -O1 -I"$inst/sdk/include" -c "$sdk/bare.c" -o "$sdk/bare.obj" 2>"$sdk/link.err" &&
     "$lld_link" /nologo /entry:mainCRTStartup /subsystem:console /nodefaultlib /out:"$drive_c/SdkCheck/bare.exe" \
       "$sdk/bare.obj" "$inst/sdk/lib/KalvixCtrl.lib" 2>>"$sdk/link.err"; then
    rc=0
    (cd "$drive_c/SdkCheck" && wine ./bare.exe </dev/null >/dev/null 2>&1) || rc=$?
    expect "program linked by lld-link with sdk\\lib\\KalvixCtrl.lib calls the installed library" 0 "$rc"
  else
    fail "compiling with clang and linking with lld-link against sdk\\lib\\KalvixCtrl.lib: $(cat "$sdk/link.err")"
  fi
else
  echo "skipped: linking with lld-link (clang or lld-link not installed)"
fi
rm -rf "$drive_c/SdkCheck"

# --- The log tool from the install folder: a fit, and a picture drawn with the font beside it ---
mkdir -p "$drive_c/LogCheck"
cp "$root/tests/logtool/data/two-zarc-synthetic.csv" "$drive_c/LogCheck/zarc.csv"
rc=0
got=$(cd "$drive_c/LogCheck" && wine "$inst/kalvix-log.exe" fit zarc.csv --columns 2,3,4 --circuit R0-Zarc1-Zarc2 --json </dev/null 2>"$work/log-tool.err") || rc=$?
expect "kalvix-log fit: exit code" 0 "$rc"
expect "kalvix-log fit: JSON of the circuit" 1 "$(echo "$got" | grep -c '^{"circuit":"R0-Zarc1-Zarc2","parameters":\[{"name":"R0"')"
rc=0
(cd "$drive_c/LogCheck" && wine "$inst/kalvix-log.exe" plot zarc.csv --columns 2,3,4 --nyquist --circuit R0-Zarc1-Zarc2 -o nyquist.png </dev/null >/dev/null 2>>"$work/log-tool.err") || rc=$?
expect "kalvix-log plot: exit code" 0 "$rc"
expect "kalvix-log plot: a PNG picture" "PNG" "$(head -c 4 "$drive_c/LogCheck/nyquist.png" 2>/dev/null | tail -c 3)"
rc=0
(cd "$drive_c/LogCheck" && wine "$inst/kalvix-log.exe" info zarc.csv </dev/null >/dev/null 2>&1) || rc=$?
expect "kalvix-log info of a CSV: bad input" 1 "$rc"
rm -rf "$drive_c/LogCheck"

# --- Shortcuts ---
lnk_text() { { $strings_tool -a "$1"; $strings_tool -a -el "$1"; } | tr '\n' ' '; }
links=$(cd "$drive_c" && find . -name '*.lnk' -newer "$work/before-install" -o -name '*.lnk' -path '*Kalvix*' | sed 's|^\./||' | LC_ALL=C sort)
echo "$links" | sed 's/^/  shortcut: /'
expect "shortcut names" "Control panel (software device).lnk Kalvix Control Panel.lnk Kalvix command prompt.lnk Live view of the logs.lnk Log tool guide.lnk Operator guide.lnk SDK guide.lnk Uninstall.lnk " \
  "$(echo "$links" | sed 's|.*/||' | LC_ALL=C sort | tr '\n' ' ')"
expect "shortcuts share one all-users Start-menu folder" 1 "$(echo "$links" | sed 's|/[^/]*$||' | sort -u | grep -c '^ProgramData/Microsoft/Windows/Start Menu/Programs/Kalvix Control$')"
# link_has <shortcut name> <what> <regular expression over its texts>
link_has() {
  local lnk
  lnk="$drive_c/$(echo "$links" | grep -F "/$1" || true)"
  if [ -f "$lnk" ]; then
    expect "$1: $2" 1 "$(lnk_text "$lnk" | grep -c -- "$3")"
  else
    fail "$1 missing"
  fi
}
documents='%USERPROFILE%\\Documents'
link_has "Kalvix Control Panel.lnk" "starts the panel beside the USB library" 'KalvixTest\\OstrelControlPanel.exe'
link_has "Control panel (software device).lnk" "starts the demo panel" 'KalvixTest\\demo\\OstrelControlPanel.exe'
link_has "Live view of the logs.lnk" "follows the operators' logs in the browser" 'KalvixTest\\kalvix-log.exe.*live --open'
link_has "Kalvix command prompt.lnk" "a command prompt with the install folder on PATH" \
  'cmd.exe.*/k set "PATH=C:\\KalvixTest;%PATH%"'
for name in "Kalvix Control Panel.lnk" "Control panel (software device).lnk" "Live view of the logs.lnk" "Kalvix command prompt.lnk"; do
  link_has "$name" "starts in the user's Documents" "$documents"
done
link_has "Operator guide.lnk" "opens the HTML operator guide" 'KalvixTest\\docs\\operator-guide.html'
link_has "Log tool guide.lnk" "opens the HTML log tool guide" 'KalvixTest\\docs\\log-tool.html'
link_has "SDK guide.lnk" "opens the HTML SDK guide" 'KalvixTest\\sdk\\docs\\library.html'

# --- Apps & features entry, in the 64-bit registry view ---
entry=$(wine reg query "$uninstall_key" 2>/dev/null | tr -d '\r') || true
value() { echo "$entry" | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
expect "DisplayName" "Kalvix Control $version" "$(value DisplayName)"
expect "DisplayVersion" "$version" "$(value DisplayVersion)"
expect "Publisher" "Kalvix" "$(value Publisher)"
expect "UninstallString" '"C:\KalvixTest\Uninstall.exe"' "$(value UninstallString)"
expect "DisplayIcon" 'C:\KalvixTest\OstrelControlPanel.exe' "$(value DisplayIcon)"
size_kib=$(( $(cd "$inst" && find . -type f -printf '%s\n' | paste -sd+ | bc) / 1024 ))
estimated=$(( $(value EstimatedSize) + 0 ))
if [ "$estimated" -ge $((size_kib * 95 / 100)) ] && [ "$estimated" -le $((size_kib * 105 / 100 + 16)) ]; then
  pass "EstimatedSize $estimated KiB (files: $size_kib KiB)"
else
  fail "EstimatedSize $estimated KiB, the files take $size_kib KiB"
fi
expect "no entry in the 32-bit registry view" absent \
  "$(wine reg query 'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Kalvix' >/dev/null 2>&1 && echo present || echo absent)"

# --- Silent uninstallation in the waiting form the operator guide gives: with _?= the uninstaller
# runs where it is instead of copying itself away and returning at once, so everything is gone
# when it returns except itself, which the guide's next two commands remove. ---
start=$(date +%s.%N)
rc=0
wine 'C:\KalvixTest\Uninstall.exe' /S '_?=C:\KalvixTest' </dev/null >"$work/uninstall.out" 2>&1 || rc=$?
expect "Uninstall.exe /S _?= exit code" 0 "$rc"
expect "left when the waiting uninstaller returns" "Uninstall.exe" "$(cd "$inst" 2>/dev/null && find . -mindepth 1 | sed 's|^\./||' | tr '\n' ' ' | sed 's/ $//')"
expect "Apps & features entry when the waiting uninstaller returns" absent \
  "$(wine reg query "$uninstall_key" >/dev/null 2>&1 && echo present || echo absent)"
# (Wine would pass quotation marks on to cmd escaped; this path needs none.)
rc=0
wine cmd /c del 'C:\KalvixTest\Uninstall.exe' </dev/null >>"$work/uninstall.out" 2>&1 || rc=$?
wine cmd /c rmdir 'C:\KalvixTest' </dev/null >>"$work/uninstall.out" 2>&1 || rc=$?
expect "removing the uninstaller and the folder: exit codes" 0 "$rc"
uninstall_seconds=$(echo "$(date +%s.%N) - $start" | bc)
echo "uninstalled in ${uninstall_seconds}s"
expect "installation folder after uninstalling" absent "$([ -e "$inst" ] && echo present || echo absent)"
expect "files and folders left or added outside Wine's own" "" \
  "$(comm -13 <(echo "$files_before") <(prefix_files) | tr '\n' ' ')"
expect "registry keys left or added" "" "$(comm -13 <(echo "$keys_before") <(registry_keys) | tr '\n' ' ')"
expect "Apps & features entry after uninstalling" absent \
  "$(wine reg query "$uninstall_key" >/dev/null 2>&1 && echo present || echo absent)"

# --- The ZIP holds what the setup program installs ---
top="KalvixControl-$version-win64"
zipped=$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort)
expect "ZIP top folder" "$top" "$(echo "$zipped" | sed 's|/.*||' | sort -u)"
expect "ZIP files" "$(printf '%s\n' "${expected[@]}" | grep -vx Uninstall.exe | LC_ALL=C sort)" \
  "$(echo "$zipped" | sed "s|^$top/||" | LC_ALL=C sort)"
expect "exports of the ZIP's KalvixCtrl.dll" "GetDLLVersion KalvixControl " \
  "$(unzip -p "$zip" "$top/KalvixCtrl.dll" >"$work/zip-KalvixCtrl.dll" && exports "$work/zip-KalvixCtrl.dll")"

echo "package check: install ${install_seconds}s, uninstall ${uninstall_seconds}s, $failures failure(s)"
[ "$failures" -eq 0 ]
