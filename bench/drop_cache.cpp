// Drops every file below the given folders from the page cache, so that the
// next read of them comes from the disk:
//   bench_drop_cache FOLDER...
// Each file is flushed first (only clean pages can be dropped). Prints the
// number of files.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/File.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  size_t files = 0;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    for (fs::recursive_directory_iterator entry(argv[i], error), end; !error && entry != end;
         entry.increment(error)) {
      if (!entry->is_regular_file(error)) continue;
      vexmoor::DropCachedPages(entry->path().string());
      ++files;
    }
  }
  std::printf("%zu\n", files);
  return 0;
}
