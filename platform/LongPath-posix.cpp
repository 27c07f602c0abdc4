#include "platform/LongPath-posix.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>

namespace vexmoor {

namespace {

// PATH_MAX counts the terminating NUL.
constexpr size_t kPathLimit = PATH_MAX;

// A folder on the way is only looked through, as the plain call would (a
// folder one may search but not read still leads on).
#ifdef O_PATH
constexpr int kWalkFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kWalkFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK;
#endif

// A path split into the deepest folder opened on the way (or the current
// folder) and the rest, which is shorter than the limit. `path` must outlive
// the object: Name() points into it.
class TPathAt {
 public:
  explicit TPathAt(const std::string& path) : name_(path.c_str()) {
    size_t start = 0;
    while (path.size() - start >= kPathLimit) {
      // The longest piece that fits, ending before a separator.
      const size_t cut = path.rfind('/', start + kPathLimit - 1);
      if (cut == std::string::npos || cut <= start) {
        Fail(ENAMETOOLONG);  // one name longer than the limit
        return;
      }
      if (!Enter(path.substr(start, cut - start))) return;
      start = path.find_first_not_of('/', cut);
      if (start == std::string::npos) {
        name_ = ".";  // the path ended with separators: the folder itself
        return;
      }
    }
    name_ = path.c_str() + start;
  }
  ~TPathAt() { Close(); }
  TPathAt(const TPathAt&) = delete;
  TPathAt& operator=(const TPathAt&) = delete;

  int Folder() const { return folder_; }
  const char* Name() const { return name_; }
  // 0, or the system's error number for a folder on the way.
  int Error() const { return error_; }

 private:
  bool Enter(const std::string& piece) {
    int next;
    do {
      next = ::openat(folder_, piece.c_str(), kWalkFlags);
    } while (next < 0 && errno == EINTR);
    if (next < 0) {
      Fail(errno);
      return false;
    }
    Close();
    folder_ = next;
    return true;
  }
  void Fail(int error) {
    Close();
    error_ = error;
  }
  void Close() {
    if (folder_ != AT_FDCWD) ::close(folder_);
    folder_ = AT_FDCWD;
  }

  int folder_ = AT_FDCWD;
  const char* name_;
  int error_ = 0;
};

// Runs `call(folder, name)` on the path's rest, keeping its errno past the
// closing of the folder.
template <typename Call>
int AtPath(const std::string& path, Call call) {
  int result = -1;
  int error = 0;
  {
    const TPathAt at(path);
    if (at.Error() != 0) {
      error = at.Error();
    } else {
      result = call(at.Folder(), at.Name());
      error = errno;
    }
  }
  errno = error;
  return result;
}

}  // namespace

int OpenPath(const std::string& path, int flags, mode_t mode) {
  return AtPath(path, [&](int folder, const char* name) { return ::openat(folder, name, flags, mode); });
}

int StatPath(const std::string& path, struct stat& info) {
  return AtPath(path, [&](int folder, const char* name) { return ::fstatat(folder, name, &info, 0); });
}

}  // namespace vexmoor
