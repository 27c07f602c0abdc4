// A status bar panel whose text is elided in the middle when it does not
// fit, and whose size never follows its text: a long path shown while
// scanning neither widens the window nor makes the bar jump.
#pragma once

#include <QLabel>

namespace vexmoor::shell {

class TElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TElidedLabel(QWidget* parent = nullptr);

  void SetFullText(const QString& text);
  const QString& FullText() const { return text_; }

  QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
  QSize sizeHint() const override { return {0, QLabel::sizeHint().height()}; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();
  QString text_;
};

}  // namespace vexmoor::shell
