// The deep folder tree on Windows: built, written and removed through
// \\?\ paths, which have no length limit.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <stdexcept>
#include <utility>

#include "platform/LongPath-win32.h"
#include "support/DeepTree.h"

namespace vexmoor::test {

namespace {

// Removes `folder` with everything below it.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      const bool isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      if (isFolder && !isLink)
        RemoveTree(path);
      else if (isFolder)
        ::RemoveDirectoryW(path.c_str());
      else
        ::DeleteFileW(path.c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

DeepTree::DeepTree(std::string root, int levels) : root_(std::move(root)), levels_(levels) {
  for (int level = 1; level <= levels; ++level) {
    if (!::CreateDirectoryW(WidePath(Folder(level)).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
      throw std::runtime_error("cannot create " + Folder(level));
  }
}

DeepTree::~DeepTree() { RemoveTree(WidePath(Folder(1))); }

std::string DeepTree::Folder(int level) const {
  std::string path = root_;
  for (int i = 1; i <= level; ++i) path += "/" + DeepTree::LevelName(i);
  return path;
}

std::string DeepTree::Write(int level, const std::string& name, std::string_view data) const {
  const std::string path = Folder(level) + "/" + name;
  HANDLE out = ::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
  if (out == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + name);
  DWORD put = 0;
  const bool written = ::WriteFile(out, data.data(), static_cast<DWORD>(data.size()), &put, nullptr) &&
                       put == data.size();
  ::CloseHandle(out);
  if (!written) throw std::runtime_error("cannot write " + name);
  return path;
}

std::string DeepTree::Link(int level, const std::string& name, const std::string& target) const {
  const std::string path = Folder(level) + "/" + name;
  std::wstring to(target.begin(), target.end());
  for (wchar_t& c : to)
    if (c == L'/') c = L'\\';
  // A link to a folder must say so; the target is looked up beside the link.
  const DWORD attributes = ::GetFileAttributesW(WidePath(Folder(level) + "/" + target).c_str());
  DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
  if (!::CreateSymbolicLinkW(WidePath(path).c_str(), to.c_str(), flags))
    throw std::runtime_error("cannot link " + name);
  return path;
}

}  // namespace vexmoor::test
