#include "shell/ErrorReport.h"

#include <new>

#include "catalogue/General.h"
#include "catalogue/TextEncoding.h"
#include "catalogue/Version.h"
#include "shell/Dialogs.h"

namespace vexmoor::shell {

void ShowErrorReport(QWidget* owner, const std::string& message) {
  TMessage box;
  box.Text = QString::fromStdString(ToUtf8(ErrorReportText(message)));
  box.Caption = QString::fromUtf8(kProductName.data(), static_cast<qsizetype>(kProductName.size()));
  box.Icon = QMessageBox::Critical;
  box.Buttons = QMessageBox::Ok;
  TDialogs::Message(owner, box);
}

void ReportCurrentException(QWidget* owner) {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    ShowErrorReport(owner, "Out of memory");
  } catch (const std::exception& error) {
    ShowErrorReport(owner, error.what());
  } catch (...) {
    ShowErrorReport(owner, "Unknown error");
  }
}

}  // namespace vexmoor::shell
