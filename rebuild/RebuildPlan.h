// The rebuild plan: for each release a finished scan found, where its dump
// lies and where the rebuild puts it, named as the dat names it. A plan is
// a plain value built without touching any file, so it can be printed
// (a dry run) and tested before anything is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/RomItem.h"

namespace vexmoor {

enum class TRebuildAction { Copy, Move, HardLink, SymbolicLink };
enum class TRebuildSubfolder { None, Region, FirstLetter };

struct TRebuildOptions {
  TRebuildAction Action = TRebuildAction::Copy;
  bool Zip = false;         // one zip per release instead of loose files
  bool ZipStore = false;    // with Zip: members stored, not deflated
  bool PadTrimmed = false;  // a trimmed dump is written as its full image
  TRebuildSubfolder Subfolder = TRebuildSubfolder::None;
};

// Where a found dump lies: a loose file, or a member of an archive.
struct TRebuildSource {
  std::string Path;    // the loose file or the archive
  std::string Member;  // the member's stored name; empty for a loose file
  bool Trimmed = false;
  friend bool operator==(const TRebuildSource&, const TRebuildSource&) = default;
};

// One release to put in place.
struct TRebuildStep {
  size_t Entry = 0;  // catalogue position
  std::string Index;
  std::string Name;
  uint32_t Crc = 0;
  std::optional<uint64_t> Size;  // the dat's size of the full image
  TRebuildSource Source;
  // The file the dat names (the release name and ".EXT") and the name it
  // is written as: the same unless the file system would refuse it.
  std::string DatFileName;
  std::string FileName;
  // The file written: OUTPUT/[subfolder/]FileName, or with Zip the zip
  // OUTPUT/[subfolder/]NAME.zip holding FileName as its one member.
  std::string Target;
  // The source's size in bytes once ProbeSources has looked (0 before).
  uint64_t SourceBytes = 0;
};

// What ProbeSources learnt of an archive: its regular members, or why it
// could not be listed.
struct TArchiveListing {
  std::vector<std::string> Members;
  std::string Error;
  // The files read as the archive: more than one for a multi-volume rar
  // set, which a move never removes.
  std::vector<std::string> Volumes;
};

struct TRebuildPlan {
  std::string Output;
  TRebuildOptions Options;
  std::vector<TRebuildStep> Steps;  // in catalogue order
  std::map<std::string, TArchiveListing> Archives;  // filled by ProbeSources
};

// The plan for every entry of `catalogue` that a scan marked found at a
// location (cached and bad entries are left out). A target is named as the
// dat names the rom (`RomName`); where it does not, the release name and
// `ext`, the dat's EXT value (without its dot; empty: the name alone). Two releases
// whose targets would be one file (the names differ only in case, or not
// at all) get their release number appended in brackets to the second.
TRebuildPlan BuildRebuildPlan(const TCatalogue& catalogue, const std::string& ext,
                              const std::string& output, const TRebuildOptions& options);

// The subfolder a release goes into under `how` ("" for None): its region
// text (or "Unknown"), or the upper-case first letter of its name ("#" for
// anything but a letter or digit), made safe as a file name.
std::string RebuildSubfolder(const TRebuildStep& step, const std::string& country,
                             TRebuildSubfolder how);

// The bytes the plan writes for `step` when its target is missing: the
// source's size, or the full image's with padding. 0 for links.
uint64_t BytesToWrite(const TRebuildPlan& plan, const TRebuildStep& step);

}  // namespace vexmoor
