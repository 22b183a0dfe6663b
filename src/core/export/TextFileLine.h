#pragma once

#include <QByteArray>
#include <QString>
#include <QStringEncoder>

namespace quorvid {

// One line of a text results file: the text in the system encoding (no
// byte-order mark), then CR LF.
QByteArray TextFileLine(QStringEncoder& encoder, const QString& text);

}  // namespace quorvid
