#include "core/pool/HelperDiagnostics.h"

#include "core/shell/texts/TerminalText.h"

namespace quorvid {

QStringList HelperDiagnostics::Add(const QByteArray& bytes) {
    if (dropped_) {
        return {};
    }
    received_ += bytes.size();
    pending_ += bytes;
    QStringList lines = TakeLines(false);
    if (received_ > kMaxBytes) {
        dropped_ = true;
        pending_.clear();
        lines << QStringLiteral("(further diagnostics of this helper dropped)");
    }
    return lines;
}

QStringList HelperDiagnostics::Finish() {
    return TakeLines(true);
}

QStringList HelperDiagnostics::TakeLines(bool all) {
    QStringList lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = pending_.indexOf('\n', start);
        if (end < 0 && !(all && start < pending_.size())) {
            break;
        }
        const qsizetype stop = end < 0 ? pending_.size() : end;
        QString line = TerminalText(QString::fromUtf8(pending_.constData() + start, stop - start));
        if (line.size() > kMaxLineCharacters) {
            line = line.left(kMaxLineCharacters) + QStringLiteral("...");
        }
        if (!line.trimmed().isEmpty()) {
            lines << line;
        }
        start = stop + 1;
    }
    pending_.remove(0, std::min(start, pending_.size()));
    return lines;
}

}  // namespace quorvid
