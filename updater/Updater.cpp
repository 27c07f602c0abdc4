#include "updater/Updater.h"

#include "platform/Errors.h"
#include "platform/File.h"

namespace vexmoor {

namespace {

constexpr const char* kAbortedText = "Connection aborted on request";

std::string MegaBytes(size_t bytes) {
  return bytes >= (size_t{1} << 20) ? std::to_string(bytes >> 20) + " MB"
                                    : std::to_string(bytes >> 10) + " KB";
}

}  // namespace

bool TUpdateRunResult::AllSucceeded() const {
  for (const TUpdateOutcome& item : Items) {
    if (!item.Error.empty()) return false;
  }
  return true;
}

std::string UpdateFailuresText(const std::vector<TUpdateRecord>& records,
                               const TUpdateRunResult& run) {
  std::string text;
  for (const TUpdateOutcome& item : run.Items) {
    if (item.Error.empty()) continue;
    if (!text.empty()) text += '\n';
    const TUpdateRecord* record = item.Index < records.size() ? &records[item.Index] : nullptr;
    text += "The download of \"" + (record ? record->Name : item.LocalPath) + "\"";
    if (record) text += " (" + record->File + ")";
    text += " failed: " + item.Error;
  }
  return text;
}

TUpdater::TUpdater(std::string_view baseUrl, TByteCounters& counters)
    : baseUrl_(baseUrl), counters_(counters) {
  if (baseUrl_.empty() || baseUrl_.back() != '/') baseUrl_ += '/';
}

void TUpdater::Cancel() {
  cancelled_ = true;
  http_.Abort();
}

void TUpdater::CheckStatus() const {
  const int status = http_.StatusCode();
  if (status >= 200 && status <= 299) return;
  const std::string& reason = http_.ReasonPhrase();
  throw EHttpException(reason.empty() ? "HTTP status " + std::to_string(status) : reason, status);
}

// Detaches a request's body and data handler from the client however the
// request ends, so the client never points at a finished request's locals.
class TFetchScope {
 public:
  explicit TFetchScope(THttpCli& http) : http_(http) {}
  ~TFetchScope() {
    http_.SetOnDocData({});
    http_.SetRcvdStream(nullptr);
  }
  TFetchScope(const TFetchScope&) = delete;
  TFetchScope& operator=(const TFetchScope&) = delete;

 private:
  THttpCli& http_;
};

std::string TUpdater::Fetch(const std::string& url, size_t limit, bool countBytes) {
  if (cancelled_) throw EHttpException(kAbortedText);
  std::string body;
  bool tooLarge = false;
  TFetchScope scope(http_);
  http_.ClearAbort();
  if (cancelled_) http_.Abort();  // a Cancel between the two lines above
  http_.SetURL(url);
  http_.SetRcvdStream(&body);
  http_.SetOnDocData([&](THttpCli& sender, const char*, size_t size) {
    if (countBytes) {
      counters_.Add(static_cast<int64_t>(size));
      if (onProgress_) onProgress_(counters_);
    }
    if (body.size() > limit) {
      tooLarge = true;
      sender.Abort();
    }
  });
  try {
    http_.Get();
  } catch (const EHttpException&) {
    if (!tooLarge || cancelled_) throw;
  }
  // The last block may complete the body before the abort is seen.
  if (tooLarge) {
    if (!cancelled_) http_.ClearAbort();
    throw Error("the response is larger than " + MegaBytes(limit));
  }
  CheckStatus();
  return body;
}

TUpdateList TUpdater::FetchList() {
  return ParseUpdateList(Fetch(baseUrl_ + std::string(kUpdateListName), kMaxUpdateListSize, false));
}

std::vector<TUpdateRecord> TUpdater::Check(std::string_view programPath,
                                           const std::string& folder, bool offerProgram) {
  return OfferedUpdates(FetchList(), programPath, folder, offerProgram);
}

std::string TUpdater::Download(const TUpdateRecord& record, std::string_view programPath,
                               const std::string& folder) {
  if (const auto reason = UnsafeFileNameReason(record.File)) {
    throw FormatError("refusing to download \"" + record.File + "\" of entry \"" + record.Section +
                      "\": " + *reason);
  }
  const std::string path = JoinFolder(folder, LocalUpdateName(record, programPath));
  counters_.StartItem();
  const std::string body = Fetch(UpdateFileUrl(baseUrl_, record.File), kMaxUpdateFileSize, true);
  WriteFileAtomically(path, body);
  // The new build is started right after the run: it must be a program.
  if (IsProgramDownload(record, programPath)) MakeExecutable(path);
  return path;
}

TUpdateRunResult TUpdater::Run(const std::vector<TUpdateRecord>& records,
                               const std::vector<bool>& checked, std::string_view programPath,
                               const std::string& folder) {
  TUpdateRunResult result;
  for (size_t i = 0; i < records.size(); ++i) {
    if (i >= checked.size() || !checked[i]) continue;
    const TUpdateRecord& record = records[i];
    TUpdateOutcome outcome{i, JoinFolder(folder, LocalUpdateName(record, programPath)), {}};
    if (onItem_) onItem_(record, outcome.LocalPath);
    try {
      Download(record, programPath, folder);
      if (IsProgramDownload(record, programPath)) result.ProgramUpdatePath = outcome.LocalPath;
    } catch (const Error& error) {
      outcome.Error = error.what();
    }
    result.Items.push_back(std::move(outcome));
  }
  return result;
}

}  // namespace vexmoor
