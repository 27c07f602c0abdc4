// The floor a scan of many small files is measured against: every regular
// file under a folder opened, read with pread into one buffer, its CRC-32
// taken with zlib, and closed; nothing else. Prints the file count and the
// CRCs' exclusive or, so the work cannot be left out.
//   bench_pread_loop FOLDER
#include <fcntl.h>
#include <ftw.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

std::vector<unsigned char> buffer(size_t{256} << 10);
uint64_t files = 0;
uint32_t mixed = 0;

int Visit(const char* path, const struct stat*, int type, FTW*) {
  if (type != FTW_F) return 0;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  uLong crc = crc32(0, nullptr, 0);
  off_t at = 0;
  for (;;) {
    const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), at);
    if (got <= 0) break;
    crc = crc32(crc, buffer.data(), static_cast<uInt>(got));
    at += got;
    if (static_cast<size_t>(got) < buffer.size()) break;
  }
  ::close(fd);
  mixed ^= static_cast<uint32_t>(crc);
  ++files;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_pread_loop FOLDER\n");
    return 2;
  }
  if (::nftw(argv[1], Visit, 64, FTW_PHYS) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::printf("%llu files, %08X\n", static_cast<unsigned long long>(files), mixed);
  return 0;
}
