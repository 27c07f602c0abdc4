// Registering the program's two file types with the desktop, so that file
// managers show ".qdat" and ".qcache" files with their names and icons. No
// command to open them is registered.
#pragma once

#include <QByteArray>
#include <QString>

namespace vexmoor {

struct TFileTypeIcons {
  QByteArray DatIcon;    // SVG of the "Quen Dat File" icon
  QByteArray CacheIcon;  // SVG of the "Quen Cache File" icon
};

// The shared-MIME-info package describing both types: name, glob and the
// magic bytes at offset 0 ("QDAT", "QCAC").
QByteArray FileTypesMimePackage();

// Writes the MIME package to "$XDG_DATA_HOME/mime/packages/" and the two
// icons to "$XDG_DATA_HOME/icons/hicolor/scalable/mimetypes/", each file
// only when its content differs, then starts update-mime-database detached
// without waiting (a missing tool is no error). Returns false when nothing
// needed writing, true after writing. Throws IoError when a file cannot be
// written.
bool RegisterFileTypes(const TFileTypeIcons& icons);

}  // namespace vexmoor
