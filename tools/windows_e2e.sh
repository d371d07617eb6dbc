#!/usr/bin/env bash
# Builds gmgather.exe (preset windows) and tests it under Wine in a fresh prefix, headless:
# the unit tests that need no POSIX host, built for Windows (preset windows-tests); the
# end-to-end tests against the .exe (preset wine-e2e) with a Japanese system locale (code
# page 932), then the Japanese-setting ones again with a German locale (code page 1252),
# since the results must not depend on the system code page; and a typed dialogue at a
# real Wine console (tmux).
#
#   tools/windows_e2e.sh
#
# Needs cmake, ninja, g++, libgtest-dev, g++-mingw-w64-x86-64-posix, wine64
# and locales (Debian), and tmux for the console dialogue. Build folders: build/windows,
# build/windows-tests and build/wine-e2e, or GMGATHER_WINDOWS_BUILD,
# GMGATHER_WINDOWS_TESTS_BUILD and GMGATHER_WINE_E2E_BUILD.
set -euo pipefail
cd "$(dirname "$0")/.."

wine=${GMGATHER_WINE:-/usr/lib/wine/wine64}              # Debian's wine64 package
wineserver=${GMGATHER_WINESERVER:-/usr/lib/wine/wineserver}
objdump=x86_64-w64-mingw32-objdump
windows_build=${GMGATHER_WINDOWS_BUILD:-build/windows}
tests_build=${GMGATHER_WINDOWS_TESTS_BUILD:-build/windows-tests}
e2e_build=${GMGATHER_WINE_E2E_BUILD:-build/wine-e2e}

for tool in "$wine" "$wineserver"; do
  [ -x "$tool" ] || { echo "windows_e2e: $tool not found (apt-get install wine64)" >&2; exit 1; }
done
command -v "$objdump" >/dev/null || { echo "windows_e2e: $objdump not found (binutils-mingw-w64-x86-64)" >&2; exit 1; }

step() {
  echo "== [${SECONDS}s] $*"
}

# Locales for the two runs. Wine takes the system code page from LANG, and only from a
# locale the C library knows; generate it when it is missing.
ensure_locale() {  # ja_JP -> ja_JP.UTF-8
  if ! locale -a 2>/dev/null | grep -qix "$1\.utf-\?8"; then
    localedef -i "$1" -f UTF-8 "$1.UTF-8" 2>/dev/null || return 1
  fi
}
japanese=ja_JP.UTF-8
other=de_DE.UTF-8
if ! ensure_locale ja_JP; then
  echo "windows_e2e: cannot generate ja_JP.UTF-8 (package locales); running with C.UTF-8 only" >&2
  japanese=C.UTF-8
fi
if ! ensure_locale de_DE; then
  echo "windows_e2e: cannot generate de_DE.UTF-8 (package locales); running with C.UTF-8" >&2
  other=C.UTF-8
fi

step "gmgather.exe (preset windows) in $windows_build"
cmake --preset windows -B "$windows_build" >/dev/null
cmake --build "$windows_build"
exe=$(cd "$windows_build/src" && pwd)/gmgather.exe
# The .exe must run on a bare Windows machine: system DLLs only, the C++ runtime linked in.
imports=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
echo "gmgather.exe: $(stat -c %s "$exe") bytes; imports:" $imports
for dll in $imports; do
  case ${dll,,} in
    kernel32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll) ;;
    *) echo "windows_e2e: gmgather.exe imports $dll, which a bare Windows machine lacks" >&2; exit 1 ;;
  esac
done

step "unit tests for Windows (preset windows-tests) in $tests_build"
cmake --preset windows-tests -B "$tests_build" -DGMGATHER_WINE="$wine" >/dev/null
cmake --build "$tests_build"

step "end-to-end tests (preset wine-e2e) in $e2e_build"
cmake --preset wine-e2e -B "$e2e_build" -DGMGATHER_E2E_EXE="$exe" -DGMGATHER_E2E_LAUNCHER="$wine" >/dev/null
cmake --build "$e2e_build" --target driver_tests

# A prefix of our own, with no display: nothing of the user's Wine setup takes part.
work=$(mktemp -d "${TMPDIR:-/tmp}/gmgather-wine.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64
# No Mono, no Gecko, no desktop menus: nothing that would ask for a download or a window.
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  tmux -S "$work/tmux.socket" kill-server 2>/dev/null || true
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX"

step "Wine prefix in $WINEPREFIX ($("$wine" --version))"
# A persistent server: each test's run then starts in about 50 ms instead of starting a
# server. The services that the first program of a prefix starts live on with the server
# and keep its standard streams; they get the log file here, not a test's pipes, which a
# test reads to the end.
"$wineserver" -p
LANG=$japanese "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; exit 1; }

step "unit tests under Wine, LANG=$japanese"
LANG=$japanese ctest --test-dir "$tests_build" --output-on-failure

# Under Wine a run has, very rarely (twice in some thousands of runs), ended with no output
# at all while the machine was loaded; the same runs never failed natively. A test that
# fails is tried once more, and ctest's output still shows the first failure.
step "all end-to-end tests, LANG=$japanese"
LANG=$japanese ctest --test-dir "$e2e_build" -L driver --output-on-failure --repeat until-pass:2

step "Japanese-setting tests, LANG=$other"
LANG=$other ctest --test-dir "$e2e_build" -L driver -R '^JapaneseSetting\.' --output-on-failure \
  --repeat until-pass:2

# The interactive console. In a terminal (tmux here) the program gets a real Wine console:
# the prompt and messages go out through WriteConsoleW and the typed name comes back
# through ReadConsoleW. With LANG=$other the console's code page is 850, not 932: the
# Japanese text must show and be read all the same.
console_check() {
  local dir=$work/console session=gmgather
  local tmux=(tmux -u -S "$work/tmux.socket")
  mkdir -p "$dir"
  cp -r examples/realistic/. "$dir"
  mv "$dir/def.csv" "$dir/定義.csv"
  shows() {  # waits up to 20 s for a text on the screen
    for _ in $(seq 100); do
      "${tmux[@]}" capture-pane -p -t "$session" | grep -qF -- "$1" && return 0
      sleep 0.2
    done
    echo "windows_e2e: the console did not show: $1" >&2
    "${tmux[@]}" capture-pane -p -t "$session" >&2
    return 1
  }
  type_line() {
    "${tmux[@]}" send-keys -t "$session" -l "$1"
    "${tmux[@]}" send-keys -t "$session" Enter
  }
  start() {
    # A tmux server now and then dies as it starts ("server exited unexpectedly").
    local attempt
    for attempt in 1 2 3; do
      LANG=C.UTF-8 "${tmux[@]}" new-session -d -s "$session" -x 100 -y 10 \
        "cd '$dir' && LANG=$other '$wine' '$exe'; echo \"exit status \$?\"; sleep 600" && break
      sleep 1
    done
    shows '震源断層/ケースフォルダ定義ファイル:'
  }
  start
  type_line '存在しない.csv'
  shows '存在しない.csv not exist ! [Enter]'
  type_line ''
  shows 'exit status 1'
  "${tmux[@]}" kill-server

  start
  type_line '定義.csv'
  shows 'exit status 0'
  "${tmux[@]}" kill-server
  local results
  results=$(find "$dir" -maxdepth 1 -name '*･*.csv' | wc -l)
  [ "$results" -eq 6 ] || { echo "windows_e2e: $results result files after the console run" >&2; return 1; }
}
if command -v tmux >/dev/null; then
  step "interactive console (tmux), LANG=$other"
  console_check
else
  step "interactive console: not checked (no tmux)"
fi

step "done"
