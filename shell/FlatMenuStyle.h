// The flat look of the program's menus: a 24-pixel icon column shaded with a
// gradient, the entry under the mouse framed and filled in the highlight
// colour, disabled entries in the inactive text colour. Only the menu items
// are drawn here; everything else (and every colour) comes from the base
// style and the system palette.
#pragma once

#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace vexmoor::shell {

class TFlatMenuStyle : public QProxyStyle {
  Q_OBJECT

 public:
  TFlatMenuStyle();

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget = nullptr) const override;
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override;
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;

 private:
  void DrawMenuItem(const QStyleOptionMenuItem& item, QPainter* painter) const;
};

// Width of the icon column.
inline constexpr int kMenuIconColumn = 24;

}  // namespace vexmoor::shell
