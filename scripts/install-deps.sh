#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Merrowby need.
# Only missing packages are installed, and the package lists are refreshed only then,
# so a second run costs a few dpkg queries. Works as root or through sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache g++
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-dbfread python3-dbf
  cups libcups2-dev printer-driver-cups-pdf poppler-utils
  xvfb xdotool imagemagick fonts-dejavu-core fonts-liberation
  clang libclang-rt-14-dev
  appstream dpkg-dev openbox glabels-data help2man
  dbus-daemon python3-icalendar khal
)

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
  [[ $status == ii* ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

if ((EUID == 0)); then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: missing packages (${missing[*]}) and neither root nor sudo available" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -q "${missing[@]}"
