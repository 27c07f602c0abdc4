// The dat encoder window: dat files dropped on it become its rows (sorted by
// name), and "&Encode" turns them into ".qdat" containers beside them, with
// the update keys file beside the top row. Start-up creates it hidden; the
// main window's "Dat Encoder" entry shows it. Closing it only hides it: its
// rows and options stay as they were until the next drop.
#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

#include "encoder/EncoderRows.h"

class QCheckBox;
class QPushButton;
class QTreeView;

namespace vexmoor::shell {

class TEncoderRowModel;

class TEncoderForm : public QDialog {
  Q_OBJECT

 public:
  // `mainForm` is the window it is shown over (centred on it); it may be null.
  explicit TEncoderForm(QWidget* mainForm = nullptr);
  ~TEncoderForm() override;

  // The drop handler's work: `paths` (full local paths) replace the rows.
  void DropFiles(const QStringList& paths);
  // "&Encode": encodes every row in list order with the two options. An
  // error is shown by the default error report and ends the run at its row.
  void EncodeButtonClick();

  // For tests.
  const std::vector<TEncoderRow>& Rows() const { return rows_; }
  QTreeView* ListView() const { return listView_; }
  QCheckBox* TimeCheckBox() const { return timeCheckBox_; }
  QCheckBox* UpdateCheckBox() const { return updateCheckBox_; }
  QPushButton* EncodeButton() const { return encodeButton_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWindow();
  QWidget* BuildButtonPanel();
  void ListViewResize();
  void SetRowStatus(size_t row, std::string_view status);

  QWidget* mainForm_;
  std::vector<TEncoderRow> rows_;
  TEncoderRowModel* model_ = nullptr;
  QTreeView* listView_ = nullptr;
  QCheckBox* timeCheckBox_ = nullptr;
  QCheckBox* updateCheckBox_ = nullptr;
  QPushButton* encodeButton_ = nullptr;
};

}  // namespace vexmoor::shell
