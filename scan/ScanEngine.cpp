#include "scan/ScanEngine.h"

#include <algorithm>
#include <optional>

#include "catalogue/DigestKind.h"
#include "catalogue/General.h"
#include "catalogue/StatusCounts.h"
#include "platform/Errors.h"
#include "scan/EndPass.h"
#include "scan/TrimmedImage.h"

namespace vexmoor {

namespace {

// Marks the state as scanning for the lifetime of one Run, also when the
// scan ends with an error.
class TRunningScan {
 public:
  explicit TRunningScan(TAuditState& state) : state_(state) {
    if (state_.ScanRunning) throw Error("A scan is already running.");
    state_.ScanRunning = true;
  }
  ~TRunningScan() { state_.ScanRunning = false; }
  TRunningScan(const TRunningScan&) = delete;
  TRunningScan& operator=(const TRunningScan&) = delete;

 private:
  TAuditState& state_;
};

// What the checksum store keeps of a loose dump read: the CRC, the
// bad-dump verdict and the first image's strong checksums (by reference).
TReadSums ReadSums(const TExamined& examined) {
  TReadSums sums{examined.Crc, examined.TestedForBadDump, examined.BadDump};
  if (!examined.Digests.empty()) {
    sums.ImageSize = examined.Digests.front().ImageSize;
    sums.Digests = &examined.Digests.front().Sums;
  }
  return sums;
}

std::string WithSeparator(std::string folder) {
  if (folder.empty() || folder.back() != kFolderSeparator) folder += kFolderSeparator;
  return folder;
}

}  // namespace

TScanEngine::TScanEngine(TAuditState& state, TRomList& list, TSortState& sort,
                         std::atomic<bool>& cancelRequested, TScanCallbacks callbacks)
    : state_(state),
      list_(list),
      sort_(sort),
      cancelRequested_(cancelRequested),
      callbacks_(std::move(callbacks)),
      masks_(state.DatMask) {
  pipeline_.Workers = DefaultScanWorkers();
}

TScanOutcome TScanEngine::Run(const std::string& folder) {
  TRunningScan running(state_);
  Start();
  Walk(folder);
  Finish();
  // The counters stay for Matched() and Skipped(); the records move out.
  return std::move(outcome_);
}

void TScanEngine::Start() {
  cancelRequested_ = false;
  outcome_ = {};
  state_.FoundCount = 0;
  masks_ = TScanMasks(state_.DatMask);
  walkedFolders_.clear();
  byCrc_.clear();
  byCrc_.reserve(state_.Catalogue.Count());
  for (size_t i = 0; i < state_.Catalogue.Count(); ++i) byCrc_.emplace_back(state_.Catalogue[i].Crc, i);
  std::sort(byCrc_.begin(), byCrc_.end());
  crcIndex_.assign((size_t{1} << kCrcIndexBits) + 1, 0);
  for (const auto& [crc, position] : byCrc_) ++crcIndex_[(crc >> (32 - kCrcIndexBits)) + 1];
  for (size_t i = 1; i < crcIndex_.size(); ++i) crcIndex_[i] += crcIndex_[i - 1];
  matchTrimmed_ = state_.MatchTrimmed;
  plan_ = TVerifyPlan(state_.Catalogue, matchTrimmed_);
  masks_.Verify = plan_.Empty() ? nullptr : &plan_;
  masks_.VerifyArchives = state_.VerifyArchives && masks_.Verify;
  crcHighHalves_.assign(matchTrimmed_ ? kCrcHalves / 64 : 0, 0);
  if (matchTrimmed_)
    for (const auto& [crc, position] : byCrc_) crcHighHalves_[crc >> 22] |= uint64_t{1} << ((crc >> 16) & 63);
  SetPanel(0, MatchedText(0));
  SetPanel(1, SkippedText(0));
  // A list filled by the dat's load and untouched since is what a fill
  // would make again (the same rows, order and sort state).
  if (!list_.TakeFresh(state_.Catalogue))
    list_.Fill(state_.Catalogue, state_.DatHeader, sort_, callbacks_.ProcessMessagesBetweenChunks);
  Notify(callbacks_.ListRebuilt);
}

void TScanEngine::Walk(const std::string& folder) {
  TWorkList work(WithSeparator(folder));
  // The session outlives the look-ahead, whose workers recall from it; on
  // any way out it writes the rows of the files read so far.
  std::optional<TChecksumSession> session;
  const std::function<void()>& stepPump = callbacks_.ProcessMessagesBetweenChunks;
  if (store_) session.emplace(*store_, work.Front(), rehash_, stepPump);
  session_ = session ? &*session : nullptr;
  struct TForget {
    TChecksumSession*& session;
    ~TForget() { session = nullptr; }
  } forget{session_};
  // Leaving the walk (at the end, on a cancel or on an error) discards what
  // the workers examined ahead and joins them.
  std::optional<TLookAhead> ahead;
  const std::function<void()>& waitPump = callbacks_.ProcessMessagesWhileWaiting;
  // Whether the look-ahead holds the work list: a folder's entries join it
  // when the look-ahead expands the folder, so the walk adds none itself.
  bool lookingAhead = false;
  if (pipeline_.Workers > 1) {
    ahead.emplace(masks_, pipeline_, session_);
    // Without a pump the walk runs as the plain walk until a path is worth
    // the workers: on a collection of small files, archives or recalled
    // rows the hand-overs cost more than they save, and the workers never
    // start. Until then they only help with the stripes of a large dump
    // the sampling missed.
    lookingAhead = static_cast<bool>(waitPump);
  } else if (waitPump) {
    // One worker examines one path at a time, as the plain walk would, and
    // this thread pumps while it waits.
    TPipelineLimits one = pipeline_;
    one.Workers = 1;
    one.MaxFiles = 1;
    ahead.emplace(masks_, one, session_);
    lookingAhead = true;
  }
  if (lookingAhead) ahead->Adopt(work.TakeAll(), walkedFolders_);
  // Stamps the files the plain walk recalls; it lets go of the last folder
  // with the walk.
  TFolderStamper stamper;
  size_t done = 0;
  // The panels' texts, formatted again only when their counts change: the
  // same texts are shown after every path.
  int32_t shownMatched = outcome_.Matched, shownSkipped = outcome_.Skipped;
  std::string matchedText = MatchedText(shownMatched), skippedText = SkippedText(shownSkipped);
  const auto stepDone = [&](size_t waiting) {
    ++done;
    if (callbacks_.PathsDone) callbacks_.PathsDone(done, done + waiting);
    if (!callbacks_.SetPanelText) return;
    if (outcome_.Matched != shownMatched) matchedText = MatchedText(shownMatched = outcome_.Matched);
    if (outcome_.Skipped != shownSkipped) skippedText = SkippedText(shownSkipped = outcome_.Skipped);
    SetPanel(0, matchedText);
    SetPanel(1, skippedText);
  };
  while (!cancelRequested_) {
    if (lookingAhead) {
      SetPanel(2, ahead->Front());
      Pump();
      TLookAhead::TTaken taken = ahead->Take(waitPump);
      Apply(taken.Path, taken.Examined, nullptr);
      // Once per entry, as the plain walk pumps while it adds them.
      if (taken.Listed)
        for (size_t entry = 0; entry < taken.Examined.Entries.size(); ++entry) Pump();
      stepDone(ahead->Waiting());
      if (ahead->Empty()) cancelRequested_ = true;
      continue;
    }
    const std::string& path = work.Front();
    if (ahead && ahead->PaysTheWorkers(path)) {
      // From here the workers read ahead of the walk.
      ahead->Adopt(work.TakeAll(), walkedFolders_);
      lookingAhead = true;
      continue;
    }
    SetPanel(2, path);
    Pump();
    TExamined examined =
        ExamineWorkItem(path, masks_, nullptr, ahead ? &ahead->Helpers() : nullptr, session_, &stamper);
    Apply(path, examined, &work);
    work.PopFront();
    stepDone(work.Paths().size());
    if (work.Empty()) cancelRequested_ = true;
  }
  outcome_.Cancelled = lookingAhead ? !ahead->Empty() : !work.Empty();
  ahead.reset();
  if (session) session->End(!outcome_.Cancelled, stepPump);
}

void TScanEngine::Apply(const std::string& path, TExamined& examined, TWorkList* work) {
  if (examined.Error) std::rethrow_exception(examined.Error);
  if (!examined.Unexamined.empty()) {
    outcome_.Folder.AddUnreadable(path, examined.Unexamined);
    outcome_.Unexamined.push_back(std::move(examined.Unexamined));
  }
  switch (examined.Kind) {
    case TWorkKind::Folder:
      if (work) ApplyFolder(path, examined, *work);
      break;
    case TWorkKind::LooseDump:
      ApplyLooseDump(path, examined);
      break;
    case TWorkKind::Archive:
      ApplyArchive(path, examined);
      break;
    case TWorkKind::Ignored:
      break;
  }
}

void TScanEngine::ApplyFolder(const std::string& path, const TExamined& examined, TWorkList& work) {
  if (!examined.Identity) return;
  if (!walkedFolders_.insert({examined.Identity->Device, examined.Identity->Node}).second) return;
  for (const TFolderEntry& entry : examined.Entries) {
    Pump();
    if (std::optional<std::string> added = WorkListEntry(path, entry, masks_))
      work.Append(std::move(*added));
  }
}

std::vector<std::pair<uint32_t, size_t>>::const_iterator TScanEngine::FirstPairWithCrc(
    uint32_t crc) const {
  const size_t bucket = crc >> (32 - kCrcIndexBits);
  return std::lower_bound(byCrc_.begin() + crcIndex_[bucket], byCrc_.begin() + crcIndex_[bucket + 1],
                          std::pair<uint32_t, size_t>(crc, 0));
}

template <typename Mark>
bool TScanEngine::ForEachEntryWithCrc(uint32_t crc, uint64_t size, Mark mark) {
  auto entry = FirstPairWithCrc(crc);
  bool marked = false;
  for (; entry != byCrc_.end() && entry->first == crc; ++entry) {
    TRomItem& item = state_.Catalogue[entry->second];
    // A CRC match of another size is another file: where the dat gives a
    // size, it must be the dump's.
    if (item.Size && *item.Size != size) continue;
    if (mark(item, size)) marked = true;
  }
  return marked;
}

std::optional<uint8_t> TScanEngine::Verify(const TRomItem& item,
                                           const std::vector<TImageDigests>& sums,
                                           uint64_t imageSize, TChecksumMismatch dump) {
  const uint8_t kind = StrongestDigest(DatDigests(item));
  if (kind == 0) return uint8_t{0};
  const auto image = std::find_if(sums.begin(), sums.end(), [imageSize](const TImageDigests& d) {
    return d.ImageSize == imageSize;
  });
  if (image == sums.end() || image->Sums.Of(kind).empty()) return uint8_t{0};
  if (SameHexDigest(image->Sums.Of(kind), DatDigest(item, kind))) return kind;
  dump.Entry = static_cast<size_t>(&item - &state_.Catalogue[0]);
  dump.Checksum = kind;
  outcome_.Mismatches.push_back(std::move(dump));
  return std::nullopt;
}

template <typename Mark>
void TScanEngine::ForEachEntryOfTrimmed(uint32_t crc, uint64_t size, Mark mark) {
  for (const TPaddedImage& image : PaddedImageCrcs(crc, size)) {
    if (crcHighHalves_[image.Crc >> 22] & (uint64_t{1} << ((image.Crc >> 16) & 63)))
      ForEachEntryWithCrc(image.Crc, image.FullSize, mark);
  }
}

uint32_t TScanEngine::FirstEntryWithCrc(uint32_t crc) const {
  const auto entry = FirstPairWithCrc(crc);
  if (entry == byCrc_.end() || entry->first != crc) return kNoEntry;
  return static_cast<uint32_t>(entry->second);
}

uint32_t TScanEngine::Position(const TRomItem& item) const {
  return static_cast<uint32_t>(&item - &state_.Catalogue[0]);
}

void TScanEngine::RecordUnmatched(TDumpRecord& record, size_t mismatchesBefore) {
  if (outcome_.Mismatches.size() > mismatchesBefore) {
    record.Entry = static_cast<uint32_t>(outcome_.Mismatches[mismatchesBefore].Entry);
    if (record.Kind != TDumpKind::BadDump) record.Kind = TDumpKind::ChecksumMismatch;
    return;
  }
  if (record.Kind == TDumpKind::BadDump) return;  // named so whether or not an entry has its CRC
  record.Entry = FirstEntryWithCrc(record.Crc);
  record.Kind = record.Entry == kNoEntry ? TDumpKind::Unknown : TDumpKind::WrongSize;
}

void TScanEngine::RememberChecksum(const std::string& path, const TExamined& examined) {
  if (!session_) return;
  if (examined.Recalled)
    session_->Recalled();
  else if (examined.Stamp)
    session_->Remember(path, *examined.Stamp, ReadSums(examined));
}

void TScanEngine::ApplyLooseDump(const std::string& path, const TExamined& examined) {
  RememberChecksum(path, examined);
  const bool bad = examined.TestedForBadDump && examined.BadDump;
  TDumpRecord& record = outcome_.Folder.Add(bad ? TDumpKind::BadDump : TDumpKind::Matched, path);
  record.Size = examined.Size;
  record.Crc = examined.Crc;
  const size_t mismatches = outcome_.Mismatches.size();
  const auto mark = [&](bool trimmed) {
    return [&, trimmed](TRomItem& item, uint64_t imageSize) {
      const std::optional<uint8_t> verified =
          Verify(item, examined.Digests, imageSize, {path, "", examined.Size, examined.Crc});
      if (!verified) return false;
      item.Status = StatusFound;
      item.StatusText = path;
      item.Member.clear();
      item.Trimmed = trimmed;
      item.VerifiedBy = *verified;
      ++outcome_.Matched;
      if (record.Entry == kNoEntry) record.Entry = Position(item);
      record.Trimmed = trimmed;
      if (!examined.TestedForBadDump) return true;
      if (examined.BadDumpError) std::rethrow_exception(examined.BadDumpError);
      if (examined.BadDump) item.Status = StatusBad;
      return true;
    };
  };
  if (!ForEachEntryWithCrc(examined.Crc, examined.Size, mark(false)) && matchTrimmed_)
    ForEachEntryOfTrimmed(examined.Crc, examined.Size, mark(true));
  if (record.Entry == kNoEntry) RecordUnmatched(record, mismatches);
}

void TScanEngine::ApplyArchive(const std::string& path, const TExamined& examined) {
  if (examined.Skipped) ++outcome_.Skipped;  // its readable members still count
  static const std::vector<TImageDigests> kNone;
  for (size_t at = 0; at < examined.Members.size(); ++at) {
    const TCmpRecord& member = examined.Members[at];
    const std::vector<TImageDigests>& sums =
        at < examined.MemberDigests.size() ? examined.MemberDigests[at] : kNone;
    const size_t mismatches = outcome_.Mismatches.size();
    uint32_t first = kNoEntry;
    bool trimmedMatch = false;
    const auto mark = [&](bool trimmed) {
      return [&, trimmed](TRomItem& item, uint64_t imageSize) {
        const std::optional<uint8_t> verified =
            Verify(item, sums, imageSize, {path, member.Name, member.UnpackedSize, member.Crc});
        if (!verified) return false;
        item.Status = StatusFound;
        item.StatusText = path + '\\' + member.Name;
        item.Member = member.Name;
        item.Trimmed = trimmed;
        item.VerifiedBy = *verified;
        ++outcome_.Matched;
        if (first == kNoEntry) first = Position(item);
        trimmedMatch = trimmed;
        return true;
      };
    };
    // The mask keeps text files and saves out of the search for trimmed
    // images and out of the report; the cheap size test goes first.
    if (!ForEachEntryWithCrc(member.Crc, member.UnpackedSize, mark(false)) && matchTrimmed_ &&
        MayBeTrimmed(member.UnpackedSize) && masks_.DatMask.Matches(member.Name))
      ForEachEntryOfTrimmed(member.Crc, member.UnpackedSize, mark(true));
    // Not of the mask and taken for nothing: no dump.
    const bool mismatched = outcome_.Mismatches.size() > mismatches;
    if (first == kNoEntry && !mismatched && !masks_.DatMask.Matches(member.Name)) continue;
    TDumpRecord& record = outcome_.Folder.Add(TDumpKind::Matched, path, member.Name);
    record.Size = member.UnpackedSize;
    record.Crc = member.Crc;
    record.Entry = first;
    record.Trimmed = trimmedMatch;
    if (first == kNoEntry) RecordUnmatched(record, mismatches);
  }
}

namespace {

// True when `item`'s location names the dump of `record`.
bool NamesRecord(const TRomItem& item, const TDumpRecord& record) {
  if (item.Member != record.Member) return false;
  const std::string& location = item.StatusText;
  if (record.Member.empty()) return location == record.Path;
  return location.size() == record.Path.size() + 1 + record.Member.size() &&
         location.compare(0, record.Path.size(), record.Path) == 0 &&
         location[record.Path.size()] == '\\' &&
         location.compare(record.Path.size() + 1, std::string::npos, record.Member) == 0;
}

}  // namespace

void TScanEngine::SortOutCopies() {
  for (TDumpRecord& record : outcome_.Folder.Records()) {
    if (record.Kind != TDumpKind::Matched) continue;
    bool located = false;
    const auto check = [&](const TRomItem& item, uint64_t) {
      located = located || NamesRecord(item, record);
      return false;  // marks nothing
    };
    if (record.Trimmed)
      ForEachEntryOfTrimmed(record.Crc, record.Size, check);
    else
      ForEachEntryWithCrc(record.Crc, record.Size, check);
    if (!located) record.Kind = TDumpKind::Duplicate;
  }
}

void TScanEngine::Finish() {
  SortOutCopies();
  try {
    RunEndPass(state_, list_, callbacks_.ProcessMessagesBetweenChunks);
  } catch (const IoError&) {
    // Only the cache file failed; the results stand.
    outcome_.CacheWriteError = std::current_exception();
  }
  Notify(callbacks_.StatusTextsWritten);
  SetPanel(0, FoundText(state_.FoundCount));
  // Counted by status, as the rows show it: cached and bad entries are not
  // missing.
  SetPanel(1, MissingText(CountByStatus(state_.Catalogue).Missing));
  SetPanel(2, kScanCompleteText);
}

void TScanEngine::SetPanel(int panel, const std::string& text) {
  if (callbacks_.SetPanelText) callbacks_.SetPanelText(panel, text);
}

void TScanEngine::Pump() { Notify(callbacks_.ProcessMessages); }

void TScanEngine::Notify(const std::function<void()>& callback) {
  if (callback) callback();
}

}  // namespace vexmoor
