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
    http_.SetRcvdSink({});
  }
  TFetchScope(const TFetchScope&) = delete;
  TFetchScope& operator=(const TFetchScope&) = delete;

 private:
  THttpCli& http_;
};

void TUpdater::Fetch(const std::string& url, size_t limit, bool countBytes, const BodySink& sink) {
  if (cancelled_) throw EHttpException(kAbortedText);
  size_t received = 0;
  TFetchScope scope(http_);
  http_.ClearAbort();
  if (cancelled_) http_.Abort();  // a Cancel between the two lines above
  http_.SetURL(url);
  http_.SetRcvdSink([&](const char* data, size_t size) {
    received += size;
    if (received > limit) throw Error("the response is larger than " + MegaBytes(limit));
    sink(std::string_view(data, size));
  });
  http_.SetOnDocData([&](THttpCli&, const char*, size_t size) {
    if (!countBytes) return;
    counters_.Add(static_cast<int64_t>(size));
    if (onProgress_) onProgress_(counters_);
  });
  http_.Get();
  CheckStatus();
}

TUpdateList TUpdater::FetchList() {
  std::string list;
  Fetch(baseUrl_ + std::string(kUpdateListName), kMaxUpdateListSize, false,
        [&list](std::string_view data) { list += data; });
  return ParseUpdateList(list);
}

std::vector<TUpdateRecord> TUpdater::Check(std::string_view programPath, const std::string& folder,
                                           bool offerProgram) {
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
  // The body goes straight to a temporary beside the file, which replaces
  // the file only once the whole body arrived with a 2xx status.
  TPendingFile pending(path);
  Fetch(UpdateFileUrl(baseUrl_, record.File), kMaxUpdateFileSize, true,
        [&pending](std::string_view data) { pending.Append(data); });
  pending.Commit();
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
