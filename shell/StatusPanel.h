// One panel of the status bar. A panel given a width keeps it until a text
// needs more (a large count): it then grows to show the text whole, and
// never shrinks back. Otherwise a new text only repaints the panel (no
// layout pass): the scan sets the panels once per path. The panel that
// takes the rest of the bar elides a text that does not fit in the middle,
// so a long path keeps its start and its file name.
#pragma once

#include <QWidget>

namespace vexmoor::shell {

class TStatusPanel : public QWidget {
  Q_OBJECT

 public:
  // `width` 0: the panel takes what the bar has left.
  explicit TStatusPanel(int width, QWidget* parent = nullptr);

  void SetText(const QString& text);
  const QString& Text() const { return text_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int width_;
  int fitted_ = 0;  // the widest text's need so far
  QString text_;
};

}  // namespace vexmoor::shell
