#include "app/QtDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace quorvid {

namespace {

QString Title() {
    return QString::fromLatin1(kProductName);
}

// The program's texts break lines with CR or CR LF; Qt's labels break only at LF.
QString ShownText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

int ShowBox(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text,
            QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, ShownText(text), buttons, owner);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec();
}

}  // namespace

QString QtFileDialogFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QString patterns = parts[i + 1];
        if (description.isEmpty() && patterns.isEmpty()) {
            continue;
        }
        // Qt reads the patterns from the last parentheses, separated by blanks;
        // "*.*" must also match names without a dot.
        QString shown = description;
        shown.remove(trailingPatterns);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        patterns.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        filters << shown + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

void QtDialogs::Message(const QString& text) {
    ShowBox(owner_, QMessageBox::NoIcon, Title(), text, QMessageBox::Ok);
}

void QtDialogs::Warning(const QString& title, const QString& text) {
    ShowBox(owner_, QMessageBox::Warning, title, text, QMessageBox::Ok);
}

bool QtDialogs::AskYesNo(const QString& text) {
    return ShowBox(owner_, QMessageBox::NoIcon, Title(), text,
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString QtDialogs::InputBox(const QString& prompt, const QString& preset) {
    bool accepted = false;
    const QString answer = QInputDialog::getText(owner_, Title(), ShownText(prompt),
                                                 QLineEdit::Normal, preset, &accepted);
    return accepted ? answer : QString();
}

QStringList QtDialogs::OpenFiles(const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileNames(owner_, title, QString(), QtFileDialogFilter(filter));
}

QString QtDialogs::SaveFile(const QString& title, const QString& filter) {
    return QFileDialog::getSaveFileName(owner_, title, QString(), QtFileDialogFilter(filter),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

QString QtDialogs::PickFolder(const QString& title, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(owner_, title, startFolder);
}

}  // namespace quorvid
