#include "window/QtDialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <vector>

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

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Enter:
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
    }
}

// Keeps the user's input from every window but the newest open box, as a modal
// box would. Unlike a modal box it lets the main window's close through, and
// closing the main window ends the program at once, even while a box is up.
class BoxInputGuard : public QObject {
  public:
    explicit BoxInputGuard(QWidget* box) : box_(box) {
        openBoxes().push_back(box);
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~BoxInputGuard() override { std::erase(openBoxes(), box_); }
    BoxInputGuard(const BoxInputGuard&) = delete;
    BoxInputGuard& operator=(const BoxInputGuard&) = delete;

  protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(receiver);
        if (widget == nullptr || !IsUserInput(event->type())) {
            return false;
        }
        QWidget* box = openBoxes().back();
        if (widget->window() == box) {
            return false;
        }
        // Keys typed while another window still has the focus (no window
        // manager moved it) answer the box, as they would a modal one.
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            QCoreApplication::sendEvent(box->focusWidget() ? box->focusWidget() : box, event);
        }
        return true;
    }

  private:
    static std::vector<QWidget*>& openBoxes() {
        static std::vector<QWidget*> boxes;
        return boxes;
    }
    QWidget* box_;
};

QMessageBox::StandardButton ShowBox(QWidget* owner, QMessageBox::Icon icon, const QString& title,
                                    const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, ShownText(text), buttons, owner);
    // Paths and failure texts are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::NonModal);
    const BoxInputGuard guard(&box);
    QEventLoop loop;
    QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    box.show();
    box.raise();
    box.activateWindow();
    loop.exec(QEventLoop::DialogExec);
    return box.standardButton(box.clickedButton());
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
