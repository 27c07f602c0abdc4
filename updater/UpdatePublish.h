// An update list built from the encoder's update keys file and the files
// beside it, so that any static web server can serve "update2.cgi" and the
// files themselves.
#pragma once

#include <string>
#include <vector>

namespace vexmoor {

struct TPublishedList {
  std::string Text;                   // the list, every line ending in CR LF
  std::vector<std::string> Warnings;  // files the keys name but the folder lacks
};

// One section per dat line of the keys file at `keysPath`, named after its
// file, with Name, File, Version, Timestamp and Size; then the program's line
// (the last one) as a section named after the program file with Name, File,
// Version and Size. Values come from the keys file except:
//  - Size is the size of the file beside the keys file, left out (with a
//    warning) when the file is not there;
//  - a dat's Timestamp is the clear time stamp of its container when the file
//    is one, written so that it reads back as exactly that value: the check
//    compares installed containers against it, and the keys line holds the
//    dat's old TIMESTAMP when the encoder kept time stamps.
// Throws FileOpenError or IoError for an unreadable keys file; FormatError
// for a malformed one, one without lines, or a File that is no plain file
// name (an empty one would make its section match every program path).
TPublishedList PublishUpdateList(const std::string& keysPath);

}  // namespace vexmoor
