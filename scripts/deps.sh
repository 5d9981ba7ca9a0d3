#!/usr/bin/env bash
# Installs the Debian 12 packages that Tallowick needs; apt is only touched for
# what is missing, so a second run costs nothing.
#
#   scripts/deps.sh            what building and running the program needs (lld
#                              links faster than the default linker)
#   scripts/deps.sh --test     also what the test suite needs (libmodbus for its
#                              independent Modbus slave and master,
#                              desktop-file-validate, tshark, which reads the
#                              monitor's captures, mbpoll, a master the device
#                              is tested against)
#   scripts/deps.sh --fuzz     also clang and its sanitizer and fuzzer runtimes
#   scripts/deps.sh --package  also what making and checking the Debian package
#                              needs (scripts/package, and the test suite's
#                              package check): dpkg-shlibdeps and dpkg-buildflags,
#                              file (which CPack's dependency scan runs), lintian
#                              and the AppStream validator
# The options combine.
set -euo pipefail

packages=(
  cmake ninja-build g++ lld pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
  qt6-qpa-plugins fonts-noto-cjk fonts-dejavu-core
)
for option in "$@"; do
  case "$option" in
    --test) packages+=(libmodbus-dev desktop-file-utils python3 tshark mbpoll) ;;
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    --package) packages+=(dpkg-dev file lintian appstream) ;;
    *) echo "usage: $0 [--test] [--fuzz] [--package]" >&2; exit 2 ;;
  esac
done

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
  # tshark asks whether to let non-root users capture; nothing here captures.
  if [[ " ${missing[*]} " == *" tshark "* ]]; then
    echo "wireshark-common wireshark-common/install-setuid boolean false" |
      "${as_root[@]}" debconf-set-selections
  fi
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
