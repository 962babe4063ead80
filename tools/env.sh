# tools/env.sh: shared set-up for the scripts in tools/ (sourced, not run).
# Installs what a fresh Debian machine lacks, prepares the ja_JP.UTF-8 locale
# and exports the environment every Wine process of this project runs with.

VOSTRELK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export VOSTRELK_ROOT

vk_packages=(cmake ninja-build g++ googletest g++-mingw-w64-x86-64-posix wine64 wine
             xvfb xdotool x11-utils imagemagick fonts-ipafont-gothic locales liblnk-utils
             clang clang-tidy libclang-rt-14-dev python3 unzip nodejs)

vk_install() {
  local missing=()
  for p in "${vk_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
  if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
  fi
}

# Debian's wine64 package keeps its loader and server off the PATH.
vk_wine_tools() {
  WINE_LOADER=$(dpkg -L wine64 | grep -m1 -E '/lib/wine/wine64$')
  WINESERVER=$(dpkg -L wine64 | grep -m1 -E '/lib/wine/wineserver(64)?$')
  export WINE_LOADER WINESERVER
}

# vk_wine_env PREFIX: the environment for every Wine process; HOME is a scratch
# folder with a Desktop/ so that shortcuts land somewhere disposable.
vk_wine_env() {
  export WINEPREFIX=$1
  export WINEDEBUG=-all
  # No Mono or Gecko download prompts, no desktop entries for every shortcut;
  # a caller adds its own in VK_DLL_OVERRIDES (a test's planted DLLs).
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${VK_DLL_OVERRIDES:+;$VK_DLL_OVERRIDES}"
  # Code page 932 as on the users' PCs; a test of another code page names its locale.
  export LANG=${VK_LANG:-ja_JP.UTF-8} LC_ALL=${VK_LANG:-ja_JP.UTF-8}
  export HOME=$WINEPREFIX.home
  mkdir -p "$HOME/Desktop"
  vk_wine_tools
}

# Creates the prefix once; later runs reuse it. The prefix is PREFIX, else
# $VOSTRELK_WINEPREFIX, else the project's own build/wine/prefix.
vk_wine_prefix() {
  vk_wine_env "${1:-${VOSTRELK_WINEPREFIX:-$VOSTRELK_ROOT/build/wine/prefix}}"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "creating Wine prefix (once)"
    "$WINE_LOADER" wineboot -i >/dev/null 2>&1 </dev/null
    "$WINESERVER" -w
  fi
  local marker="$WINEPREFIX/.vostrelk-setup-2"
  if [ ! -f "$marker" ]; then
    # Without a window manager Wine draws its own caption only when told to.
    vk_reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f
    # Unmanaged windows: with no window manager to answer, hiding a managed
    # window waits two seconds for it.
    vk_reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
    # The window's font and the system's Japanese UI fonts, by the metric-compatible
    # IPA fonts, as on a Japanese Windows.
    local r='HKCU\Software\Wine\Fonts\Replacements'
    # (the Japanese names "MS P Gothic" and "MS Gothic", as UTF-8 bytes)
    vk_reg add "$r" /v $'\xef\xbc\xad\xef\xbc\xb3\x20\xef\xbc\xb0\xe3\x82\xb4\xe3\x82\xb7\xe3\x83\x83\xe3\x82\xaf' /t REG_SZ /d IPAPGothic /f
    vk_reg add "$r" /v 'MS PGothic' /t REG_SZ /d IPAPGothic /f
    vk_reg add "$r" /v $'\xef\xbc\xad\xef\xbc\xb3\x20\xe3\x82\xb4\xe3\x82\xb7\xe3\x83\x83\xe3\x82\xaf' /t REG_SZ /d IPAGothic /f
    vk_reg add "$r" /v 'MS Gothic' /t REG_SZ /d IPAGothic /f
    vk_reg add "$r" /v 'MS UI Gothic' /t REG_SZ /d IPAPGothic /f
    vk_reg add "$r" /v 'Meiryo UI' /t REG_SZ /d IPAPGothic /f
    vk_reg add "$r" /v 'Yu Gothic UI' /t REG_SZ /d IPAPGothic /f
    touch "$marker"
  fi
}

vk_reg() { "$WINE_LOADER" reg "$@" >/dev/null 2>&1 </dev/null; }

# vk_dpi N: the display's pixels per inch for programs started from now on.
vk_dpi() { vk_reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f; }

# winpath PATH: the Windows form of a Linux path, through Wine's drive Z:.
winpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }

# A display for the tests that show windows.
# Xvfb picks a free display number itself and tells it through a file.
vk_xvfb() {
  if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    local fd_file
    fd_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
    VK_XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
    export DISPLAY=":$(tr -d '[:space:]' <"$fd_file")"
    rm -f "$fd_file"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  fi
}

# The Windows build: Vostrelk.exe and the tests, cross-compiled.
vk_build_windows() { cmake --preset windows >/dev/null && cmake --build --preset windows; }

# A Wine session for a run of programs: the prefix, one persistent server
# (a server that is shutting down makes a new program end silently) and a
# display. vk_wine_session_end stops both; callers trap it on EXIT.
vk_wine_session() {
  vk_wine_prefix "$@"
  "$WINESERVER" -w  # a server still going down would end the first program silently
  "$WINESERVER" -p
  vk_xvfb
}
vk_wine_session_end() {
  [ -n "${WINESERVER:-}" ] && "$WINESERVER" -k >/dev/null 2>&1
  [ -n "${VK_XVFB_PID:-}" ] && kill "$VK_XVFB_PID" 2>/dev/null
  return 0
}
