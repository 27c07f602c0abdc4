#include "encoder/formEncoder.h"

namespace vexmoor::shell {

TEncoderForm::TEncoderForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Dat Encoder"));
  resize(500, 350);
}

}  // namespace vexmoor::shell
