#include "extractor/WarmUpClips.h"

#include <QDir>
#include <QFile>

// The resource lives in a static library: it is registered by hand, and its
// registration function is declared outside any namespace.
static void RegisterWarmUpClips() {
    Q_INIT_RESOURCE(warm_up);
}

namespace quorvid {

std::vector<std::pair<QString, QByteArray>> WarmUpClips() {
    RegisterWarmUpClips();
    std::vector<std::pair<QString, QByteArray>> clips;
    const QDir folder(QStringLiteral(":/warm-up"));
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile clip(folder.filePath(name));
        if (clip.open(QIODevice::ReadOnly)) {
            clips.emplace_back(name, clip.readAll());
        }
    }
    return clips;
}

}  // namespace quorvid
