#pragma once

#include <QByteArray>
#include <QString>
#include <utility>
#include <vector>

namespace quorvid {

// The program's own small clips, one per common container, built into the
// helper (resources/warm-up/, made by the media script). The helper reads them
// before its readers fork, so that no reader builds the library's tables of a
// format again: on this kind of machine a reader pays for every page it writes.
// Each clip with its file name.
std::vector<std::pair<QString, QByteArray>> WarmUpClips();

}  // namespace quorvid
