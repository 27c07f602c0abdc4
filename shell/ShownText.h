// How the windows turn the core's bytes into text and back: dat texts (names,
// values) are single-byte Windows-1252, paths are the file system's bytes.
#pragma once

#include <QFile>
#include <QString>
#include <string>

#include "catalogue/TextEncoding.h"

namespace vexmoor::shell {

// Bytes of a dat (names, values, messages that quote them) as a window shows them.
inline QString Shown(const std::string& bytes) { return QString::fromStdString(ToUtf8(bytes)); }

// A path from a dialog or a drop as the file system's bytes, and back.
inline std::string FileBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }
inline QString FileText(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

}  // namespace vexmoor::shell
