# Sourced by the set-up scripts: installs the Debian packages the build needs, once.
QUORVANE_PACKAGES=(cmake ninja-build g++ qt6-base-dev xvfb xauth fonts-ipafont-gothic imagemagick
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev qt6-charts-dev libqt6opengl6-dev)

quorvane_install_packages() {
  local missing=() package
  for package in "${QUORVANE_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
