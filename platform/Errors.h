// The core's failures. Every error carries the message text that the
// program's error report shows; callers tell the kinds apart by type.
#pragma once

#include <stdexcept>
#include <string>

namespace vexmoor {

// Base of every failure the core raises.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// Input or output failed: a read, a write, a rename, a folder listing.
// SystemError() is the system's error number behind it, 0 when unknown.
class IoError : public Error {
 public:
  explicit IoError(const std::string& message, int systemError = 0)
      : Error(message), systemError_(systemError) {}
  int SystemError() const { return systemError_; }

 private:
  int systemError_;
};

// A file could not be opened at all. The scan counts an archive that fails
// this way as skipped, so it must stay distinct from other I/O failures.
class FileOpenError : public IoError {
 public:
  using IoError::IoError;
};

// Bytes that do not follow the format they claim: a dat, an archive,
// a compressed block, an update list.
class FormatError : public Error {
 public:
  using Error::Error;
};

// An HTTP transfer failed; Status is the response status when the server
// answered with one of 402 and above, else 0.
class HttpError : public Error {
 public:
  explicit HttpError(const std::string& message, int status = 0)
      : Error(message), status_(status) {}
  int Status() const { return status_; }

 private:
  int status_;
};

}  // namespace vexmoor
