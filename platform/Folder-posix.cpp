#include <unistd.h>

#include <cstdlib>

#include <cstring>

#include "platform/File.h"
#include "platform/Folder.h"

namespace vexmoor {

bool IsWritableFolder(const std::string& folder) {
  std::string probe = folder.empty() ? std::string("./") : folder;
  if (probe.back() != '/') probe += '/';
  probe += ".probe" + std::string(kTemporaryMarker) + "XXXXXX";
  const int handle = ::mkstemp(probe.data());
  if (handle < 0) return false;
  ::close(handle);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace vexmoor
