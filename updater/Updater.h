// The update service client: fetches the update list, decides what is
// offered, and downloads the chosen files into the program's folder. The
// update window and `vexmoor update` both drive it.
//
//   TUpdater updater(baseUrl);
//   updater.Http().SetOnPump([] { /* process window messages */ });
//   std::vector<TUpdateRecord> offered = updater.Check(programPath, folder);
//   TUpdateRunResult run = updater.Run(offered, checked, programPath, folder);
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/HttpCli.h"
#include "updater/UpdateCheck.h"
#include "updater/UpdateConfig.h"
#include "updater/UpdateList.h"
#include "updater/UpdateTexts.h"
#include "updater/UpdateTrust.h"

namespace vexmoor {

// How one download of a run ended.
struct TUpdateOutcome {
  size_t Index = 0;       // the record's position in the run's list
  std::string LocalPath;  // the file written (or that would have been)
  std::string Error;      // empty on success, else the failure's text
};

struct TUpdateRunResult {
  std::vector<TUpdateOutcome> Items;  // one per checked record, in order
  // The downloaded program build to start with "-update", or "" when no
  // program download was checked or it failed (the restart is then skipped).
  std::string ProgramUpdatePath;
  bool AllSucceeded() const;
};

// What to tell the user about the failed downloads of `run` over `records`
// (the list the run was given): one line per failure, "The download of NAME
// (FILE) failed: ERROR", the lines joined by LF; "" when none failed. A
// failed program download is named like any other: the restart was skipped.
std::string UpdateFailuresText(const std::vector<TUpdateRecord>& records,
                               const TUpdateRunResult& run);

class TUpdater {
 public:
  // Told after every received block of a download.
  using ProgressEvent = std::function<void(const TByteCounters& counters)>;
  // Told before each download of a run starts.
  using ItemEvent = std::function<void(const TUpdateRecord& record, const std::string& localPath)>;

  // `baseUrl` gets a trailing '/' when it lacks one. The counters default to
  // the process's own.
  explicit TUpdater(std::string_view baseUrl = kDefaultUpdateBaseUrl,
                    TByteCounters& counters = ProcessByteCounters());

  const std::string& BaseUrl() const { return baseUrl_; }
  // The client, for the pump callback and the idle time-out.
  THttpCli& Http() { return http_; }
  const TByteCounters& Counters() const { return counters_; }
  void SetOnProgress(ProgressEvent handler) { onProgress_ = std::move(handler); }
  void SetOnItem(ItemEvent handler) { onItem_ = std::move(handler); }

  // The keys a list must be signed by (see TrustedUpdateKeys); none by
  // default, and then no list is read.
  void SetTrustedKeys(std::vector<TMinisignPublicKey> keys) { trustedKeys_ = std::move(keys); }

  // Fetches base URL + "update2.cgi" and "update2.cgi.minisig", verifies
  // the list against the trusted keys, and only then parses it. Throws
  // EUntrustedList, before any request, when no key is trusted, and when
  // the signature is refused by the server (a status of 402 and above),
  // is too large, does not read or does not verify;
  // EHttpException when the list's request fails or its final status is not
  // 2xx (400 and 401 included, whose body is an error page, not a list);
  // Error when the list is larger than kMaxUpdateListSize.
  TUpdateList FetchList();

  // FetchList, then the entries offered to `programPath` whose dats lie in
  // `folder` ("" for the current folder); the program's own entry only with
  // `offerProgram` (see CanReplaceProgram). Throws as FetchList.
  std::vector<TUpdateRecord> Check(std::string_view programPath, const std::string& folder,
                                   bool offerProgram = true);

  // Downloads `record` to its local name in `folder` and returns the path
  // written. The body streams into a temporary file beside the target
  // (memory stays flat whatever its size) while its SHA-256 is summed; the
  // temporary is renamed over the target (a link there is replaced, never
  // followed) only after the whole body arrived with a 2xx status, with
  // exactly the record's ExactSize and Sha256; on any failure the temporary
  // is removed and an existing file is untouched. A program build is made
  // executable (MakeExecutable). Counters().Current starts at 0. Throws
  // FormatError, writing and fetching nothing, for a record
  // RefusedDownloadReason refuses; IoError, fetching nothing, when no
  // temporary can be created in `folder`; EHttpException for a failed
  // request or status; Error for a body longer or shorter than ExactSize
  // (a longer one is cut as it passes the size) or of another SHA-256;
  // IoError when the file cannot be written or renamed.
  std::string Download(const TUpdateRecord& record, std::string_view programPath,
                       const std::string& folder);

  // Downloads every record whose `checked` flag is set (a missing flag counts
  // as unchecked), in order; a failure is recorded and the run goes on. A
  // record whose ExactSize would take the run's listed sizes past
  // kMaxUpdateRunSize is refused without a request.
  TUpdateRunResult Run(const std::vector<TUpdateRecord>& records, const std::vector<bool>& checked,
                       std::string_view programPath, const std::string& folder);

  // Ends the running request and fails every later one of this updater with
  // "Connection aborted on request". Safe to call from any thread.
  void Cancel();
  bool Cancelled() const { return cancelled_; }

 private:
  using BodySink = std::function<void(std::string_view data)>;
  // GETs `url`, handing the final body to `sink`; throws as FetchList, and
  // what `sink` throws.
  void Fetch(const std::string& url, size_t limit, bool countBytes, const BodySink& sink);
  void CheckStatus() const;

  std::string FetchSignature(const std::string& listUrl, const std::string& signatureUrl);

  std::string baseUrl_;
  std::vector<TMinisignPublicKey> trustedKeys_;
  TByteCounters& counters_;
  THttpCli http_;
  ProgressEvent onProgress_;
  ItemEvent onItem_;
  std::atomic<bool> cancelled_ = false;
};

}  // namespace vexmoor
