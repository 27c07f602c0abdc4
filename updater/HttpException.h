// The HTTP client's failure.
#pragma once

#include <string>

#include "platform/Errors.h"

namespace vexmoor {

// Raised by THttpCli::Get. The message is the request's reason phrase: the
// server's, for a status of 402 or above (then Status() is that status), or
// the client's own failure text ("HTTP line too long", "Connection aborted
// on request", "can't connect: ..."; then Status() is 0).
class EHttpException : public HttpError {
 public:
  using HttpError::HttpError;
};

}  // namespace vexmoor
