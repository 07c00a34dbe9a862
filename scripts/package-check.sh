#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package from a built tree and checks it the way a user's machine would see
# it: unpacked into a scratch root, the tools run from there (the editor through its bin/ link),
# the desktop, AppStream and MIME files validated, and apt asked whether it could install it.
# Usage: scripts/package-check.sh [BUILD]
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

app_id=org.qobtandrix.Editor
mime_type=application/x-qob-tandrix-preset
bad_load="Invalid QOB-TANDRIX Preset File!"

fail() {
  echo "package-check: $*" >&2
  exit 1
}

rm -f "$build"/qob-tandrix_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/qob-tandrix_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package in $build"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg-deb -f "$deb" Architecture)
[ "$(basename "$deb")" = "qob-tandrix_${version}_${arch}.deb" ] || fail "unexpected name $deb"
echo "-- $(basename "$deb")"
dpkg-deb -f "$deb" Package Version Section Depends Suggests

depends=$(dpkg-deb -f "$deb" Depends)
# The library part comes from dpkg-shlibdeps: without it the Qt libraries would be missing.
for need in libqt6widgets6 libqt6svg6 librtmidi6 fonts-liberation; do
  grep -q "\b$need\b" <<<"$depends" || fail "Depends lacks $need: $depends"
done

listing=$(dpkg-deb -c "$deb")
if grep -E '\.a$|_tests?$|_bench$|/include/|render-icon' <<<"$listing"; then
  fail "the package holds build-only files (above)"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dest="$scratch/root"
dpkg-deb -x "$deb" "$dest"
usr="$dest/usr"

expected=(
  bin/qob
  bin/qob-editor
  lib/qob-tandrix/qob-editor
  lib/qob-tandrix/Default.QOB
  share/applications/$app_id.desktop
  share/metainfo/$app_id.metainfo.xml
  share/mime/packages/qob-tandrix.xml
  share/icons/hicolor/scalable/apps/$app_id.svg
  share/man/man1/qob.1.gz
  share/man/man1/qob-editor.1.gz
  share/doc/qob-tandrix/copyright
  share/doc/qob-tandrix/changelog.gz
)
for side in 32 64 128 256; do
  expected+=("share/icons/hicolor/${side}x${side}/apps/$app_id.png")
done
for f in "${expected[@]}"; do
  [ -e "$usr/$f" ] || fail "missing /usr/$f"
done

link=$(readlink "$usr/bin/qob-editor")
[ "$link" = "../lib/qob-tandrix/qob-editor" ] || fail "bin/qob-editor points at '$link'"

for side in 32 64 128 256; do
  file -b "$usr/share/icons/hicolor/${side}x${side}/apps/$app_id.png" |
    grep -q "^PNG image data, $side x $side," || fail "the ${side}px icon is not a ${side}px PNG"
done

for page in qob qob-editor; do
  gzip -t "$usr/share/man/man1/$page.1.gz" || fail "$page.1.gz is not a valid gzip file"
  zcat "$usr/share/man/man1/$page.1.gz" | grep -q '^\.TH' || fail "$page.1.gz has no .TH line"
done

# A version bump without a changelog entry would leave the package claiming an old release.
zcat "$usr/share/doc/qob-tandrix/changelog.gz" >"$scratch/changelog"
logged=$(dpkg-parsechangelog -l "$scratch/changelog" -S Version)
[ "$logged" = "$version" ] || fail "the changelog's last entry is $logged, the package is $version"

echo "-- qob --version"
out=$("$usr/bin/qob" --version)
echo "$out"
[ "$out" = "qob $version" ] || fail "qob --version printed '$out', expected 'qob $version'"

# The sheet needs the artwork built into qob and Qt's offscreen platform, and no display.
echo "-- qob sheet from the package, without a display"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  "$usr/bin/qob" sheet "$usr/lib/qob-tandrix/Default.QOB" -o "$scratch/sheet.pdf" ||
  fail "qob sheet failed"
pdftotext "$scratch/sheet.pdf" - | grep -q "Mix Default" || fail "the sheet does not name the preset"

# Runs the editor in screenshot mode from a scratch folder; fails unless the picture is written.
# Leaves what it printed on stderr in $scratch/err.
screenshot() {
  local editor=$1 shot=$2
  (cd "$scratch/cwd" && "$editor" --screenshot "$shot") 2>"$scratch/err" ||
    fail "$editor --screenshot failed: $(cat "$scratch/err")"
  [ -s "$shot" ] && file -b "$shot" | grep -q '^PNG image data' || fail "no picture at $shot"
}

# The working folder holds a broken Default.QOB: the editor must look beside its executable,
# never in the folder it was started from.
mkdir "$scratch/cwd"
echo broken >"$scratch/cwd/Default.QOB"

echo "-- qob-editor --screenshot through /usr/bin/qob-editor"
screenshot "$usr/bin/qob-editor" "$scratch/installed.png"
if grep -qF "$bad_load" "$scratch/err"; then
  cat "$scratch/err" >&2
  fail "the installed editor did not find its Default.QOB"
fi

# The same tree without Default.QOB must complain, or the check above proves nothing.
cp -a "$dest" "$scratch/bare"
rm "$scratch/bare/usr/lib/qob-tandrix/Default.QOB"
screenshot "$scratch/bare/usr/bin/qob-editor" "$scratch/bare.png"
grep -qF "$bad_load" "$scratch/err" || fail "an editor without Default.QOB reported nothing"

echo "-- desktop-file-validate"
desktop-file-validate "$usr/share/applications/$app_id.desktop"
echo "-- appstreamcli validate --no-net"
appstreamcli validate --no-net "$usr/share/metainfo/$app_id.metainfo.xml"

# One MIME type named alike in all three files, and a glob that takes Default.QOB as well.
desktop="$usr/share/applications/$app_id.desktop"
grep -qx "MimeType=$mime_type;" "$desktop" || fail "the desktop file does not handle $mime_type"
grep -qx "Icon=$app_id" "$desktop" || fail "the desktop file's icon is not $app_id"
grep -q "<mediatype>$mime_type</mediatype>" "$usr/share/metainfo/$app_id.metainfo.xml" ||
  fail "the metainfo file does not offer $mime_type"
echo "-- update-mime-database"
# Told where the tree is, so it does not warn that the folder is outside the search path.
XDG_DATA_DIRS="$usr/share" update-mime-database "$usr/share/mime"
grep -q "^50:$mime_type:\*\.qob$" "$usr/share/mime/globs2" ||
  fail "no *.qob glob for $mime_type"
if grep -q "$mime_type:.*cs" "$usr/share/mime/globs2"; then
  fail "the *.qob glob is case-sensitive: Default.QOB would not match"
fi

echo "-- apt-get install --simulate"
sim=$(apt-get install --simulate "$(realpath "$deb")" 2>&1) || {
  echo "$sim" >&2
  fail "apt cannot install the package"
}
grep -E '^(Inst|Conf) |is already the newest version' <<<"$sim" || true

echo "-- package check passed"
