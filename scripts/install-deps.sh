#!/usr/bin/env bash
# Installs the Debian packages Plivora needs: with no argument, what the
# build, the tests and the two README commands need; `fuzz` adds the
# fuzzer's compiler, `bench` what the benchmarks measure with. Idempotent and
# quick when everything is present: apt runs only when a package is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev
  qt6-translations-l10n
  libjpeg62-turbo-dev libtiff-dev libtiff-tools libpng-dev libgif-dev liblcms2-dev libgs-common
  libopencv-dev
  libgtest-dev
  fonts-liberation fonts-wqy-microhei fontconfig
  locales
  desktop-file-utils shared-mime-info groff-base
  xvfb xauth xdotool imagemagick
  python3-numpy python3-pil
)
for group in "$@"; do
  case "$group" in
    fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    bench) packages+=(time) ;;
    *) echo "install-deps.sh: no package group \"$group\" (fuzz, bench)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
