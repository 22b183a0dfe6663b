#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "core/extraction/FieldCatalogue.h"

namespace quorvid {

// How a parent names the extra columns on a helper's command line.
inline constexpr auto kFieldArgument = "--field";
inline constexpr auto kChecksumArgument = "--checksum";
inline constexpr auto kChecksumOnlyArgument = "--checksum-only";

// The checksum a run keeps of each file's bytes.
enum class ChecksumKind { None, Sha256, Md5, Sha1 };

// A field of the library beyond the catalogue: a parameter of the first
// stream of a kind, as the library's text gives it.
struct ExtraField {
    StreamKind kind = StreamKind::General;
    std::wstring parameter;

    // "Audio - Language", like the catalogue's headers.
    QString Header() const;
    bool operator==(const ExtraField&) const = default;
};

// The columns a run writes after the 53 catalogue columns and before the
// detail columns: each extra field, then the checksum. Cell 53 + i is field
// i, the cell after the last field the checksum.
struct ExtraColumns {
    std::vector<ExtraField> fields;
    ChecksumKind checksum = ChecksumKind::None;
    // Only the checksum is read of each file: no library, no file facts.
    bool checksumOnly = false;

    int Count() const {
        return static_cast<int>(fields.size()) + (checksum != ChecksumKind::None ? 1 : 0);
    }
    int FieldCell(int index) const { return kCatalogueColumnCount + index; }
    int ChecksumCell() const { return kCatalogueColumnCount + static_cast<int>(fields.size()); }
    // The headers of the columns, in order.
    QStringList Headers() const;

    // As the parent hands them to a helper on its command line, and back;
    // nothing for arguments no parent writes.
    QStringList ToArguments() const;
    static std::optional<ExtraColumns> FromArguments(const QStringList& arguments);

    bool operator==(const ExtraColumns&) const = default;
};

// The names of the command line and the headers.
std::optional<ChecksumKind> ChecksumNamed(const QString& name);  // sha256, md5, sha1
QString ChecksumHeader(ChecksumKind kind);                       // "SHA-256", "MD5", "SHA-1"
std::optional<ChecksumKind> ChecksumOfHeader(const QString& header);
// The hex digits of a checksum: 64, 32 or 40.
int ChecksumHexLength(ChecksumKind kind);
// Exactly the lowercase hex digits a checksum of that kind has.
bool IsChecksumText(ChecksumKind kind, const QString& text);

QString StreamKindName(StreamKind kind);
std::optional<StreamKind> StreamKindNamed(const QString& name);

// "KIND;PARAMETER" of --field; nothing, with why in error, for an unknown
// kind, an empty parameter or a ';' too many. The parameter is not checked
// against the library here (see UnknownParameters).
std::optional<ExtraField> ParseExtraField(const QString& text, QString& error);
// The field of a header such as "Audio - Language"; nothing for another header.
std::optional<ExtraField> ExtraFieldOfHeader(const QString& header);

// The fields whose parameter the library does not list for their kind, given
// the library's answer to its "Info_Parameters" option.
std::vector<ExtraField> UnknownParameters(const std::vector<ExtraField>& fields,
                                          const QString& infoParameters);

}  // namespace quorvid
