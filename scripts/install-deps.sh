#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking
# Vexmoor needs. Safe to run again; needs root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build git
  clang libclang-rt-dev          # libFuzzer and the sanitizer runtimes
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev                     # zipped dats unpack through zlib; tests compare CRCs with it
  liblzma-dev                    # unpacks packed 7z headers
  libexpat1-dev                  # the XML dats (Logiqx, OfflineList) are read through expat
  libsqlite3-dev                 # the checksum store
  libarchive-dev                 # a rebuild and --verify read zip, 7z and rar members through libarchive
  zip unzip python3              # tests build archives with the tools users have
  p7zip-full                     # tests compare `vexmoor ls` with `7z l -slt`; bench/verify_cost.sh times `7z t`
  nginx                          # the HTTP client tests run it on loopback
  libsodium-dev minisign         # update list signatures and file hashes; tests check them against the minisign tool
  libssl-dev openssl             # https and the dumps' SHA-1/MD5/SHA-256 through OpenSSL; tests make their CA with `openssl`
  libdeflate-dev rhash pkgconf   # yardsticks of the CRC and scan benchmarks (bench/ only)
  time strace                    # CPU times and system-call counts of bench/small_files.sh
  qt6-base-dev qt6-svg-dev       # moorscan and moorpurge (Widgets, Test), the SVG images
  fonts-dejavu-core              # a font for the offscreen GUI tests and the screenshot
  xvfb                           # scripts/screenshot.sh
)

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps.sh: run as root" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
