// The dat encoder window. Start-up creates it hidden; the main window's
// "Dat Encoder" entry shows it.
#pragma once

#include <QWidget>

namespace vexmoor::shell {

class TEncoderForm : public QWidget {
  Q_OBJECT

 public:
  explicit TEncoderForm(QWidget* parent = nullptr);
};

}  // namespace vexmoor::shell
