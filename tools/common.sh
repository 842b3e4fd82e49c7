# Shared steps of the run and test commands; sourced, not run.

# Installs the packages as root (through sudo when not root).
install_packages() {
  if [ "$(id -u)" -eq 0 ]; then bash tools/setup.sh; else sudo bash tools/setup.sh; fi
}

build_preset() {
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

# The product is 32-bit. Some machines cannot execute 32-bit code at all (32-bit Wine fails with
# "Exec format error"); there the Windows suite runs from a 64-bit build under 64-bit Wine, which
# still exercises the real Windows interfaces.
can_run_32bit_wine() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

windows_test_preset() {
  if can_run_32bit_wine; then echo windows; else echo windows-x64; fi
}

wine_loader() {
  if can_run_32bit_wine; then echo /usr/lib/wine/wine; else echo /usr/lib/wine/wine64; fi
}

# A fresh prefix per run, initialised once.
start_wine_prefix() {
  export WINEDEBUG=-all
  WINEPREFIX=$(mktemp -d -t dravik-wine.XXXXXX)
  export WINEPREFIX
  if can_run_32bit_wine; then export WINEARCH=win32; else export WINEARCH=win64; fi
  "$(wine_loader)" wineboot --init >/dev/null 2>&1
}

stop_wine_prefix() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}

run_windows() {
  "$(wine_loader)" "$@"
}

# The product's version and publisher, as dravik.exe's version record states them: FILEVERSION
# 2, 0, 2, 101 is 2.0.2.101.
product_version() {
  sed -n 's/^FILEVERSION *\([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' \
    "$(dirname "${BASH_SOURCE[0]}")/../src/dravik/dravik.rc"
}

product_publisher() {
  sed -n 's/^ *VALUE "CompanyName", "\(.*\)".*/\1/p' "$(dirname "${BASH_SOURCE[0]}")/../src/dravik/dravik.rc"
}
