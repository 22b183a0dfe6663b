#include "core/export/JsonRowReader.h"

#include <QSet>
#include <QStringDecoder>

#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/FileExtractor.h"
#include "core/extraction/GioShell.h"
#include "core/extraction/RecordLimits.h"
#include "core/results/ResultsTable.h"

namespace quorvid {

namespace {

// A line longer than this is no row of ours: a row's texts are bounded
// (RecordLimits.h), and each character is at most six bytes written out.
constexpr qint64 kLongestLine = 6 * limits::kMaxRecordCharacters + 64 * 1024;
// Lines are read in pieces, so that memory follows the line, not the limit.
constexpr qint64 kLinePiece = 64 * 1024;

// The value of a hexadecimal digit; nothing for any other character.
std::optional<int> HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return std::nullopt;
}

// A text of the file quoted in a reason, cut short: the file may be hostile.
QString Quoted(const QString& text) {
    constexpr qsizetype kShown = 80;
    return QLatin1Char('"') +
           (text.size() > kShown ? text.left(kShown) + QStringLiteral("...") : text) +
           QLatin1Char('"');
}

class LineParser {
  public:
    LineParser(const QByteArray& line, QString& error) : line_(line), error_(error) {}

    std::optional<JsonRow> Row() {
        JsonRow row;
        SkipBlanks();
        if (!Take('{')) {
            return Refuse(QStringLiteral("not a JSON object"));
        }
        SkipBlanks();
        if (!Take('}')) {
            do {
                SkipBlanks();
                std::optional<QString> key = String();
                if (!key) {
                    return std::nullopt;
                }
                SkipBlanks();
                if (!Take(':')) {
                    return Refuse(QStringLiteral("':' expected after a key"));
                }
                SkipBlanks();
                std::optional<QString> value = String();
                if (!value) {
                    return std::nullopt;
                }
                row.cells.emplace_back(std::move(*key), std::move(*value));
                SkipBlanks();
            } while (Take(','));
            if (!Take('}')) {
                return Refuse(QStringLiteral("',' or '}' expected"));
            }
        }
        SkipBlanks();
        if (at_ != line_.size()) {
            return Refuse(QStringLiteral("text after the object"));
        }
        return row;
    }

  private:
    std::nullopt_t Refuse(const QString& reason) {
        error_ = reason;
        return std::nullopt;
    }
    // The same, for the steps that answer whether they succeeded.
    bool Fail(const QString& reason) {
        error_ = reason;
        return false;
    }
    bool Take(char character) {
        if (at_ < line_.size() && line_[at_] == character) {
            ++at_;
            return true;
        }
        return false;
    }
    void SkipBlanks() {
        while (at_ < line_.size() &&
               (line_[at_] == ' ' || line_[at_] == '\t' || line_[at_] == '\r')) {
            ++at_;
        }
    }
    // Exactly four hexadecimal digits, as JSON has them.
    std::optional<char16_t> HexUnit() {
        if (at_ + 4 > line_.size()) {
            return std::nullopt;
        }
        char16_t unit = 0;
        for (int i = 0; i < 4; ++i) {
            const std::optional<int> digit = HexDigit(line_[at_ + i]);
            if (!digit) {
                return std::nullopt;
            }
            unit = static_cast<char16_t>(unit * 16 + *digit);
        }
        at_ += 4;
        return unit;
    }

    // A string value; only strings are cells.
    std::optional<QString> String() {
        if (!Take('"')) {
            return Refuse(QStringLiteral("a string expected"));
        }
        QString text;
        // The bytes since the last escape, decoded as one.
        qsizetype runStart = at_;
        while (true) {
            if (at_ >= line_.size()) {
                return Refuse(QStringLiteral("a string does not end"));
            }
            const auto byte = static_cast<unsigned char>(line_[at_]);
            if (byte == '"') {
                if (!AppendRun(text, runStart)) {
                    return Refuse(QStringLiteral("not UTF-8"));
                }
                ++at_;
                return text;
            }
            if (byte < 0x20) {
                return Refuse(QStringLiteral("a control character in a string"));
            }
            if (byte != '\\') {
                ++at_;
                continue;
            }
            if (!AppendRun(text, runStart)) {
                return Refuse(QStringLiteral("not UTF-8"));
            }
            ++at_;
            if (!AppendEscape(text)) {
                return std::nullopt;
            }
            runStart = at_;
        }
    }

