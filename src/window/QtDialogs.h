#pragma once

#include <QPointer>
#include <QWidget>

#include "core/shell/platform/Dialogs.h"

namespace quorvid {

// The program's dialogs: Qt's message boxes, input box and file dialogs.
class QtDialogs : public Dialogs {
  public:
    // Dialogs open modal to this window.
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void Message(const QString& text) override;
    void Warning(const QString& title, const QString& text) override;
    bool AskYesNo(const QString& text) override;
    QString InputBox(const QString& prompt, const QString& preset) override;
    QStringList OpenFiles(const QString& title, const QString& filter) override;
    QString SaveFile(const QString& title, const QString& filter) override;
    QString PickFolder(const QString& title, const QString& startFolder) override;

  private:
    QPointer<QWidget> owner_;
};

// Turns "Desc (*.a;*.b)|*.a;*.b|All Files (*.*)|*.*|" into Qt's filter list.
QString QtFileDialogFilter(const QString& filter);

}  // namespace quorvid
