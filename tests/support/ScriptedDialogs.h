#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "core/shell/platform/Dialogs.h"

namespace quorvid::test {

// Where an error report says its step failed.
inline QString AtLine(int step) {
    return QStringLiteral("at line %1").arg(step);
}

// Dialogs answered from queues, with a record of everything shown. An empty
// queue answers No, the empty text or no files.
class ScriptedDialogs : public Dialogs {
  public:
    enum class Kind { Message, Warning, YesNo, Input, OpenFiles, SaveFile, PickFolder };
    struct Shown {
        Kind kind;
        QString title;
        QString text;
        QString extra;  // preset, filter or start folder
    };

    void Message(const QString& text) override;
    void Warning(const QString& title, const QString& text) override;
    bool AskYesNo(const QString& text) override;
    QString InputBox(const QString& prompt, const QString& preset) override;
    QStringList OpenFiles(const QString& title, const QString& filter) override;
    QString SaveFile(const QString& title, const QString& filter) override;
    QString PickFolder(const QString& title, const QString& startFolder) override;

    std::deque<bool> yesNoAnswers;
    std::deque<QString> inputAnswers;
    std::deque<QStringList> openAnswers;
    std::deque<QString> saveAnswers;
    std::deque<QString> folderAnswers;
    // Runs whenever a dialog is shown, after it is recorded.
    std::function<void(const Shown&)> onShow;

    std::vector<Shown> shown;

    // The texts of the error reports shown, in order.
    QStringList Warnings() const;
    // The texts of the plain messages shown, in order.
    QStringList Messages() const;

  private:
    void Record(Kind kind, const QString& title, const QString& text, const QString& extra = {});
};

}  // namespace quorvid::test
