// One panel of the status bar. Its size never follows its text, and a new
// text only repaints the panel (no layout pass): the scan sets the panels
// once per path. A text that does not fit is elided in the middle, so a
// long path keeps its start and its file name.
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
  QString text_;
};

}  // namespace vexmoor::shell
