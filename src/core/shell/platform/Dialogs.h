#pragma once

#include <QString>
#include <QStringList>

namespace quorvid {

// Every dialog the program shows goes through here, so that tests can answer them.
// File filters are given in the program's own form: description and pattern list
// pairs separated by "|", e.g. "Text Files (*.txt)|*.txt|All Files (*.*)|*.*|".
class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A plain message: the text, one OK button, no icon, the title "Quorvid".
    virtual void Message(const QString& text) = 0;
    // A message with the warning icon and one OK button under the given title.
    virtual void Warning(const QString& title, const QString& text) = 0;
    // Yes and No buttons, no icon, the title "Quorvid". True for Yes.
    virtual bool AskYesNo(const QString& text) = 0;
    // The answer, or the empty text when the user cancels.
    virtual QString InputBox(const QString& prompt, const QString& preset) = 0;
    // Full paths of the chosen files in the dialog's order; empty when cancelled.
    virtual QStringList OpenFiles(const QString& title, const QString& filter) = 0;
    // The chosen path, or the empty text when cancelled. Never asks about overwriting.
    virtual QString SaveFile(const QString& title, const QString& filter) = 0;
    // The chosen folder, or the empty text when cancelled.
    virtual QString PickFolder(const QString& title, const QString& startFolder) = 0;
};

inline constexpr auto kProductName = "Quorvid";

}  // namespace quorvid
