#include "window/SystemClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace quorvid {

bool SystemClipboard::Clear() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    return clipboard->text().isEmpty();
}

bool SystemClipboard::SetText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(text);
    return clipboard->text() == text;
}

QString SystemClipboard::Text() const {
    return QGuiApplication::clipboard()->text();
}

}  // namespace quorvid
