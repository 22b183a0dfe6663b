#pragma once

#include <QString>

namespace quorvid {

// A text from elsewhere (a path, a helper's words, a catalogue's) as it may go
// to a terminal: one line, without what steers a terminal or reorders text (C0
// and C1 controls, bidirectional embeddings, overrides and isolates, the other
// format characters) and without halves of characters. Tabs and line breaks
// become blanks. Everything the programs print of such texts goes through it.
QString TerminalText(const QString& text);

}  // namespace quorvid
