#pragma once

#include <QChar>
#include <QString>
#include <optional>

// What the texts of a real extraction of one file are, so that a record from a
// reader that may be taken over, or a row from a catalogue that may be forged,
// is believed only within them.
namespace quorvid::limits {

// The longest text a real file gives: an extended attribute's value.
inline constexpr qsizetype kMaxTextCharacters = 64 * 1024;
// A failure's description: a sentence that names a path or two at their
// longest (4096 bytes each).
inline constexpr qsizetype kMaxFailureCharacters = 2 * 4096 + 512;
// All texts of one file together: four extended attributes at their longest,
// beyond any real file; it bounds what one file costs the program.
inline constexpr qsizetype kMaxRecordCharacters = 256 * 1024;

// True for the characters that steer a terminal or reorder text: C0 and C1
// controls but tab and line breaks, and the bidirectional embeddings,
// overrides and isolates.
bool IsSteeringCharacter(QChar c);

// What is wrong with a text of the file at path, said as what was sent;
// nothing for a text a real extraction gives: within kMaxTextCharacters, valid
// UTF-16 and without steering characters, unless the path itself has them.
std::optional<QString> DoubtOfText(const QString& text, const QString& path);

}  // namespace quorvid::limits
