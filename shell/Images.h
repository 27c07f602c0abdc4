// The program's images, drawn by us and kept as SVG in the Qt resource
// ":/vexmoor": the eleven 16 x 16 country flags, the menu icons and the
// program's own icons.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace vexmoor::shell {

inline constexpr int kFlagCount = 11;
inline constexpr int kMenuIconCount = 15;

// The flag of image index `index` (FlagIndex: 0 United States ... 10
// Australia) at 16 x 16; a null pixmap outside 0..10.
const QPixmap& FlagPixmap(int index);

// Menu icon `index` (0 Pick Dat ... 14 About).
QIcon MenuIcon(int index);

// One of the program's icons by its number: 1 the program, 100 About,
// 101 the dat file type, 102 the cache file type, 932 question, 964 update.
QIcon ProgramIcon(int id);

// An image of one of the windows by its name under "windows/": "encode"
// (the encoder's button), "update-button" and "update-row" (the update
// window's button glyph and row image).
QIcon WindowImage(const QString& name);

// The SVG text of a program icon (for the desktop's file-type icons).
QByteArray ProgramIconSvg(int id);

}  // namespace vexmoor::shell
