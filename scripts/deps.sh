# Sourced by the other scripts: installs the Debian packages the build and the tests need.
# What building and running the program alone needs (scripts/demo); xvfb and xauth start it
# on a machine without a display.
QOVA_PROGRAM_PACKAGES="cmake g++ make qt6-base-dev qt6-serialport-dev libgl-dev libqt6sql6-sqlite libsqlite3-dev
  fonts-dejavu-core xvfb xauth"
# Everything: the tests, the pictures, packaging, the printer, the database server, ser2net.
QOVA_PACKAGES="cmake g++ make clang-format qt6-base-dev qt6-serialport-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-apps imagemagick python3 poppler-utils fonts-dejavu-core dpkg-dev file desktop-file-utils
  cups-daemon cups-client printer-driver-cups-pdf tesseract-ocr tesseract-ocr-eng e2fsprogs ser2net
  libqt6sql6-sqlite libqt6sql6-psql postgresql libsqlite3-dev lld
  qtkeychain-qt6-dev gnome-keyring dbus-daemon"
# scripts/windows and scripts/package-windows: the MinGW-w64 compiler, Wine, NSIS, the source
# of GoogleTest to cross-build, what unpacks and builds libpq's, and the PostgreSQL server the
# history tests under Wine reach.
QOVA_WIN_PACKAGES="g++-mingw-w64-x86-64-posix wine64 nsis googletest make bzip2 xz-utils postgresql python3"

qova_missing_packages() { # qova_missing_packages [PACKAGES]
  local missing=""
  for p in ${1:-$QOVA_PACKAGES}; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
  done
  echo "$missing"
}

qova_install_deps() { # qova_install_deps [PACKAGES], all of QOVA_PACKAGES by default
  local missing
  missing=$(qova_missing_packages "${1:-$QOVA_PACKAGES}")
  [ -z "$missing" ] && return 0
  if [ "$(id -u)" = 0 ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
  else
    echo "These Debian packages are missing:$missing" >&2
    echo "Install them with: sudo apt-get install$missing" >&2
    exit 1
  fi
}

qova_build() { # qova_build BUILD_DIR [cmake options...]
  local dir=$1
  shift
  cmake -S "$QOVA_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)"
}
