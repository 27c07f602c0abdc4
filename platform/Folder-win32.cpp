#include <random>

#include "platform/Folder.h"
#include "platform/LongPath-win32.h"

namespace vexmoor {

bool IsWritableFolder(const std::string& folder) {
  std::string probe = folder.empty() ? std::string(".\\") : folder;
  if (probe.back() != '/' && probe.back() != '\\') probe += '\\';
  probe += ".vexmoor-probe-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(std::random_device{}());
  // Removed by the system when the handle closes.
  HANDLE handle = ::CreateFileW(WidePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(handle);
  return true;
}

}  // namespace vexmoor
