#include "shell/Images.h"

#include <QFile>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>
#include <array>

namespace vexmoor::shell {

namespace {

QPixmap RenderSvg(const QString& path, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(path);
  QPainter painter(&pixmap);
  renderer.render(&painter);
  return pixmap;
}

// An icon rendered from its SVG at whatever size it is asked for.
QIcon SvgIcon(const QString& path) {
  QIcon icon;
  for (const int size : {16, 24, 32, 48}) icon.addPixmap(RenderSvg(path, size));
  return icon;
}

}  // namespace

const QPixmap& FlagPixmap(int index) {
  static const std::array<QPixmap, kFlagCount> flags = [] {
    std::array<QPixmap, kFlagCount> all;
    for (int i = 0; i < kFlagCount; ++i)
      all[static_cast<size_t>(i)] = RenderSvg(QStringLiteral(":/vexmoor/flags/%1.svg").arg(i), 16);
    return all;
  }();
  static const QPixmap none;
  return index >= 0 && index < kFlagCount ? flags[static_cast<size_t>(index)] : none;
}

QIcon MenuIcon(int index) { return SvgIcon(QStringLiteral(":/vexmoor/menu/%1.svg").arg(index)); }

QIcon ProgramIcon(int id) { return SvgIcon(QStringLiteral(":/vexmoor/icons/%1.svg").arg(id)); }

QIcon WindowImage(const QString& name) {
  return SvgIcon(QStringLiteral(":/vexmoor/windows/%1.svg").arg(name));
}

QByteArray ProgramIconSvg(int id) {
  QFile file(QStringLiteral(":/vexmoor/icons/%1.svg").arg(id));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace vexmoor::shell
