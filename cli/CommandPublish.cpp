#include <cstdio>
#include <ctime>
#include <exception>

#include "cli/Commands.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "updater/Minisign.h"
#include "updater/UpdateConfig.h"
#include "updater/UpdatePublish.h"

namespace vexmoor::cli {

namespace {

struct PublishArgs {
  bool allowMissing = false;
  std::string secretKeyFile;
  std::string keysFile;
};

bool ReadPublishArgs(const Args& args, PublishArgs& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--allow-missing") {
      out.allowMissing = true;
    } else if (args[i] == "--sign" && i + 1 < args.size()) {
      out.secretKeyFile = args[++i];
    } else if (out.keysFile.empty() && !args[i].empty() && args[i][0] != '-') {
      out.keysFile = args[i];
    } else {
      return false;
    }
  }
  return !out.keysFile.empty();
}

// Writes the list and its signature beside the keys file, the signature
// first: a list never stands in the folder beside another list's signature
// for longer than the two renames take.
void WriteSigned(const PublishArgs& options, const std::string& list) {
  const TMinisignSecretKey key = ParseMinisignSecretKey(ReadWholeFile(options.secretKeyFile));
  const std::string comment = "timestamp:" + std::to_string(std::time(nullptr)) +
                              "\tfile:" + std::string(kUpdateListName) + "\thashed";
  const std::string folder = PathFolder(options.keysFile);
  const std::string listPath = folder + std::string(kUpdateListName);
  const std::string signaturePath = folder + std::string(kUpdateSignatureName);
  TPendingFile listFile(listPath, list);
  TPendingFile signatureFile(signaturePath, MinisignSign(list, key, comment));
  CommitTogether({&signatureFile, &listFile});
  std::fprintf(stderr, "Wrote %s and %s (key ID %s)\n", listPath.c_str(), signaturePath.c_str(),
               MinisignKeyIdText(key.KeyId).c_str());
}

}  // namespace

// A list that names files the folder does not hold promises downloads that
// will fail: that is an error, printed without the list, unless
// --allow-missing asks for the list all the same.
int RunPublish(const Args& args) {
  PublishArgs options;
  if (!ReadPublishArgs(args, options)) return UsageError("publish");
  const std::string& keysFile = options.keysFile;
  try {
    const TPublishedList list = PublishUpdateList(keysFile);
    for (const std::string& warning : list.Warnings) ReportError(warning);
    if (!list.Warnings.empty() && !options.allowMissing) {
      ReportError(
          "not published: " + std::to_string(list.Warnings.size()) + " file(s) named in \"" +
          keysFile +
          "\" are missing (--allow-missing publishes the list without their sizes and hashes)");
      return 1;
    }
    if (!options.secretKeyFile.empty()) {
      WriteSigned(options, list.Text);
    } else {
      std::fwrite(list.Text.data(), 1, list.Text.size(), stdout);
    }
  } catch (const std::exception& error) {
    ReportError("cannot publish \"" + keysFile + "\": " + error.what());
    return 1;
  }
  return 0;
}

}  // namespace vexmoor::cli
