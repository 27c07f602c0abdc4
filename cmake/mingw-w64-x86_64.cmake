# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads,
# so that std::thread and std::mutex work). The libraries come from
# scripts/windows-deps.sh, built into build/windows-deps/prefix; everything is
# linked statically, so the programs need no DLL beside them. Only x86-64:
# 32-bit programs cannot run on the machines the tests run on.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

get_filename_component(vexmoor_top "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(VEXMOOR_WINDOWS_PREFIX "${vexmoor_top}/build/windows-deps/prefix" CACHE PATH
    "Where scripts/windows-deps.sh put the Windows libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${VEXMOOR_WINDOWS_PREFIX})
set(CMAKE_PREFIX_PATH ${VEXMOOR_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config finds the prefix's .pc files (libsodium) and no others.
set(ENV{PKG_CONFIG_LIBDIR} "${VEXMOOR_WINDOWS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# Static archives only: a DLL import library must never be picked up.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# The libraries' headers must not declare their functions as DLL imports.
add_compile_definitions(XML_STATIC LZMA_API_STATIC SODIUM_STATIC LIBARCHIVE_STATIC)
# Windows 8 and later: the calls the platform layer uses.
add_compile_definitions(_WIN32_WINNT=0x0602 WINVER=0x0602 UNICODE _UNICODE)
# No libwinpthread-1.dll, libstdc++-6.dll or libgcc_s DLL beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
