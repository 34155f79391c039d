# Sourced by the set-up scripts: installs the Debian packages the build needs, once.
QUORVANE_PACKAGES=(cmake ninja-build g++ qt6-base-dev xvfb xauth fonts-ipafont-gothic imagemagick
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev qt6-charts-dev libqt6opengl6-dev locales)

quorvane_install_packages() {
  local missing=() package
  for package in "${QUORVANE_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  # Some packages (prometheus, prometheus-node-exporter) start their service on install, on
  # every interface. A policy-rc.d that refuses every start keeps the machine free of them; one
  # that is already in place is left as it is.
  local policy=/usr/sbin/policy-rc.d placed=0 status=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\n# Placed by quorvane_install_packages for the length of one install.\nexit 101\n' |
      "${sudo[@]}" tee "$policy" >/dev/null
    "${sudo[@]}" chmod 755 "$policy"
    placed=1
  fi
  "${sudo[@]}" apt-get update -qq || status=$?
  if [ "$status" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
      status=$?
  fi
  [ "$placed" -eq 1 ] && "${sudo[@]}" rm -f "$policy"
  return "$status"
}
