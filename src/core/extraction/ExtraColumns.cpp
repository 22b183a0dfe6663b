#include "core/extraction/ExtraColumns.h"

#include <QSet>
#include <algorithm>
#include <array>
#include <utility>

namespace quorvid {

namespace {

struct ChecksumName {
    ChecksumKind kind;
    const char* name;
    const char* header;
    int hexLength;
};

constexpr std::array<ChecksumName, 3> kChecksumNames{{
    {ChecksumKind::Sha256, "sha256", "SHA-256", 64},
    {ChecksumKind::Md5, "md5", "MD5", 32},
    {ChecksumKind::Sha1, "sha1", "SHA-1", 40},
}};

constexpr std::array<const char*, 7> kStreamKindNames{"General", "Video", "Audio", "Text",
                                                      "Other",   "Image", "Menu"};

const ChecksumName* EntryOf(ChecksumKind kind) {
    for (const ChecksumName& entry : kChecksumNames) {
        if (entry.kind == kind) {
            return &entry;
        }
    }
    return nullptr;
}

QString FieldText(const ExtraField& field) {
    return StreamKindName(field.kind) + u';' + QString::fromStdWString(field.parameter);
}

}  // namespace

QString ExtraField::Header() const {
    return StreamKindName(kind) + QStringLiteral(" - ") + QString::fromStdWString(parameter);
}

QStringList ExtraColumns::Headers() const {
    QStringList headers;
    for (const ExtraField& field : fields) {
        headers << field.Header();
    }
    if (checksum != ChecksumKind::None) {
        headers << ChecksumHeader(checksum);
    }
    return headers;
}

QStringList ExtraColumns::ToArguments() const {
    QStringList arguments;
    for (const ExtraField& field : fields) {
        arguments << QString::fromLatin1(kFieldArgument) << FieldText(field);
    }
    if (const ChecksumName* entry = EntryOf(checksum)) {
        arguments << QString::fromLatin1(kChecksumArgument) << QString::fromLatin1(entry->name);
    }
    if (checksumOnly) {
        arguments << QString::fromLatin1(kChecksumOnlyArgument);
    }
    return arguments;
}

std::optional<ExtraColumns> ExtraColumns::FromArguments(const QStringList& arguments) {
    ExtraColumns columns;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (name == QLatin1String(kChecksumOnlyArgument)) {
            columns.checksumOnly = true;
            continue;
        }
        const bool field = name == QLatin1String(kFieldArgument);
        if (!field && name != QLatin1String(kChecksumArgument)) {
            continue;  // another option of the helper's
        }
        if (i + 1 >= arguments.size()) {
            return std::nullopt;
        }
        QString error;
        const QString& value = arguments[++i];
        if (field) {
            std::optional<ExtraField> parsed = ParseExtraField(value, error);
            if (!parsed) {
                return std::nullopt;
            }
            columns.fields.push_back(std::move(*parsed));
        } else if (const auto kind = ChecksumNamed(value)) {
            columns.checksum = *kind;
        } else {
            return std::nullopt;
        }
    }
    return columns;
}

std::optional<ChecksumKind> ChecksumNamed(const QString& name) {
    for (const ChecksumName& entry : kChecksumNames) {
        if (name == QLatin1String(entry.name)) {
            return entry.kind;
        }
    }
    return std::nullopt;
}

QString ChecksumHeader(ChecksumKind kind) {
    const ChecksumName* entry = EntryOf(kind);
    return entry != nullptr ? QString::fromLatin1(entry->header) : QString();
}

std::optional<ChecksumKind> ChecksumOfHeader(const QString& header) {
    for (const ChecksumName& entry : kChecksumNames) {
        if (header == QLatin1String(entry.header)) {
            return entry.kind;
        }
    }
    return std::nullopt;
}

int ChecksumHexLength(ChecksumKind kind) {
    const ChecksumName* entry = EntryOf(kind);
    return entry != nullptr ? entry->hexLength : 0;
}

bool IsChecksumText(ChecksumKind kind, const QString& text) {
    if (text.size() != ChecksumHexLength(kind) || text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
        if (!hex) {
            return false;
        }
    }
    return true;
}

QString StreamKindName(StreamKind kind) {
    return QString::fromLatin1(kStreamKindNames.at(static_cast<size_t>(kind)));
}

std::optional<StreamKind> StreamKindNamed(const QString& name) {
    for (size_t i = 0; i < kStreamKindNames.size(); ++i) {
        if (name == QLatin1String(kStreamKindNames[i])) {
            return static_cast<StreamKind>(i);
        }
    }
    return std::nullopt;
}

std::optional<ExtraField> ParseExtraField(const QString& text, QString& error) {
    const QStringList parts = text.split(u';');
    if (parts.size() != 2) {
        error = parts.size() < 2 ? QStringLiteral("the field '%1' is not KIND;PARAMETER").arg(text)
                                 : QStringLiteral("the field '%1' has a ';' too many").arg(text);
        return std::nullopt;
    }
    const std::optional<StreamKind> kind = StreamKindNamed(parts[0]);
    if (!kind) {
        error = QStringLiteral(
                    "the field '%1' names no kind of stream (General, Video, Audio, "
                    "Text, Other, Image or Menu)")
                    .arg(text);
        return std::nullopt;
    }
    const QString& parameter = parts[1];
    // Parameters are words of the library's list: nothing that could steer a
    // terminal or split a header.
    const bool plain =
        !parameter.isEmpty() && std::all_of(parameter.begin(), parameter.end(), [](QChar c) {
            return c.unicode() > 0x20 && c.unicode() < 0x7f;
        });
    if (!plain) {
        error = parameter.isEmpty()
                    ? QStringLiteral("the field '%1' names no parameter").arg(text)
                    : QStringLiteral("the field '%1' has a parameter the library does not know")
                          .arg(text);
        return std::nullopt;
    }
    ExtraField field{*kind, parameter.toStdWString()};
    // Its column is found by its header: one of the catalogue's would take it.
    for (const CatalogueField& catalogueField : FieldCatalogue()) {
        if (field.Header() == QLatin1String(catalogueField.header)) {
            error = QStringLiteral("the field '%1' is the catalogue's column \"%2\" already")
                        .arg(text, field.Header());
            return std::nullopt;
        }
    }
    return field;
}

std::optional<ExtraField> ExtraFieldOfHeader(const QString& header) {
    const qsizetype dash = header.indexOf(QLatin1String(" - "));
    if (dash < 0) {
        return std::nullopt;
    }
    QString error;
    std::optional<ExtraField> field =
        ParseExtraField(header.left(dash) + u';' + header.mid(dash + 3), error);
    if (field && field->Header() != header) {
        return std::nullopt;
    }
    return field;
}

std::vector<ExtraField> UnknownParameters(const std::vector<ExtraField>& fields,
                                          const QString& infoParameters) {
    // A section per kind: its name alone on a line, then a parameter a line,
    // its description after a colon.
    QSet<QString> known;
    QString section;
    for (const QString& line : infoParameters.split(u'\n')) {
        const QString name = line.section(u':', 0, 0).trimmed();
        if (!line.contains(u':') && StreamKindNamed(name)) {
            section = name;
        } else if (!section.isEmpty() && !name.isEmpty()) {
            known.insert(section + u';' + name);
        }
    }
    std::vector<ExtraField> unknown;
    for (const ExtraField& field : fields) {
        if (!known.contains(FieldText(field))) {
            unknown.push_back(field);
        }
    }
    return unknown;
}

}  // namespace quorvid
