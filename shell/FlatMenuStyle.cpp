#include "shell/FlatMenuStyle.h"

#include <QLinearGradient>
#include <QPainter>
#include <QStyleOptionMenuItem>

namespace vexmoor::shell {

namespace {

constexpr int kItemHeight = 22;
constexpr int kSeparatorHeight = 5;
constexpr int kTextGap = 6;
constexpr int kArrowWidth = 14;

void DrawCheckMark(QPainter* painter, const QRect& box, const QColor& color) {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const QPointF c = QRectF(box).center();
  painter->drawPolyline(QPolygonF({c + QPointF(-4, 0), c + QPointF(-1, 3), c + QPointF(4, -3)}));
  painter->restore();
}

void DrawSubmenuArrow(QPainter* painter, const QRect& area, const QColor& color) {
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing);
  painter->setPen(Qt::NoPen);
  painter->setBrush(color);
  const QPointF c = QRectF(area).center();
  painter->drawPolygon(QPolygonF({c + QPointF(-2, -4), c + QPointF(2, 0), c + QPointF(-2, 4)}));
  painter->restore();
}

}  // namespace

TFlatMenuStyle::TFlatMenuStyle() : QProxyStyle() {}

int TFlatMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
  switch (metric) {
    case PM_MenuPanelWidth:
      return 1;
    case PM_MenuHMargin:
    case PM_MenuVMargin:
      return 1;
    case PM_SmallIconSize:
      return 16;
    default:
      return QProxyStyle::pixelMetric(metric, option, widget);
  }
}

void TFlatMenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const {
  if (element == PE_FrameMenu || element == PE_PanelMenu) {
    painter->save();
    if (element == PE_PanelMenu) painter->fillRect(option->rect, option->palette.color(QPalette::Base));
    painter->setPen(option->palette.color(QPalette::Mid));
    painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
    painter->restore();
    return;
  }
  QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize TFlatMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                       const QWidget* widget) const {
  if (type != CT_MenuItem) return QProxyStyle::sizeFromContents(type, option, size, widget);
  const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
  if (item == nullptr) return QProxyStyle::sizeFromContents(type, option, size, widget);
  if (item->menuItemType == QStyleOptionMenuItem::Separator) return {size.width(), kSeparatorHeight};
  QString text = item->text;
  const qsizetype tab = text.indexOf(QLatin1Char('\t'));
  const QFontMetrics metrics(item->font);
  int width = kMenuIconColumn + kTextGap + metrics.horizontalAdvance(text.left(tab)) + kArrowWidth;
  if (tab >= 0) width += 2 * kTextGap + metrics.horizontalAdvance(text.mid(tab + 1));
  return {width + kTextGap, qMax(kItemHeight, metrics.height() + 6)};
}

void TFlatMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
  if (element == CE_MenuItem) {
    if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
      DrawMenuItem(*item, painter);
      return;
    }
  }
  if (element == CE_MenuEmptyArea) {
    painter->fillRect(option->rect, option->palette.color(QPalette::Base));
    return;
  }
  QProxyStyle::drawControl(element, option, painter, widget);
}

void TFlatMenuStyle::DrawMenuItem(const QStyleOptionMenuItem& item, QPainter* painter) const {
  const QPalette& palette = item.palette;
  const QRect& rect = item.rect;
  painter->save();
  painter->fillRect(rect, palette.color(QPalette::Base));
  QRect column(rect.left(), rect.top(), kMenuIconColumn, rect.height());
  QLinearGradient shade(column.topLeft(), column.topRight());
  shade.setColorAt(0, palette.color(QPalette::Base));
  shade.setColorAt(1, palette.color(QPalette::Button).darker(108));
  painter->fillRect(column, shade);
  if (item.menuItemType == QStyleOptionMenuItem::Separator) {
    painter->setPen(palette.color(QPalette::Mid));
    const int y = rect.center().y();
    painter->drawLine(rect.left() + kMenuIconColumn + kTextGap, y, rect.right(), y);
    painter->restore();
    return;
  }
  const bool enabled = item.state & State_Enabled;
  const bool selected = enabled && (item.state & State_Selected);
  if (selected) {
    const QColor highlight = palette.color(QPalette::Highlight);
    painter->fillRect(rect.adjusted(1, 0, -1, -1), highlight);
    painter->setPen(highlight.darker(130));
    painter->drawRect(rect.adjusted(1, 0, -2, -1));
  }
  const QColor text = !enabled ? palette.color(QPalette::Disabled, QPalette::Text)
                      : selected ? palette.color(QPalette::HighlightedText)
                                 : palette.color(QPalette::Text);
  const bool checked = item.checkType != QStyleOptionMenuItem::NotCheckable && item.checked;
  const QRect iconBox(rect.left() + (kMenuIconColumn - 16) / 2, rect.top() + (rect.height() - 16) / 2, 16, 16);
  if (checked) {
    painter->setPen(palette.color(QPalette::Highlight));
    painter->drawRect(iconBox.adjusted(-2, -2, 1, 1));
  }
  if (!item.icon.isNull())
    item.icon.paint(painter, iconBox, Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);
  else if (checked)
    DrawCheckMark(painter, iconBox, text);
  painter->setPen(text);
  painter->setFont(item.font);
  QString caption = item.text;
  const qsizetype tab = caption.indexOf(QLatin1Char('\t'));
  const QRect textRect = rect.adjusted(kMenuIconColumn + kTextGap, 0, -kArrowWidth, 0);
  const int flags = Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextSingleLine;
  painter->drawText(textRect, flags | Qt::AlignLeft, caption.left(tab));
  if (tab >= 0) painter->drawText(textRect, flags | Qt::AlignRight, caption.mid(tab + 1));
  if (item.menuItemType == QStyleOptionMenuItem::SubMenu)
    DrawSubmenuArrow(painter, QRect(rect.right() - kArrowWidth, rect.top(), kArrowWidth, rect.height()), text);
  painter->restore();
}

}  // namespace vexmoor::shell
