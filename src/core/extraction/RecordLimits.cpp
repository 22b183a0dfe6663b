#include "core/extraction/RecordLimits.h"

namespace quorvid::limits {

bool IsSteeringCharacter(QChar c) {
    const char16_t code = c.unicode();
    if (code == u'\t' || code == u'\n' || code == u'\r') {
        return false;
    }
    return code < 0x20 || (code >= 0x7f && code <= 0x9f) || (code >= 0x202a && code <= 0x202e) ||
           (code >= 0x2066 && code <= 0x2069);
}

std::optional<QString> DoubtOfText(const QString& text, const QString& path) {
    if (text.size() > kMaxTextCharacters) {
        return QStringLiteral("a text of more than %1 characters").arg(kMaxTextCharacters);
    }
    // What the path holds, the path's own cells hold as well.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate() && !path.contains(c)) {
            return QStringLiteral("a text that is not valid Unicode");
        } else if (IsSteeringCharacter(c) && !path.contains(c)) {
            return QStringLiteral("a text with control characters");
        }
    }
    return std::nullopt;
}

}  // namespace quorvid::limits
