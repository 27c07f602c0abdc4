#include "shell/formRebuild.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/Dialogs.h"
#include "shell/ShownText.h"

namespace vexmoor::shell {

namespace {

QString ActionCaption(TRebuildAction action) {
  switch (action) {
    case TRebuildAction::Copy: return QStringLiteral("Copy");
    case TRebuildAction::Move: return QStringLiteral("Move");
    case TRebuildAction::HardLink: return QStringLiteral("Hard link");
    case TRebuildAction::SymbolicLink: return QStringLiteral("Symbolic link");
  }
  return {};
}

// The entries of the form box, in order.
enum TFormEntry { kLoose, kZipDeflated, kZipStored };

}  // namespace

TRebuildForm::TRebuildForm(QWidget* owner, const TRebuildOffer& offer, const QString& output)
    : QDialog(owner), offer_(offer) {
  setWindowTitle(QStringLiteral("Rebuild Set"));
  auto* layout = new QVBoxLayout(this);
  auto* found = new QLabel(Shown(RebuildOfferText(offer)), this);
  found->setObjectName(QStringLiteral("RebuildOffer"));
  found->setWordWrap(true);
  layout->addWidget(found);

  auto* fields = new QFormLayout();
  auto* folderRow = new QHBoxLayout();
  output_ = new QLineEdit(output, this);
  output_->setObjectName(QStringLiteral("RebuildOutput"));
  output_->setMinimumWidth(280);
  auto* browse = new QPushButton(QStringLiteral("&Browse..."), this);
  browse->setObjectName(QStringLiteral("RebuildBrowse"));
  folderRow->addWidget(output_, 1);
  folderRow->addWidget(browse);
  // A row of two widgets takes no buddy by itself: the label gets the box.
  auto* folderLabel = new QLabel(QStringLiteral("&Output folder:"), this);
  folderLabel->setBuddy(output_);
  fields->addRow(folderLabel, folderRow);

  action_ = new QComboBox(this);
  action_->setObjectName(QStringLiteral("RebuildAction"));
  for (const TRebuildAction action : offer.Actions) action_->addItem(ActionCaption(action), int(action));
  fields->addRow(QStringLiteral("&Action:"), action_);

  form_ = new QComboBox(this);
  form_->setObjectName(QStringLiteral("RebuildForm"));
  form_->addItems({QStringLiteral("Loose files"), QStringLiteral("One zip per release (deflated)"),
                   QStringLiteral("One zip per release (stored)")});
  fields->addRow(QStringLiteral("&Files:"), form_);

  subfolder_ = new QComboBox(this);
  subfolder_->setObjectName(QStringLiteral("RebuildSubfolder"));
  subfolder_->addItem(QStringLiteral("None"), int(TRebuildSubfolder::None));
  subfolder_->addItem(QStringLiteral("One per region"), int(TRebuildSubfolder::Region));
  subfolder_->addItem(QStringLiteral("One per first letter"), int(TRebuildSubfolder::FirstLetter));
  fields->addRow(QStringLiteral("&Subfolders:"), subfolder_);
  layout->addLayout(fields);

  pad_ = new QCheckBox(QStringLiteral("&Pad trimmed dumps to their full image"), this);
  pad_->setObjectName(QStringLiteral("RebuildPad"));
  layout->addWidget(pad_);

  problem_ = new QLabel(this);
  problem_->setObjectName(QStringLiteral("RebuildProblem"));
  problem_->setTextFormat(Qt::PlainText);
  layout->addWidget(problem_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setText(QStringLiteral("&Rebuild"));
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &TRebuildForm::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TRebuildForm::reject);
  connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
  connect(output_, &QLineEdit::textChanged, this, [this] { ChoiceChanged(); });
  connect(action_, &QComboBox::currentIndexChanged, this, [this] { ChoiceChanged(); });
  connect(form_, &QComboBox::currentIndexChanged, this, [this] { ChoiceChanged(); });
  connect(pad_, &QCheckBox::toggled, this, [this] { ChoiceChanged(); });
  ChoiceChanged();
}

TRebuildChoiceMade TRebuildForm::Choice() const {
  TRebuildChoiceMade choice;
  choice.Output = output_->text().trimmed();
  TRebuildOptions& options = choice.Options;
  options.Action = TRebuildAction(action_->currentData().toInt());
  // What a disabled box shows is no choice.
  options.Zip = form_->isEnabled() && form_->currentIndex() != kLoose;
  options.ZipStore = options.Zip && form_->currentIndex() == kZipStored;
  options.PadTrimmed = pad_->isEnabled() && pad_->isChecked();
  options.Subfolder = TRebuildSubfolder(subfolder_->currentData().toInt());
  return choice;
}

void TRebuildForm::accept() {
  const TRebuildChoiceMade choice = Choice();
  if (!RebuildChoiceProblem(FileBytes(choice.Output), choice.Options).empty()) return;
  QDialog::accept();
}

void TRebuildForm::Browse() {
  const QString folder = TDialogs::ChooseFolder(this, QStringLiteral("Select rebuild folder"), output_->text());
  if (!folder.isEmpty()) output_->setText(folder);
}

void TRebuildForm::ChoiceChanged() {
  const TRebuildAction action = TRebuildAction(action_->currentData().toInt());
  form_->setEnabled(ZipAllowed(action));
  pad_->setEnabled(offer_.Trimmed > 0 && PadAllowed(action));
  const TRebuildChoiceMade choice = Choice();
  const std::string problem = RebuildChoiceProblem(FileBytes(choice.Output), choice.Options);
  problem_->setText(QString::fromStdString(problem));
  problem_->setVisible(!problem.empty());
  ok_->setEnabled(problem.empty());
}

std::optional<TRebuildChoiceMade> AskRebuild(QWidget* owner, const TRebuildOffer& offer, const QString& output) {
  TRebuildForm form(owner, offer, output);
  if (!TDialogs::ExecForm(form)) return std::nullopt;
  return form.Choice();
}

}  // namespace vexmoor::shell
