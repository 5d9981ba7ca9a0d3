#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
# Cheap when everything is already there: apt is only touched for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
  qt6-qpa-plugins fonts-noto-cjk fonts-dejavu-core desktop-file-utils
  libmodbus-dev python3 python3-pymodbus
)

# With --fuzz also what the libFuzzer harnesses need (scripts/fuzz, and
# scripts/test, which runs them): clang and its sanitizer and fuzzer runtimes.
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

# With --package also what making and checking the Debian package needs
# (scripts/package): dpkg-shlibdeps and dpkg-buildflags, file (which CPack's
# dependency scan runs), lintian and the AppStream validator.
if [ "${1:-}" = "--package" ]; then
  packages+=(dpkg-dev file lintian appstream)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  as_root=()
  if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
