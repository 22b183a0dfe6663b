#pragma once

#include <QString>

namespace quorvid {

// One line on standard error, after the program's name: paths, failure texts,
// a helper's or a catalogue's words alike, cleaned for the terminal.
void WriteErrorLine(const QString& text);

}  // namespace quorvid
