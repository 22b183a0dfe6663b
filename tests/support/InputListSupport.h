#pragma once

#include <QDir>
#include <QFile>
#include <QList>
#include <QMimeData>
#include <QStringList>
#include <QUrl>
#include <memory>

#include "core/shell/controls/ListViewModel.h"
#include "support/TestPlatform.h"

// What the tests of the input list's ways in share: its items, a dropped file
// list, and the sample files beside a test's program.
namespace quorvid::test {

inline QStringList Items(const ListViewModel& list) {
    QStringList items;
    for (int i = 1; i <= list.ItemCount(); ++i) {
        items << list.ItemText(i);
    }
    return items;
}

inline std::unique_ptr<QMimeData> FileList(const QStringList& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls << QUrl::fromLocalFile(path);
    }
    data->setUrls(urls);
    return data;
}

inline QString Snapshot(TestPlatform& test) {
    return test.settings->GetSetting(QStringLiteral("Snapshot"), QStringLiteral("(absent)"));
}

inline QString MakeSample(TestPlatform& test, const QString& name) {
    const QString path = test.folder.filePath(QStringLiteral("Samples/") + name);
    QDir().mkpath(test.folder.filePath(QStringLiteral("Samples")));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("sample");
    return path;
}

}  // namespace quorvid::test