    // Appends the bytes from runStart to here; false if they are not UTF-8.
    bool AppendRun(QString& text, qsizetype runStart) const {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text += utf8(QByteArrayView(line_).sliced(runStart, at_ - runStart));
        return !utf8.hasError();
    }

    // Appends what the escape after a backslash stands for.
    bool AppendEscape(QString& text) {
        if (at_ >= line_.size()) {
            return Fail(QStringLiteral("a string does not end"));
        }
        const char escaped = line_[at_++];
        switch (escaped) {
            case '"':
            case '\\':
            case '/':
                text += QChar(escaped);
                return true;
            case 'b':
                text += u'\b';
                return true;
            case 'f':
                text += u'\f';
                return true;
            case 'n':
                text += u'\n';
                return true;
            case 'r':
                text += u'\r';
                return true;
            case 't':
                text += u'\t';
                return true;
            case 'u':
                return AppendUnicodeEscape(text);
            default:
                return Fail(QStringLiteral("a bad escape"));
        }
    }

    // Appends the character of a \uXXXX escape: a high surrogate only with the
    // escape of its low one right after it.
    bool AppendUnicodeEscape(QString& text) {
        const std::optional<char16_t> unit = HexUnit();
        if (!unit) {
            return Fail(QStringLiteral("a bad \\u escape"));
        }
        if (QChar::isHighSurrogate(*unit)) {
            std::optional<char16_t> low;
            if (Take('\\') && Take('u')) {
                low = HexUnit();
            }
            if (!low || !QChar::isLowSurrogate(*low)) {
                return Fail(QStringLiteral("a lone surrogate in a \\u escape"));
            }
            text += QChar(*unit);
            text += QChar(*low);
        } else if (QChar::isLowSurrogate(*unit)) {
            return Fail(QStringLiteral("a lone surrogate in a \\u escape"));
        } else {
            text += QChar(*unit);
        }
        return true;
    }

    const QByteArray& line_;
    QString& error_;
    qsizetype at_ = 0;
};

// Our columns only: the catalogue's, in order and all of them.
bool HasCatalogueColumns(const JsonRow& row, QString& error) {
    const auto& catalogue = FieldCatalogue();
    for (size_t i = 0; i < catalogue.size(); ++i) {
        const QString expected = QString::fromLatin1(catalogue[i].header);
        if (i >= row.cells.size()) {
            error = QStringLiteral("the column \"%1\" is missing").arg(expected);
            return false;
        }
        if (row.cells[i].first != expected) {
            error = QStringLiteral("%1 where the column \"%2\" belongs")
                        .arg(Quoted(row.cells[i].first), expected);
            return false;
        }
    }
    if (row.path().isEmpty()) {
        error = QStringLiteral("the row names no file");
        return false;
    }
    return true;
}

// Then the extra columns, each once: library fields with any text, then a
// checksum of exactly its digits, or empty where the file had none. The row
// learns where they end.
bool HasExtraColumns(JsonRow& row, QString& error) {
    QSet<QString> fields;
    size_t i = kCatalogueColumnCount;
    for (; i < row.cells.size() && ExtraFieldOfHeader(row.cells[i].first); ++i) {
        const QString& header = row.cells[i].first;
        if (fields.contains(header)) {
            error = QStringLiteral("the column %1 twice").arg(Quoted(header));
            return false;
        }
        fields.insert(header);
    }
    if (i < row.cells.size()) {
        const auto& [header, text] = row.cells[i];
        if (const std::optional<ChecksumKind> kind = ChecksumOfHeader(header)) {
            if (!text.isEmpty() && !IsChecksumText(*kind, text)) {
                error = QStringLiteral("%1 under %2 is not %3 lowercase hex digits")
                            .arg(Quoted(text), Quoted(header))
                            .arg(ChecksumHexLength(*kind));
                return false;
            }
            ++i;
        }
    }
    row.extraEnd = i;
    return true;
}

// Then the desktop's detail columns that hold a value, each once, as a run
// writes them.
bool HasDetailColumns(const JsonRow& row, QString& error) {
    QSet<QString> details;
    for (size_t i = row.extraEnd; i < row.cells.size(); ++i) {
        const auto& [header, text] = row.cells[i];
        if (!IsGioDetailColumn(header)) {
            error = QStringLiteral("%1 is no column of ours").arg(Quoted(header));
            return false;
        }
        if (details.contains(header)) {
            error = QStringLiteral("the column %1 twice").arg(Quoted(header));
            return false;
        }
        if (text.isEmpty()) {
            error = QStringLiteral("the column %1 without a value").arg(Quoted(header));
            return false;
        }
        details.insert(header);
    }
    return true;
}

// Texts as a real extraction of the row's file gives them.
bool HasRecordTexts(const JsonRow& row, QString& error) {
    qsizetype characters = 0;
    for (const auto& [header, text] : row.cells) {
        characters += text.size();
        std::optional<QString> doubt = limits::DoubtOfText(text, row.path());
        if (!doubt && characters > limits::kMaxRecordCharacters) {
            doubt =
                QStringLiteral("more than %1 characters of text").arg(limits::kMaxRecordCharacters);
        }
        if (doubt) {
            error = QStringLiteral("%1 under %2").arg(*doubt, Quoted(header));
            return false;
        }
    }
    return true;
}

// A line of the device up to its LF, read in pieces; the LF is kept. Past the
// limit, what was read so far.
QByteArray ReadLine(QIODevice& device, qint64 limit) {
    QByteArray line;
    while (!line.endsWith('\n') && line.size() < limit && !device.atEnd()) {
        const QByteArray piece = device.readLine(std::min(kLinePiece, limit - line.size()) + 1);
        if (piece.isEmpty()) {
            break;
        }
        line += piece;
    }
    return line;
}

}  // namespace

