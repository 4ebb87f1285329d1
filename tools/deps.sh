#!/usr/bin/env bash
# Installs the Debian packages of the named groups that are missing:
#   tools/deps.sh GROUP...
#   build  the native build            test   GoogleTest for the unit tests
#   docs   the guide and the man page  fuzz   clang and its libFuzzer runtime
#   cross  the Windows cross build and its zip
#   wine   Wine, a virtual display, the Japanese fonts and locale for the Windows tests
# Runs apt-get and localedef (as root, through sudo when not root) only when something is missing.
set -euo pipefail

packages=()
for group in "$@"; do
  case $group in
    build) packages+=(cmake g++) ;;
    test) packages+=(googletest libgtest-dev libgmock-dev) ;;
    docs) packages+=(pandoc man-db) ;;
    fuzz) packages+=(clang libclang-rt-dev) ;;
    cross) packages+=(cmake g++-mingw-w64-x86-64 googletest pandoc imagemagick icoutils zip unzip) ;;
    wine) packages+=(wine wine64 xvfb fonts-ipafont-gothic fonts-ipafont-mincho fonts-wine x11-utils locales) ;;
    *) echo "deps.sh: unknown group '$group' (build test docs fuzz cross wine)" >&2; exit 2 ;;
  esac
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
if [ "${#missing[@]}" -gt 0 ]; then
  echo "deps.sh: installing ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi
# Under this locale Wine runs as a Japanese Windows (code page 932).
if [[ " $* " == *" wine "* ]] && ! locale -a | grep -qix 'ja_JP.utf-\?8'; then
  echo "deps.sh: making the locale ja_JP.UTF-8"
  as_root localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
