// The "Rebuild Set..." dialog: the output folder, the action (copy, move,
// hard or symbolic link), loose files or one zip per release, padding of
// trimmed dumps and an optional subfolder. It only shows and collects: what
// is offered, what is allowed together and why a choice cannot run come
// from the core (rebuild/RebuildChoice.h).
#pragma once

#include <QDialog>
#include <QString>
#include <optional>

#include "rebuild/RebuildChoice.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vexmoor::shell {

struct TRebuildChoiceMade {
  QString Output;
  TRebuildOptions Options;
};

class TRebuildForm : public QDialog {
  Q_OBJECT

 public:
  // `output` fills the folder box (the folder chosen last time).
  TRebuildForm(QWidget* owner, const TRebuildOffer& offer, const QString& output);

  TRebuildChoiceMade Choice() const;
  // Refused (the form stays open) while the choice cannot run.
  void accept() override;

  QLineEdit* OutputEdit() const { return output_; }
  QComboBox* ActionBox() const { return action_; }
  QComboBox* FormBox() const { return form_; }
  QCheckBox* PadBox() const { return pad_; }
  QComboBox* SubfolderBox() const { return subfolder_; }
  QLabel* ProblemLabel() const { return problem_; }
  QPushButton* OkButton() const { return ok_; }

 private:
  void Browse();
  void ChoiceChanged();

  TRebuildOffer offer_;
  QLineEdit* output_ = nullptr;
  QComboBox* action_ = nullptr;
  QComboBox* form_ = nullptr;
  QCheckBox* pad_ = nullptr;
  QComboBox* subfolder_ = nullptr;
  QLabel* problem_ = nullptr;
  QPushButton* ok_ = nullptr;
};

// Shows the dialog (through the dialog seam, shell/Dialogs.h); nothing when
// it was cancelled.
std::optional<TRebuildChoiceMade> AskRebuild(QWidget* owner, const TRebuildOffer& offer, const QString& output);

}  // namespace vexmoor::shell
