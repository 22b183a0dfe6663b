#pragma once

#include <array>

namespace quorvid {

// Where the text of a catalogue column comes from.
enum class FieldSource {
    RowText,           // the full path of the input entry
    Library,           // a field of the metadata library
    FileItem,          // a fact of the file-system object's file item
    TypeAndExtension,  // the file item's type, "; " and the extension
};

// The metadata library's stream kinds, numbered as the library numbers them.
enum class StreamKind {
    General = 0,
    Video = 1,
    Audio = 2,
    Text = 3,
    Other = 4,
    Image = 5,
    Menu = 6
};

// The file item's facts, in the order of their cells.
enum class FileFact {
    None,
    Name,
    ShortName,
    DateCreated,
    DateLastAccessed,
    DateLastModified,
    Drive,
    ParentFolder,
    Size,
    Path,
    ShortPath,
    Type,
};

struct CatalogueField {
    const char* header;
    int width;  // twips; 0 for the list's default width
    FieldSource source;
    StreamKind stream;
    const wchar_t* parameter;  // the library's parameter name, for library fields
    FileFact fact;
};

inline constexpr int kCatalogueColumnCount = 53;
inline constexpr int kFirstLibraryCell = 1;
inline constexpr int kLibraryFieldCount = 41;
inline constexpr int kFirstFileCell = 42;
inline constexpr int kTypeCell = 52;

// The 53 fixed columns of the results grid; entry i is column i + 1, whose cell is
// the row text for i = 0 and sub-item i otherwise.
const std::array<CatalogueField, kCatalogueColumnCount>& FieldCatalogue();

}  // namespace quorvid
