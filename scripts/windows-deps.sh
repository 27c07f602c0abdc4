#!/usr/bin/env bash
# Everything the Windows build needs, from Debian's own packages and sources:
# the x86-64 mingw-w64 cross compilers (posix threads), wine to run the tests,
# NSIS for the installer, and the libraries the core links (zlib, expat,
# SQLite, liblzma, bzip2, libarchive, libsodium, OpenSSL) built as static
# libraries for x86_64-w64-mingw32 from Debian's source packages into
# build/windows-deps/prefix. A library already built is skipped (its stamp
# file lies in the prefix), so running the script again costs seconds.
#   scripts/windows-deps.sh            install packages (as root) and build
#   scripts/windows-deps.sh --no-apt   only build (the packages are there)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

host=x86_64-w64-mingw32
top=$PWD/build/windows-deps
prefix=$top/prefix
sources=$top/src
jobs=$(nproc)

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64                   # runs the tests and the installer
  nsis                          # cpack -G NSIS
  dpkg-dev                      # apt-get source unpacks with dpkg-source
  tcl                           # SQLite's source tree makes its amalgamation with tclsh
  make perl                     # the libraries' own build systems
  autoconf automake libtool     # libsodium's source comes without its configure script
  libgtest-dev libgmock-dev     # GoogleTest's source, built for Windows too
)

