// Paths and errors between the core and Win32. The core's paths are UTF-8
// and may use '/' or '\'; Win32 takes UTF-16. A path is made absolute and
// given the \\?\ prefix (\\?\UNC\ for a share), so that it may be of any
// length, as the POSIX half reaches long paths by walking them in pieces.
// Win32 error codes are told to the core as the errno values the POSIX half
// reports, so that callers compare one set of numbers.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace vexmoor {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// One argument of a CreateProcessW command line, quoted so that the started
// program's C library splits it back as it was.
std::wstring QuoteArgument(const std::wstring& argument);

// `path` as Win32 takes it for a path of any length: absolute, '\' only,
// "." and ".." resolved, with the \\?\ prefix. "" stays "".
std::wstring WidePath(const std::string& path);

// The errno value for a Win32 error code (GetLastError, WSAGetLastError).
int ErrnoFromWin32(DWORD error);

// The errno value for the calling thread's last Win32 error.
int LastErrno();

}  // namespace vexmoor
