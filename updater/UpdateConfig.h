// The updater's fixed values: where the update service lives, the names
// below its base URL, and the limits on what a download may bring.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexmoor {

// The compiled default base URL of the update service. Its path ends with
// the segment "update/"; the list and every listed file lie below it. The
// settings (and `vexmoor update --base-url`) may name another service.
inline constexpr std::string_view kDefaultUpdateBaseUrl = "https://updates.vexmoor.invalid/update/";

// The update list, relative to the base URL; fetched with a plain GET.
inline constexpr std::string_view kUpdateListName = "update2.cgi";

// The list's detached minisign signature, beside the list.
inline constexpr std::string_view kUpdateSignatureName = "update2.cgi.minisig";

// The prefix of the local name under which a new program build is stored.
inline constexpr std::string_view kUpdatedProgramPrefix = "upd-";

// A list is a few hundred bytes per entry; a longer body is not a list.
inline constexpr size_t kMaxUpdateListSize = size_t{1} << 20;  // 1 MiB
// Dats and the program are a few MB; a runaway response must not fill the
// disk with the temporary file it streams into.
inline constexpr size_t kMaxUpdateFileSize = size_t{256} << 20;  // 256 MiB
// A signature is four short lines.
inline constexpr size_t kMaxUpdateSignatureSize = size_t{16} << 10;  // 16 KiB
// One update run fetches at most the sum of the listed sizes, and never
// more than this: entries past it are refused.
inline constexpr int64_t kMaxUpdateRunSize = int64_t{1} << 30;  // 1 GiB

// The check's message when nothing is offered.
inline constexpr std::string_view kNoUpdatesText = "No updates are available at this time.";

}  // namespace vexmoor
