#include "core/shell/texts/TerminalText.h"

namespace quorvid {

QString TerminalText(const QString& text) {
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\t' || c == u'\n' || c == u'\r') {
            clean += u' ';
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text[i + 1]);
            if (QChar::category(code) != QChar::Other_Format) {
                clean += c;
                clean += text[i + 1];
            }
            ++i;
        } else if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format &&
                   !c.isSurrogate()) {
            clean += c;
        }
    }
    return clean;
}

}  // namespace quorvid
