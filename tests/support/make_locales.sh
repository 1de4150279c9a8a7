#!/usr/bin/env bash
# Builds the comma-decimal locales the tests run under (fr_FR.UTF-8,
# de_DE.UTF-8) into DIR, for LOCPATH=DIR; quick when they are there already.
# The machine needn't have them generated: localedef makes them from the
# locale sources of Debian's "locales" package.
set -euo pipefail
dir="$1"
mkdir -p "$dir"
for name in fr_FR de_DE; do
  [ -f "$dir/$name.UTF-8/LC_NUMERIC" ] && continue
  # localedef exits 1 for mere warnings; the files it wrote are what counts.
  localedef -i "$name" -f UTF-8 "$dir/$name.UTF-8" >/dev/null 2>&1 || true
  [ -f "$dir/$name.UTF-8/LC_NUMERIC" ] || { echo "make_locales.sh: cannot build $name.UTF-8 in $dir" >&2; exit 1; }
done
