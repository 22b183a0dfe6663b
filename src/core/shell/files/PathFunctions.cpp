#include "core/shell/files/PathFunctions.h"

#include <QDir>

namespace quorvid {

namespace {

QChar Separator() {
    return QDir::separator();
}

// One left-to-right pass that does not look again at what it wrote.
QString CollapsePairs(const QString& text) {
    QString result;
    result.reserve(text.size());
    const QChar separator = Separator();
    for (qsizetype i = 0; i < text.size(); ++i) {
        result += text[i];
        if (text[i] == separator && i + 1 < text.size() && text[i + 1] == separator) {
            ++i;
        }
    }
    return result;
}

}  // namespace

QString RemoveDoubleBackslashes(const QString& path) {
    const QChar separator = Separator();
    if (!path.startsWith(separator)) {
        return CollapsePairs(path);
    }
    qsizetype rest = 1;
    while (rest < path.size() && path[rest] == separator) {
        ++rest;
    }
    return separator + CollapsePairs(path.mid(rest));
}

QString FileNameFromPath(const QString& path) {
    return path.mid(path.lastIndexOf(Separator()) + 1);
}

QString FolderFromPath(const QString& path) {
    const qsizetype last = path.lastIndexOf(Separator());
    return last < 0 ? QString() : path.left(last + 1);
}

}  // namespace quorvid
