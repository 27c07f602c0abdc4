// The floors a re-scan from the checksum store is measured against: every
// file under a folder looked at once for its type, size and times, and
// nothing read. Three ways, each a bare loop:
//   stat     readdir, then stat by the file's full path (the kernel walks
//            the path from its start for every file)
//   fstatat  readdir, then fstatat relative to the open folder
//   statx    getdents64, then statx relative to the open folder, asking
//            only for the fields a stamp needs
// Prints the file count and a sum of the sizes and times, so the work
// cannot be left out.
//   bench_walk_floor stat|fstatat|statx FOLDER
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

uint64_t files = 0;
uint64_t mixed = 0;

void Count(uint64_t size, int64_t modifiedNs) {
  ++files;
  mixed += size + static_cast<uint64_t>(modifiedNs);
}

bool Skipped(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

void WalkStat(const std::string& folder) {
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return;
  std::vector<std::string> below;
  while (const dirent* entry = ::readdir(listing)) {
    if (Skipped(entry->d_name)) continue;
    const std::string path = folder + "/" + entry->d_name;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode))
      below.push_back(path);
    else
      Count(static_cast<uint64_t>(info.st_size), info.st_mtim.tv_nsec);
  }
  ::closedir(listing);
  for (const std::string& next : below) WalkStat(next);
}

void WalkFstatat(const std::string& folder) {
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return;
  std::vector<std::string> below;
  while (const dirent* entry = ::readdir(listing)) {
    if (Skipped(entry->d_name)) continue;
    struct stat info {};
    if (::fstatat(::dirfd(listing), entry->d_name, &info, 0) != 0) continue;
    if (S_ISDIR(info.st_mode))
      below.push_back(folder + "/" + entry->d_name);
    else
      Count(static_cast<uint64_t>(info.st_size), info.st_mtim.tv_nsec);
  }
  ::closedir(listing);
  for (const std::string& next : below) WalkFstatat(next);
}

#if defined(SYS_getdents64) && defined(STATX_BASIC_STATS)
struct TDirent64 {
  uint64_t Node;
  int64_t Offset;
  unsigned short Length;
  unsigned char Type;
  char Name[1];
};

void WalkStatx(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  std::vector<std::string> below;
  alignas(8) static char buffer[64 << 10];
  for (;;) {
    const long got = ::syscall(SYS_getdents64, fd, buffer, sizeof(buffer));
    if (got <= 0) break;
    for (long at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const TDirent64*>(buffer + at);
      at += entry->Length;
      if (Skipped(entry->Name)) continue;
      struct statx info {};
      if (::statx(fd, entry->Name, AT_STATX_DONT_SYNC,
                  STATX_TYPE | STATX_SIZE | STATX_INO | STATX_MTIME | STATX_CTIME, &info) != 0)
        continue;
      if (S_ISDIR(info.stx_mode))
        below.push_back(folder + "/" + entry->Name);
      else
        Count(info.stx_size, info.stx_mtime.tv_nsec);
    }
  }
  ::close(fd);
  for (const std::string& next : below) WalkStatx(next);
}
#else
void WalkStatx(const std::string& folder) { WalkFstatat(folder); }
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_walk_floor stat|fstatat|statx FOLDER\n");
    return 2;
  }
  const std::string way = argv[1];
  if (way == "stat")
    WalkStat(argv[2]);
  else if (way == "fstatat")
    WalkFstatat(argv[2]);
  else
    WalkStatx(argv[2]);
  std::printf("%llu files, %llu\n", static_cast<unsigned long long>(files),
              static_cast<unsigned long long>(mixed));
  return 0;
}