std::optional<JsonRow> ParseJsonRowLine(const QByteArray& line, QString& error) {
    std::optional<JsonRow> row = LineParser(line, error).Row();
    if (row && !(HasCatalogueColumns(*row, error) && HasExtraColumns(*row, error) &&
                 HasDetailColumns(*row, error) && HasRecordTexts(*row, error))) {
        return std::nullopt;
    }
    return row;
}

QStringList JsonRow::ExtraHeaders() const {
    QStringList headers;
    for (size_t i = kCatalogueColumnCount; i < extraEnd && i < cells.size(); ++i) {
        headers << cells[i].first;
    }
    return headers;
}

std::pair<ChecksumKind, QString> JsonRow::Checksum() const {
    if (extraEnd > kCatalogueColumnCount && extraEnd <= cells.size()) {
        const auto& [header, text] = cells[extraEnd - 1];
        if (const std::optional<ChecksumKind> kind = ChecksumOfHeader(header)) {
            return {*kind, text};
        }
    }
    return {ChecksumKind::None, {}};
}

std::optional<JsonRow> JsonRowReader::Next() {
    if (failed() || device_.atEnd()) {
        return std::nullopt;
    }
    lineOffset_ = device_.pos();
    ++lineNumber_;
    QByteArray line = ReadLine(device_, kLongestLine);
    QString reason;
    std::optional<JsonRow> row;
    if (line.isEmpty() && !device_.atEnd()) {
        reason = device_.errorString();
    } else if (!line.endsWith('\n')) {
        reason = line.size() >= kLongestLine - 1 ? QStringLiteral("the line is too long")
                                                 : QStringLiteral("the line is cut off");
    } else {
        line.chop(1);
        row = ParseJsonRowLine(line, reason);
    }
    // One run wrote them all: rows of other columns would not share a table.
    if (row && extraHeaders_ && row->ExtraHeaders() != *extraHeaders_) {
        row.reset();
        reason = QStringLiteral("other --field or --hash columns than the lines before it");
    } else if (row) {
        extraHeaders_ = row->ExtraHeaders();
    }
    if (!row) {
        error_ = QStringLiteral("line %1: %2").arg(lineNumber_).arg(reason);
    }
    return row;
}

void WriteJsonRow(ResultsTable& table, const JsonRow& row) {
    const int index = table.AddRow(row.path());
    for (int position = 2; position <= kCatalogueColumnCount; ++position) {
        table.SetCell(index, position - 1, row.CatalogueCell(position));
    }
    for (size_t i = kCatalogueColumnCount; i < row.cells.size(); ++i) {
        const auto& [header, text] = row.cells[i];
        int position = table.FindColumnByHeader(header);
        if (position == -1) {
            position = table.AppendColumn(header);
        }
        table.SetCell(index, position - 1, text);
    }
}

}  // namespace quorvid
