# Shared by scripts/test, scripts/demo and .ci/run: packages, build, display and Wine prefix.
# shellcheck shell=bash

ZID_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ZID_BUILD="${ZID_BUILD:-$ZID_ROOT/build}"

zid_packages=(cmake make g++ python3 file g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 xvfb xauth x11-utils
              msitools wixl osslsigncode openssl googletest imagemagick fonts-wine curl)

# Installs what is missing; safe to run again.
zid_install() {
  local missing=()
  local p
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_cmd dpkg --add-architecture i386
    ZID_APT_UPDATED=
  fi
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  if [ -z "${ZID_APT_UPDATED:-}" ]; then
    # A mirror in the middle of a sync fails an index now and then: try again, then go on with
    # what was fetched (the install below says if a package is really missing).
    local try
    for try in 1 2 3; do
      sudo_cmd apt-get update -qq && break
      echo "apt-get update failed (try $try of 3)"
      sleep $((try * 10))
    done
    ZID_APT_UPDATED=1
  fi
  if ! sudo_cmd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    # 32-bit Wine needs the i386 indexes to match the amd64 ones, which a mirror in the middle of a
    # sync does not always offer: without it the x86_64 twin of the build runs the tests.
    local without32=()
    for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || without32+=("$p"); done
    [ ${#without32[@]} -lt ${#missing[@]} ] || return 1
    echo "32-bit Wine could not be installed now: the Windows programs run as their x86_64 build"
    sudo_cmd env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${without32[@]}" >/dev/null
  fi
}

sudo_cmd() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Some machines (sandboxed kernels) cannot run 32-bit Linux programs, and so not Wine's 32-bit
# loader. There the same sources are also built for x86_64 and that build is what runs under Wine.
zid_can_run_32bit() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

# The build whose programs run under Wine here: the shipped i686 build, or its x86_64 twin.
zid_run_build() {
  if zid_can_run_32bit; then echo "$ZID_BUILD"; else echo "$ZID_BUILD/x64"; fi
}

zid_wine_loader() {
  if zid_can_run_32bit; then echo wine; else echo /usr/lib/wine/wine64; fi
}

# Builds the shipped program (build/ZIDezureziv.exe, i686) and, where needed, the x86_64 twin.
zid_build() {
  cmake -S "$ZID_ROOT" -B "$ZID_BUILD" -DCMAKE_TOOLCHAIN_FILE="$ZID_ROOT/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$ZID_BUILD" -j"$(nproc)" "$@"
  if ! zid_can_run_32bit; then
    cmake -S "$ZID_ROOT" -B "$ZID_BUILD/x64" -DCMAKE_TOOLCHAIN_FILE="$ZID_ROOT/cmake/mingw-x86_64.cmake" >/dev/null
    cmake --build "$ZID_BUILD/x64" -j"$(nproc)" "$@"
  fi
}

# A display for Wine: the caller's, or a private Xvfb (stopped on exit).
zid_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${ZID_FORCE_XVFB:-}" ]; then return 0; fi
  local n
  for n in $(seq 90 130); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  ZID_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb did not start" >&2
  return 1
}

# The build's own Wine prefix (made anew with "fresh"), with a server kept up for the whole run.
zid_wine() {
  local wine
  wine=$(zid_wine_loader)
  export WINEPREFIX="${WINEPREFIX:-$(zid_run_build)/wineprefix}"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # A server left over from an interrupted run would keep the one below from ending.
  wineserver -k >/dev/null 2>&1 || true
  # "fresh": nothing an earlier run installed or registered is seen by this one.
  [ "${1:-}" = fresh ] && rm -rf "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    # No crash dialog: a crashing test program must end, not wait for a click.
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    # A new prefix links the user's Desktop, Documents, Downloads... to the real home folder; real
    # folders inside the prefix keep whatever the program saves there (downloads) out of the home.
    local folder
    for folder in "$WINEPREFIX"/drive_c/users/*/*; do
      if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
    done
  fi
  # Wine draws the window frame's buttons and the split button's arrow with Marlett. This Wine does
  # not look in fonts-wine's folder, so the prefix gets its own copy (else those show as letters).
  local marlett=/usr/share/wine/fonts/marlett.ttf
  if [ -f "$marlett" ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp "$marlett" "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  wineserver -p
  # On the private Xvfb no window manager answers Wine, which then waits two seconds each time a
  # window is hidden; unmanaged windows need no answer. On a real display windows stay managed.
  if [ -n "${ZID_XVFB_PID:-}" ]; then
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
  else
    "$wine" reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
  fi
  # Start Wine's services now, detached from any output that a test runner waits on.
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

zid_cleanup() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  [ -n "${ZID_XVFB_PID:-}" ] && kill "$ZID_XVFB_PID" >/dev/null 2>&1 || true
}
