#include "scan/ArchiveVerify.h"

#include <optional>
#include <vector>

#include "catalogue/TextLines.h"
#include "platform/Errors.h"
#include "scan/CRC32.h"
#include "scan/VerifyPlan.h"
#include "scan/archive/ArchiveCursor.h"

namespace vexmoor {

namespace {

std::string MemberPath(const std::string& path, const TCmpRecord& member) {
  return path + '\\' + member.Name;
}

void Note(TExamined& result, const std::string& message) {
  if (result.Unexamined.empty()) result.Unexamined = message;
}

// Unpacks the cursor's current member whole, summing it; false when
// abandoned. Throws what the cursor throws.
bool SumMember(TArchiveCursor& cursor, const TCmpRecord& member,
               const std::vector<TImageNeed>& needs, const std::string& path, TExamined& result,
               std::vector<TImageDigests>& sums, const std::atomic<bool>* abandon) {
  uint8_t kinds = 0;
  for (const TImageNeed& need : needs) kinds |= need.Kinds;
  THasher hasher(kinds);
  uint8_t* const block = ThreadReadBlock();
  uint32_t crc = 0;
  uint64_t bytes = 0;
  for (;;) {
    if (abandon && abandon->load(std::memory_order_relaxed)) return false;
    const size_t got = cursor.Read(block, kReadBlockBytes);
    if (got == 0) break;
    crc = Crc32(block, got, crc);
    hasher.Add(block, got);
    bytes += got;
  }
  if (bytes != member.UnpackedSize || crc != member.Crc)
    Note(result, "The archive member \"" + MemberPath(path, member) + "\" unpacks to " +
                     std::to_string(bytes) + " bytes with CRC-32 " + HexLong(crc) +
                     ", not what its directory says.");
  for (const TImageNeed& need : needs) {
    if (need.ImageSize < bytes) continue;
    THasher image(hasher);
    image.AddRun(0xFF, need.ImageSize - bytes);
    sums.push_back({need.ImageSize, image.Finish()});
  }
  return true;
}

// The members whose sums are wanted, by position, with their needs.
std::vector<std::vector<TImageNeed>> WantedNeeds(const TVerifyPlan& plan, const TExamined& result,
                                                 size_t& wanted) {
  std::vector<std::vector<TImageNeed>> needs(result.Members.size());
  wanted = 0;
  for (size_t at = 0; at < result.Members.size(); ++at) {
    needs[at] = plan.Needs(result.Members[at].Crc, result.Members[at].UnpackedSize);
    if (!needs[at].empty()) ++wanted;
  }
  return needs;
}

}  // namespace

void VerifyArchiveMembers(const std::string& path, const TVerifyPlan& plan, TExamined& result,
                          const std::atomic<bool>* abandon) {
  size_t wanted = 0;
  const std::vector<std::vector<TImageNeed>> needs = WantedNeeds(plan, result, wanted);
  if (wanted == 0) return;
  result.MemberDigests.assign(result.Members.size(), {});
  std::vector<bool> done(result.Members.size(), false);
  try {
    TArchiveCursor cursor(path);
    std::string name;
    uint64_t size = 0;
    while (wanted > 0 && cursor.NextFile(name, size)) {
      for (size_t at = 0; at < result.Members.size(); ++at) {
        if (done[at] || needs[at].empty() || !cursor.CurrentIs(result.Members[at].Name)) continue;
        done[at] = true;
        --wanted;
        if (!SumMember(cursor, result.Members[at], needs[at], path, result,
                       result.MemberDigests[at], abandon))
          return;
        break;
      }
    }
  } catch (const Error& error) {  // the message names the archive and the reason
    Note(result, "Cannot verify the members of \"" + path + "\": " + error.what());
    return;
  }
  for (size_t at = 0; at < result.Members.size(); ++at)
    if (!done[at] && !needs[at].empty())
      Note(result, "Cannot verify the archive member \"" + MemberPath(path, result.Members[at]) +
                       "\": the unpacking library does not list it.");
}

}  // namespace vexmoor
