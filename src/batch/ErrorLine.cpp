#include "batch/ErrorLine.h"

#include <cstdio>

#include "core/shell/texts/TerminalText.h"

namespace quorvid {

void WriteErrorLine(const QString& text) {
    const QByteArray line = "quorvid-batch: " + TerminalText(text).toLocal8Bit() + "\n";
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
}

}  // namespace quorvid
