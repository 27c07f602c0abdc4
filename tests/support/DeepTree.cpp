#include "support/DeepTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace vexmoor::test {

namespace {

int OpenFolderAt(int parent, const char* name) {
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error(std::string("cannot open folder ") + name);
  return fd;
}

// Removes `name` in `parent` with everything below it.
void RemoveAt(int parent, const char* name) {
  if (::unlinkat(parent, name, 0) == 0) return;
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return;
  DIR* listing = ::fdopendir(fd);
  if (listing == nullptr) {
    ::close(fd);
    return;
  }
  while (const dirent* entry = ::readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
      RemoveAt(fd, entry->d_name);
  }
  ::closedir(listing);
  ::unlinkat(parent, name, AT_REMOVEDIR);
}

}  // namespace

DeepTree::DeepTree(std::string root, int levels) : root_(std::move(root)), levels_(levels) {
  int fd = OpenFolderAt(AT_FDCWD, root_.c_str());
  for (int level = 1; level <= levels; ++level) {
    const std::string name = DeepTree::LevelName(level);
    ::mkdirat(fd, name.c_str(), 0755);
    const int inner = OpenFolderAt(fd, name.c_str());
    ::close(fd);
    fd = inner;
  }
  ::close(fd);
}

DeepTree::~DeepTree() {
  const int fd = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  RemoveAt(fd, DeepTree::LevelName(1).c_str());
  ::close(fd);
}

std::string DeepTree::Folder(int level) const {
  std::string path = root_;
  for (int i = 1; i <= level; ++i) path += "/" + DeepTree::LevelName(i);
  return path;
}

int DeepTree::OpenLevel(int level) const {
  int fd = OpenFolderAt(AT_FDCWD, root_.c_str());
  for (int i = 1; i <= level; ++i) {
    const int inner = OpenFolderAt(fd, DeepTree::LevelName(i).c_str());
    ::close(fd);
    fd = inner;
  }
  return fd;
}

std::string DeepTree::Write(int level, const std::string& name, std::string_view data) const {
  const int fd = OpenLevel(level);
  const int out = ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  ::close(fd);
  if (out < 0) throw std::runtime_error("cannot create " + name);
  const bool written = ::write(out, data.data(), data.size()) == static_cast<ssize_t>(data.size());
  ::close(out);
  if (!written) throw std::runtime_error("cannot write " + name);
  return Folder(level) + "/" + name;
}

std::string DeepTree::Link(int level, const std::string& name, const std::string& target) const {
  const int fd = OpenLevel(level);
  const int made = ::symlinkat(target.c_str(), fd, name.c_str());
  ::close(fd);
  if (made != 0) throw std::runtime_error("cannot link " + name);
  return Folder(level) + "/" + name;
}

}  // namespace vexmoor::test
