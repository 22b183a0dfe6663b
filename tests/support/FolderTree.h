#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <filesystem>

#include "support/Unprivileged.h"

namespace quorvid::test {

// A folder tree in a temporary folder, addressed by paths relative to its root.
class FolderTree {
  public:
    FolderTree() { chmod(QFile::encodeName(root()).constData(), 0755); }
    // Byte names that are not text are beyond QTemporaryDir's own clean-up.
    ~FolderTree() {
        std::error_code ignored;
        std::filesystem::remove_all(QFile::encodeName(root()).constData(), ignored);
    }

    QString root() const { return dir_.path(); }
    QString path(const QString& relative) const { return root() + QLatin1Char('/') + relative; }

    QString folder(const QString& relative) {
        QDir().mkpath(path(relative));
        return path(relative);
    }
    QString file(const QString& relative, const QByteArray& content = "x") {
        const QString full = path(relative);
        QDir().mkpath(full.left(full.lastIndexOf(QLatin1Char('/'))));
        QFile out(full);
        out.open(QIODevice::WriteOnly);
        out.write(content);
        return full;
    }
    void link(const QString& relative, const QString& target) {
        QFile::link(target, path(relative));
    }
    // Names given as raw bytes, for names that are not valid text.
    QByteArray native(const QByteArray& relative) const {
        return QFile::encodeName(root()) + '/' + relative;
    }

  private:
    QTemporaryDir dir_;
};

// Paths of the list relative to a root, for readable comparisons.
inline QStringList Relative(const QStringList& paths, const QString& root) {
    QStringList result;
    for (const QString& path : paths) {
        result << (path.startsWith(root + QLatin1Char('/')) ? path.mid(root.size() + 1) : path);
    }
    return result;
}

}  // namespace quorvid::test
