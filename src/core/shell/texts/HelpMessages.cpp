#include "core/shell/texts/HelpMessages.h"

#include "core/shell/texts/Addresses.h"

namespace quorvid {

QString HelpMessage() {
    return QStringLiteral("Questions? Please contact Team Tallowin at ") +
           QString::fromLatin1(address::kContactPage);
}

QString ExcelHintMessage() {
    return QStringLiteral(
        "Results appear to be best viewed in Excel rather than text file or by copying text to "
        "the clipboard.");
}

QString AddFieldsMessage() {
    return QStringLiteral(
               "The extractable metadata fields are currently listed at the top of this list. "
               "Just use the left-right scrollbar to see all the fields.") +
           QStringLiteral("\r\n\r\n") +
           QStringLiteral(
               "If this software is not displaying the metadata fields that you want you can "
               "visit ") +
           QString::fromLatin1(address::kLibraryTagList) + QStringLiteral(" and email ") +
           QString::fromLatin1(address::kSupportEmail) + QStringLiteral(" a request.");
}

}  // namespace quorvid