if [ "${1:-}" != "--no-apt" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "windows-deps.sh: run as root (or pass --no-apt once the packages are installed)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  # Source packages come from the mirror the binary ones come from (its main
  # archive; the security mirror keeps no sources here).
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      awk -v RS= -v ORS='\n\n' '!/security/ { sub(/Types: deb\n/, "Types: deb-src\n"); print }' \
        /etc/apt/sources.list.d/debian.sources >/etc/apt/sources.list.d/vexmoor-deb-src.sources
    elif [ -f /etc/apt/sources.list ]; then
      sed -n '/security/d; s/^deb /deb-src /p' /etc/apt/sources.list >/etc/apt/sources.list.d/vexmoor-deb-src.list
    fi
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "${packages[@]}" >/dev/null
fi

mkdir -p "$prefix/include" "$prefix/lib" "$sources"
export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib
command -v "$CC" >/dev/null || { echo "windows-deps.sh: $CC is missing" >&2; exit 1; }

# Unpacks Debian's source package `$1` into $sources; sets $folder to it.
fetch() {
  local package=$1
  folder=$(find "$sources" -maxdepth 1 -type d -name "$package-*" | head -n 1)
  if [ -z "$folder" ]; then
    if ! (cd "$sources" && apt-get source -qq "$package" >"$top/last.log" 2>&1); then
      tail -n 5 "$top/last.log" >&2
      echo "windows-deps.sh: apt-get source $package failed (deb-src lines?)" >&2
      exit 1
    fi
    folder=$(find "$sources" -maxdepth 1 -type d -name "$package-*" | head -n 1)
  fi
  cd "$folder"
}

built() { [ -f "$prefix/.built-$1" ]; }
done_with() { touch "$prefix/.built-$1"; echo "windows-deps.sh: $1 built"; }
quiet() { "$@" >"$top/last.log" 2>&1 || { tail -n 40 "$top/last.log" >&2; exit 1; }; }
configure_static() {
  quiet ./configure --host=$host --prefix="$prefix" --enable-static --disable-shared "$@"
}

# A CMake project configured with the project's own toolchain file.
cmake_configure() {
  quiet cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_SHARED_LIBS=OFF "$@"
}
# ... built and installed into the prefix.
cmake_static() {
  cmake_configure "$@"
  quiet cmake --build build-windows -j"$jobs"
  quiet cmake --install build-windows
}

if ! built zlib; then
  fetch zlib
  # Debian's zlib source has no Windows makefile: the library is its C files.
  for file in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
    inflate inftrees trees uncompr zutil; do
    # With the 64-bit offset calls (crc32_combine64) as on Linux.
    quiet $CC -O2 -D_LARGEFILE64_SOURCE=1 -D_LFS64_LARGEFILE=1 -c $file.c -o $file.o
  done
  rm -f libz.a && quiet $AR rcs libz.a ./*.o
  cp zlib.h zconf.h "$prefix/include/" && cp libz.a "$prefix/lib/"
  cd "$repo" && done_with zlib
fi

if ! built expat; then
  fetch expat
  cd expat
  # Debian's patches test "#if XML_DTD == 1", which the autotools header
  # defines; the CMake header defines the name empty.
  sed -i 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' expat_config.h.cmake
  cmake_static -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF \
    -DEXPAT_BUILD_DOCS=OFF -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF
  cd "$repo" && done_with expat
fi

if ! built sqlite3; then
  fetch sqlite3
  # The amalgamation is generated by the source tree's own tools, built for
  # this machine; only sqlite3.c is compiled for Windows.
  if [ ! -f sqlite3.c ]; then
    mkdir -p native && (cd native && CC=gcc CXX=g++ AR=ar RANLIB=ranlib quiet ../configure --disable-tcl \
      && quiet make sqlite3.c && cp sqlite3.c sqlite3.h ..)
  fi
  quiet $CC -O2 -c sqlite3.c -o sqlite3.o -DSQLITE_THREADSAFE=1 -DSQLITE_OMIT_LOAD_EXTENSION
  quiet $AR rcs "$prefix/lib/libsqlite3.a" sqlite3.o
  cp sqlite3.h "$prefix/include/"
  cd "$repo" && done_with sqlite3
fi

if ! built xz; then
  fetch xz-utils
  configure_static --disable-xz --disable-xzdec --disable-lzmadec --disable-lzmainfo \
    --disable-lzma-links --disable-scripts --disable-doc --disable-nls --disable-threads
  quiet make -j"$jobs" -C src/liblzma && quiet make -C src/liblzma install
  cd "$repo" && done_with xz
fi

if ! built bzip2; then
  fetch bzip2
  # The library is its C files (Debian's makefile builds for this machine).
  for file in blocksort huffman crctable randtable compress decompress bzlib; do
    quiet $CC -O2 -D_FILE_OFFSET_BITS=64 -c $file.c -o $file.o
  done
  rm -f libbz2.a && quiet $AR rcs libbz2.a blocksort.o huffman.o crctable.o randtable.o compress.o \
    decompress.o bzlib.o
  cp bzlib.h "$prefix/include/" && cp libbz2.a "$prefix/lib/"
  cd "$repo" && done_with bzip2
fi

if ! built libarchive; then
  fetch libarchive
  # Reading and writing archives only: no programs, no tests, no encryption
  # library beyond Windows' own (CNG), no XML (xar) and no character-set
  # conversion. Only the static library is built (the project always makes
  # its DLL too), and copied into the prefix by hand. Whether zlib wants
  # ZLIB_WINAPI is a test that runs a program, which a cross build cannot
  # (and CMake 3.25 crashes on); our zlib does not.
  cmake_configure -DZLIB_WINAPI=OFF -DZLIB_WINAPI_WITH_LIB="$prefix/lib/libz.a" -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF \
    -DENABLE_UNZIP=OFF -DENABLE_TEST=OFF -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF \
    -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF -DENABLE_LZO=OFF \
    -DENABLE_ZSTD=OFF -DENABLE_ICONV=OFF -DENABLE_ACL=OFF -DENABLE_XATTR=OFF -DENABLE_WERROR=OFF \
    -DENABLE_ZLIB=ON -DENABLE_LZMA=ON -DENABLE_BZip2=ON -DENABLE_CNG=ON
  quiet cmake --build build-windows -j"$jobs" --target archive_static
  cp libarchive/archive.h libarchive/archive_entry.h "$prefix/include/"
  cp build-windows/libarchive/libarchive_static.a "$prefix/lib/libarchive.a"
  cd "$repo" && done_with libarchive
fi

if ! built libsodium; then
  fetch libsodium
  [ -x configure ] || quiet autoreconf -fi
  configure_static --disable-pie --with-pic=no
  quiet make -j"$jobs" -C src/libsodium && quiet make -C src/libsodium install
  quiet make install-pkgconfigDATA  # libsodium.pc, through which CMake finds it
  cd "$repo" && done_with libsodium
fi

if ! built openssl && [ "${VEXMOOR_WINDOWS_OPENSSL:-ON}" = ON ]; then
  fetch openssl
  # The libraries only (no apps, tests or docs); a TLS client needs no
  # engines, no legacy ciphers and no dynamic loading.
  quiet ./Configure mingw64 --cross-compile-prefix=$host- --prefix="$prefix" --libdir=lib \
    no-shared no-tests no-engine no-legacy no-dso no-module no-comp \
    no-ssl3 no-dtls no-srp no-psk no-idea no-mdc2 no-rc5 no-camellia no-seed no-whirlpool \
    CC=gcc CXX=g++ AR=ar RANLIB=ranlib
  quiet make -j"$jobs" build_libs && quiet make install_dev
  cd "$repo" && done_with openssl
fi

# GoogleTest for the tests, from the source Debian's libgtest-dev ships.
if ! built googletest; then
  [ -d /usr/src/googletest ] || { echo "windows-deps.sh: /usr/src/googletest is missing (libgtest-dev)" >&2; exit 1; }
  rm -rf "$sources/googletest" && cp -r /usr/src/googletest "$sources/googletest"
  cd "$sources/googletest"
  cmake_static -Dgtest_disable_pthreads=OFF -DINSTALL_GTEST=ON
  cd "$repo" && done_with googletest
fi

echo "windows-deps.sh: libraries in $prefix"
