#include "core/export/TextFileLine.h"

namespace quorvid {

QByteArray TextFileLine(QStringEncoder& encoder, const QString& text) {
    QByteArray bytes = encoder.encode(text);
    bytes.append("\r\n", 2);
    return bytes;
}

}  // namespace quorvid
