#include "platform/FileSystem.h"

#include <atomic>

#include "platform/Errors.h"
#include "platform/File.h"
#include "platform/FileSystem-system.h"

namespace vexmoor {

namespace {

std::atomic<TFileSystem*> current{nullptr};

const char* OpText(TFileOp op) {
  switch (op) {
    case TFileOp::Open:
      return "Cannot open file";
    case TFileOp::Read:
      return "Cannot read file";
    case TFileOp::Write:
    case TFileOp::Flush:
      return "Cannot write file";
    case TFileOp::Rename:
      return "Cannot rename file";
    case TFileOp::Remove:
      return "Cannot delete file";
    case TFileOp::List:
      return "Cannot list folder";
    case TFileOp::Stat:
      break;
  }
  return "Cannot examine";
}

}  // namespace

std::string FileErrorText(TFileOp op, const std::string& path, int error) {
  return std::string(OpText(op)) + " \"" + path + "\". " + SystemErrorText(error);
}

void ThrowFileError(TFileOp op, const std::string& path, int error) {
  const std::string message = FileErrorText(op, path, error);
  if (op == TFileOp::Open) throw FileOpenError(message, error);
  throw IoError(message, error);
}

TOpenedPath TFileSystem::OpenIfFile(const std::string& path) {
  TOpenedPath opened;
  opened.Stat = Stat(path);
  if (opened.Stat.Type != TFileType::Regular) return opened;
  opened.Stamp = FileStamp(path);
  try {
    opened.File = OpenRead(path);
  } catch (const IoError&) {
    opened.OpenFailure = std::current_exception();
  }
  return opened;
}

TOpenedPath NotOpened(TFileSystem& system, const std::string& path, int error) {
  TOpenedPath opened;
  opened.Stat = system.Stat(path);
  if (opened.Stat.Type != TFileType::Regular) return opened;
  try {
    ThrowFileError(TFileOp::Open, path, error);
  } catch (const IoError&) {
    opened.OpenFailure = std::current_exception();
  }
  return opened;
}

TFileSystem& CurrentFileSystem() {
  TFileSystem* const installed = current.load(std::memory_order_acquire);
  return installed ? *installed : DefaultFileSystem();
}

TFileSystemOverride::TFileSystemOverride(TFileSystem& replacement)
    : previous_(current.exchange(&replacement)) {}

TFileSystemOverride::~TFileSystemOverride() { current.store(previous_); }

}  // namespace vexmoor
