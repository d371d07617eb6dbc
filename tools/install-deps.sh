#!/usr/bin/env bash
# Installs what gmgather's build, its tests, its benchmarks, its fuzz targets and its
# Windows build need on a Debian machine (bookworm or later), through apt-get. Only what is
# missing is installed, so a second run installs nothing. .ci/run calls it first.
#
#   tools/install-deps.sh          install what is missing (as root, or through sudo)
#   tools/install-deps.sh --list   name what is missing and install nothing; status 1 when
#                                  anything is missing
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
# The design wave's Fourier transform (header-only, for both builds).
[ -f /usr/include/eigen3/unsupported/Eigen/FFT ] || need+=(libeigen3-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
# The tests of the order of flushes and renames run the program under strace.
command -v strace >/dev/null || need+=(strace)
# The fuzz targets: clang 14 and its libFuzzer runtime.
command -v clang++-14 >/dev/null || need+=(clang-14)
ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
  need+=(libclang-rt-14-dev)
# The Windows build and its tests under Wine.
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
[ -x /usr/lib/wine/wine64 ] || need+=(wine64)
[ -d /usr/share/i18n/locales ] || need+=(locales)
# The tests of what a terminal shows (the help, Ctrl+C at the prompt).
command -v tmux >/dev/null || need+=(tmux)
# The Windows package is unzipped and run as a user would.
command -v unzip >/dev/null || need+=(unzip)
# The largest run's peak memory is read by GNU time.
[ -x /usr/bin/time ] || need+=(time)
# The response spectra are held to scipy's (for Debian's own python3); the shipped
# example's motions and tables are made with it (tools/make_example.py).
/usr/bin/python3 -c 'import scipy' 2>/dev/null || need+=(python3-scipy)
# The report page's checks: a strict HTML5 parser (for Debian's own python3) and a real
# browser, with a Japanese font so its screenshots show the labels.
/usr/bin/python3 -c 'import html5lib' 2>/dev/null || need+=(python3-html5lib)
command -v chromium >/dev/null || need+=(chromium)
[ -f /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc ] || need+=(fonts-noto-cjk)

if [ "${1:-}" = --list ]; then
  [ ${#need[@]} -eq 0 ] && exit 0
  echo "${need[*]}"
  exit 1
fi
if [ $# -gt 0 ]; then
  echo "usage: tools/install-deps.sh [--list]" >&2
  exit 2
fi
if [ ${#need[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

as_root=()
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: run as root, or install sudo: ${need[*]}" >&2; exit 1; }
  as_root=(sudo)
fi
echo "install-deps: installing ${need[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
