#include "core/export/JsonRowReader.h"

#include <QSet>
#include <QStringDecoder>

#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/FileExtractor.h"
#include "core/results/ResultsTable.h"

namespace quorvid {

namespace {

// A line longer than this is no row of ours (a row holds a few kilobytes).
constexpr qint64 kLongestLine = 64 << 20;

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
    std::optional<char16_t> HexUnit() {
        if (at_ + 4 > line_.size()) {
            return std::nullopt;
        }
        bool number = false;
        const uint unit = line_.mid(at_, 4).toUInt(&number, 16);
        if (!number || line_[at_] == '+' || line_[at_] == '-') {
            return std::nullopt;
        }
        at_ += 4;
        return static_cast<char16_t>(unit);
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

// Our columns only: the catalogue's, in order and all of them, then details.
bool HasOurColumns(const JsonRow& row, QString& error) {
    const auto& catalogue = FieldCatalogue();
    for (size_t i = 0; i < catalogue.size(); ++i) {
        const QString expected = QString::fromLatin1(catalogue[i].header);
        if (i >= row.cells.size()) {
            error = QStringLiteral("the column \"%1\" is missing").arg(expected);
            return false;
        }
        if (row.cells[i].first != expected) {
            error = QStringLiteral("\"%1\" where the column \"%2\" belongs")
                        .arg(row.cells[i].first, expected);
            return false;
        }
    }
    if (row.path().isEmpty()) {
        error = QStringLiteral("the row names no file");
        return false;
    }
    QSet<QString> details;
    for (size_t i = catalogue.size(); i < row.cells.size(); ++i) {
        const QString& header = row.cells[i].first;
        if (!header.startsWith(QLatin1String(kDetailHeaderPrefix)) ||
            header.size() == qsizetype(qstrlen(kDetailHeaderPrefix))) {
            error = QStringLiteral("\"%1\" is no column of ours").arg(header);
            return false;
        }
        if (details.contains(header)) {
            error = QStringLiteral("the column \"%1\" twice").arg(header);
            return false;
        }
        details.insert(header);
    }
    return true;
}

}  // namespace

std::optional<JsonRow> ParseJsonRowLine(const QByteArray& line, QString& error) {
    std::optional<JsonRow> row = LineParser(line, error).Row();
    if (row && !HasOurColumns(*row, error)) {
        return std::nullopt;
    }
    return row;
}

std::optional<JsonRow> JsonRowReader::Next() {
    if (failed() || device_.atEnd()) {
        return std::nullopt;
    }
    lineOffset_ = device_.pos();
    ++lineNumber_;
    QByteArray line = device_.readLine(kLongestLine);
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
