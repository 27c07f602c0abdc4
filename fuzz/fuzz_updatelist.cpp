// The update list parser and everything the check derives from a list: the
// number rules, the offer decision with Sha256 and Size, what a record may
// write, the texts shown.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "updater/UpdateCheck.h"
#include "updater/UpdateList.h"
#include "updater/UpdateTexts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vexmoor;
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const TUpdateList list = ParseUpdateList(body);
  // A folder that does not exist: the check looks for dats but finds none.
  const auto offered = OfferedUpdates(list, "/opt/vexmoor/moorscan", "/nonexistent-vexmoor-fuzz");
  for (const TUpdateRecord& record : offered) {
    (void)UnsafeFileNameReason(record.File);
    (void)UnsafeDatNameReason(record.File);
    (void)RefusedDownloadReason(record, "/opt/vexmoor/moorscan", "/nonexistent-vexmoor-fuzz");
    (void)LocalUpdateName(record, "/opt/vexmoor/moorscan");
    (void)UpdateFileUrl("http://localhost/update/", record.File);
    (void)UpdateVersionText(record.Version);
    (void)UpdateDateTimeText(record.Timestamp);
  }
  for (const TUpdateListSection& section : list) {
    for (const auto& [key, value] : section.Keys) {
      (void)ReadListInteger(value);
      (void)ReadListFloat(value);
    }
  }
  return 0;
}
