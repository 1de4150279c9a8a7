#!/usr/bin/env bash
# Installs the build into a temporary prefix as `cmake --install` does for a
# user, and checks what lands there: the four programs (which run), the
# alignment search module (which they find), the desktop entry (valid), the job type, the icons and the manual pages (no groff warnings).
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for program in plivora plivora-interlace plivora-pitch-test plivora-proof; do
  [ -x "$prefix/bin/$program" ] || fail "no bin/$program"
done
"$prefix/bin/plivora-interlace" --version | grep -qx "plivora-interlace 13.4" || fail "plivora-interlace --version"
"$prefix/bin/plivora-pitch-test" --version | grep -qx "plivora-pitch-test 13.4" || fail "plivora-pitch-test --version"
"$prefix/bin/plivora-proof" --version | grep -qx "plivora-proof 13.4" || fail "plivora-proof --version"

# The search module lies in lib*/plivora/, and the installed program opens it.
[ -n "$(find "$prefix" -path "$prefix/lib*/plivora/plivora-search.so")" ] || fail "no lib/plivora/plivora-search.so"
/usr/bin/python3 - "$prefix" <<'EOF_VIEWS'
import random, sys
from PIL import Image, ImageFilter
random.seed(5)
scene = Image.frombytes("L", (260, 220), bytes(random.randrange(256) for _ in range(260 * 220))).filter(ImageFilter.GaussianBlur(2))
for k in range(3):  # the scene moved right by 2k pixels
    ink = scene.crop((10 - 2 * k, 10, 250 - 2 * k, 210))
    blank = Image.new("L", ink.size)
    Image.merge("CMYK", (blank, blank, blank, ink)).save(f"{sys.argv[1]}/v{k}.tif")
EOF_VIEWS
aligned=$("$prefix/bin/plivora-interlace" -q --dry-run --align auto -o "$prefix/out.tif" "$prefix"/v?.tif 2>&1) ||
  fail "the installed program does not align: $aligned"

desktop="$prefix/share/applications/plivora.desktop"
desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
grep -qx "Categories=Graphics;Publishing;" "$desktop" || fail "desktop entry categories"
grep -qx "MimeType=application/x-plivora-job;image/tiff;image/png;image/jpeg;" "$desktop" || fail "desktop entry MIME type"
# The job type registers and names *.plivora (the database built as dpkg's trigger builds it).
update-mime-database "$prefix/share/mime" >/dev/null 2>&1 || fail "the job type does not register"
grep -q '<glob pattern="\*.plivora"' "$prefix/share/mime/application/x-plivora-job.xml" ||
  fail "the job type does not name *.plivora"
grep -qx "Icon=plivora" "$desktop" || fail "desktop entry icon"
for size in 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/plivora.png"
  [ -f "$icon" ] || fail "no ${size}x${size} icon"
  /usr/bin/python3 -c "import sys; from PIL import Image; assert Image.open(sys.argv[1]).size == ($size, $size)" "$icon" ||
    fail "the ${size}x${size} icon has another size"
done

for page in plivora plivora-interlace plivora-pitch-test plivora-proof; do
  file="$prefix/share/man/man1/$page.1"
  [ -f "$file" ] || fail "no manual page $page.1"
  warnings=$(groff -man -ww -z "$file" 2>&1)
  [ -z "$warnings" ] || fail "groff warns about $page.1: $warnings"
done
echo "install_test: programs, desktop entry, icons and manual pages in place"
