#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and is missing.
# `install-deps.sh lab` installs only what building the ballistics lab needs. Both end by
# fetching the source of the lab's optimiser, NLopt, which each build compiles itself.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev zlib1g-dev chromium
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev binutils-mingw-w64-i686 glslang-tools
  wine wine32:i386 xvfb xauth libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386
)

if [ "${1:-}" = lab ]; then
  packages=(cmake ninja-build g++ nlohmann-json3-dev libcli11-dev zlib1g-dev libgtest-dev
            libbenchmark-dev)
elif ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
"$(dirname "$0")/fetch-nlopt.sh" >/dev/null
