// The clean upgrade: after the user agrees, the auditor's settings key and
// the dats installed in its folder are deleted, and the auditor can be
// started again with "-upgrade" to fetch fresh dats.
//
//   TPurgeQuestions::Script({true, false});  // tests: the answers, in order
//   RunPurge(settings, QDir::currentPath());
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <vector>

namespace vexmoor::purge {

class TPurgeSettings;

inline constexpr char kConfirmText[] = "Are you sure you want to prepare for a clean upgrade?";
inline constexpr char kLoadText[] = "Cleaning has been performed, do you wish to load Vexmoor?";
inline constexpr char kQuestionCaption[] = "Confirmation";
// Said under the first question: a self-hosted update service and its key
// survive the clean upgrade, so the fresh start can fetch its dats.
inline constexpr char kKeptText[] =
    "The update service settings (UpdateURL and UpdatePublicKey) are kept.";

// The first question: kConfirmText, an empty line, kKeptText.
QString ConfirmQuestion();

// The settings values the purge keeps.
QStringList KeptSettings();

// The two questions: a message box without owner, caption "Confirmation",
// Yes and No, the question icon. While scripted, no box is shown and each
// question takes the next answer (No when none is left).
class TPurgeQuestions {
 public:
  // True for Yes. `defaultButton` is the button Enter chooses.
  static bool Ask(const QString& text, QMessageBox::StandardButton defaultButton);
  // A notice with OK only (the warning icon); scripted, it is noted in Asked.
  static void Tell(const QString& text);
  static void Script(std::vector<bool> answers);
  // The texts asked while scripted, in order.
  static QStringList Asked();
};

// The folder the purge works in: "" (the current folder) when `currentFolder`
// holds the auditor's program file; else the value ProgramDir, or InstallDir
// when ProgramDir is only blanks, as stored and ending in a folder separator;
// "" when both are blank. Blanks only decide emptiness.
QString PurgeFolder(const QString& currentFolder, const TPurgeSettings& settings);

// The auditor's program file to start for `folder`: the one in that folder,
// else the one beside moorpurge, else the one on the PATH, else its bare name.
QString AuditorProgram(const QString& folder);

// The auditor's program file in `folder` when a running process executes
// it ("process 1234"), else "". Only where the system lists processes'
// executables (/proc); elsewhere always "".
QString RunningAuditor(const QString& folder);

// What a run did, for tests and for the exit code.
struct TPurgeResult {
  bool Confirmed = false;
  QString Folder;            // the folder the dats were deleted in
  QStringList Deleted;       // the file names deleted
  bool Started = false;      // the auditor was started with "-upgrade"
  QStringList Failures;      // what could not be deleted, one message each
};

// The whole run in its order: pick the folder; refuse with a notice (and a
// Failure) while the auditor runs from it, since it would write its
// settings back at its close; ask; delete the key's values except
// KeptSettings; delete every regular file matching "*.qdat" in the folder
// (folders and other files untouched); ask whether to load the auditor, and on Yes start it
// detached with "-upgrade" in that folder. A folder named in the settings
// that does not exist has nothing deleted in it: the purge never falls back
// to another folder's dats. A key or a dat that cannot be deleted does not
// stop the rest; each is named in Failures.
TPurgeResult RunPurge(TPurgeSettings& settings, const QString& currentFolder);

}  // namespace vexmoor::purge
