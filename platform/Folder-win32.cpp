#include <random>

#include "platform/File.h"
#include "platform/Folder.h"
#include "platform/LongPath-win32.h"

namespace vexmoor {

bool IsWritableFolder(const std::string& folder) {
  std::string probe = folder.empty() ? std::string(".\\") : folder;
  if (probe.back() != '/' && probe.back() != '\\') probe += '\\';
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string suffix(6, 'x');
  for (char& c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
  probe += ".probe" + std::string(kTemporaryMarker) + suffix;
  // Removed by the system when the handle closes.
  HANDLE handle = ::CreateFileW(WidePath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(handle);
  return true;
}

}  // namespace vexmoor
