#include "updater/Updater.h"

#include <algorithm>

#include "platform/Errors.h"
#include "platform/File.h"
#include "updater/Sodium.h"

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

std::string TUpdater::FetchSignature(const std::string& listUrl, const std::string& signatureUrl) {
  std::string signature;
  try {
    Fetch(signatureUrl, kMaxUpdateSignatureSize, false,
          [&signature](std::string_view data) { signature += data; });
  } catch (const EHttpException& error) {
    // A server that cannot be reached is a failed request like any other.
    if (cancelled_ || error.Status() == 0) throw;
    throw EUntrustedList(UnsignedListText(listUrl, signatureUrl, error.what()));
  } catch (const Error& error) {
    if (cancelled_) throw;
    throw EUntrustedList(UnsignedListText(listUrl, signatureUrl, error.what()));
  }
  return signature;
}

TUpdateList TUpdater::FetchList() {
  if (trustedKeys_.empty()) throw EUntrustedList(NoTrustedKeyText());
  const std::string listUrl = baseUrl_ + std::string(kUpdateListName);
  const std::string signatureUrl = baseUrl_ + std::string(kUpdateSignatureName);
  // The list stays bytes in memory until its signature is checked.
  std::string list;
  Fetch(listUrl, kMaxUpdateListSize, false, [&list](std::string_view data) { list += data; });
  const std::string signature = FetchSignature(listUrl, signatureUrl);
  VerifyUpdateList(list, signature, trustedKeys_, listUrl, signatureUrl);
  return ParseUpdateList(list);
}

std::vector<TUpdateRecord> TUpdater::Check(std::string_view programPath, const std::string& folder,
                                           bool offerProgram) {
  return OfferedUpdates(FetchList(), programPath, folder, offerProgram);
}

std::string TUpdater::Download(const TUpdateRecord& record, std::string_view programPath,
                               const std::string& folder) {
  if (const auto reason = RefusedDownloadReason(record, programPath, folder)) {
    throw FormatError("refusing to download \"" + record.File + "\" of entry \"" + record.Section +
                      "\": " + *reason);
  }
  const std::string path = JoinFolder(folder, LocalUpdateName(record, programPath));
  counters_.StartItem();
  // The body goes straight to a temporary beside the file, which replaces
  // the file only once the whole body arrived with a 2xx status and is the
  // file the signed list describes.
  TPendingFile pending(path, TPendingFile::TLinks::Replace);
  TSha256 sum;
  int64_t received = 0;
  Fetch(UpdateFileUrl(baseUrl_, record.File), kMaxUpdateFileSize, true, [&](std::string_view data) {
    received += static_cast<int64_t>(data.size());
    if (received > record.ExactSize) {
      throw Error("the server sent more than the " + std::to_string(record.ExactSize) +
                  " bytes the signed list gives; the download was cut off");
    }
    sum.Add(data);
    pending.Append(data);
  });
  if (received != record.ExactSize) {
    throw Error("the server sent " + std::to_string(received) + " bytes, the signed list gives " +
                std::to_string(record.ExactSize));
  }
  const std::string actual = sum.FinishHex();
  if (actual != record.Sha256) {
    throw Error("its SHA-256 is " + actual + ", the signed list gives " + record.Sha256 +
                ": the file was changed after the list was signed");
  }
  pending.Commit();
  // The new build is started right after the run: it must be a program.
  if (IsProgramDownload(record, programPath)) MakeExecutable(path);
  return path;
}

TUpdateRunResult TUpdater::Run(const std::vector<TUpdateRecord>& records,
                               const std::vector<bool>& checked, std::string_view programPath,
                               const std::string& folder) {
  TUpdateRunResult result;
  int64_t listed = 0;  // the listed sizes of the run's downloads so far
  for (size_t i = 0; i < records.size(); ++i) {
    if (i >= checked.size() || !checked[i]) continue;
    const TUpdateRecord& record = records[i];
    TUpdateOutcome outcome{i, JoinFolder(folder, LocalUpdateName(record, programPath)), {}};
    if (onItem_) onItem_(record, outcome.LocalPath);
    try {
      if (record.ExactSize > kMaxUpdateRunSize - listed) {
        throw FormatError("refusing to download \"" + record.File + "\" of entry \"" +
                          record.Section + "\": the listed sizes add up to more than the " +
                          MegaBytes(static_cast<size_t>(kMaxUpdateRunSize)) +
                          " one update run may fetch");
      }
      listed += std::max<int64_t>(record.ExactSize, 0);
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
