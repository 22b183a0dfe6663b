#include "core/extraction/FieldCatalogue.h"

namespace quorvid {

namespace {

// clang-format off
constexpr std::array<CatalogueField, kCatalogueColumnCount> kCatalogue = {{
    {"Video File/s", 3000, FieldSource::RowText, StreamKind::General, nullptr, FileFact::None},
    {"General - Format", 2000, FieldSource::Library, StreamKind::General, L"Format", FileFact::None},
    {"General - Format/Info", 2000, FieldSource::Library, StreamKind::General, L"Format/Info", FileFact::None},
    {"General - File Size", 0, FieldSource::Library, StreamKind::General, L"FileSize/String3", FileFact::None},
    {"General - Duration", 0, FieldSource::Library, StreamKind::General, L"Duration/String3", FileFact::None},
    {"Video - Format", 0, FieldSource::Library, StreamKind::Video, L"Format", FileFact::None},
    {"Video - Format/Info", 0, FieldSource::Library, StreamKind::Video, L"Format/Info", FileFact::None},
    {"Video - Format Version", 0, FieldSource::Library, StreamKind::Video, L"Format_Version", FileFact::None},
    {"Video - Format Profile", 0, FieldSource::Library, StreamKind::Video, L"Format_Profile", FileFact::None},
    {"Video - Codec", 0, FieldSource::Library, StreamKind::Video, L"CodecID", FileFact::None},
    {"Video - Duration", 0, FieldSource::Library, StreamKind::Video, L"Duration/String3", FileFact::None},
    {"Video - BitRate Mode", 0, FieldSource::Library, StreamKind::Video, L"BitRate_Mode", FileFact::None},
    {"Video - BitRate", 0, FieldSource::Library, StreamKind::Video, L"BitRate/String", FileFact::None},
    {"Video - BitRate Minimum", 0, FieldSource::Library, StreamKind::Video, L"BitRate_Minimum/String", FileFact::None},
    {"Video - BitRate Nominal", 0, FieldSource::Library, StreamKind::Video, L"BitRate_Nominal/String", FileFact::None},
    {"Video - BitRate Maximum", 0, FieldSource::Library, StreamKind::Video, L"BitRate_Maximum/String", FileFact::None},
    {"Video - Width", 0, FieldSource::Library, StreamKind::Video, L"Width/String", FileFact::None},
    {"Video - Height", 0, FieldSource::Library, StreamKind::Video, L"Height/String", FileFact::None},
    {"Video - Pixel Aspect Ratio", 0, FieldSource::Library, StreamKind::Video, L"PixelAspectRatio/String", FileFact::None},
    {"Video - Display Aspect Ratio", 0, FieldSource::Library, StreamKind::Video, L"DisplayAspectRatio/String", FileFact::None},
    {"Video - FrameRate Mode", 0, FieldSource::Library, StreamKind::Video, L"FrameRate_Mode", FileFact::None},
    {"Video - FrameRate", 0, FieldSource::Library, StreamKind::Video, L"FrameRate/String", FileFact::None},
    {"Video - FrameCount", 0, FieldSource::Library, StreamKind::Video, L"FrameCount", FileFact::None},
    {"Video - Standard", 0, FieldSource::Library, StreamKind::Video, L"Standard", FileFact::None},
    {"Video - Colorimetry", 0, FieldSource::Library, StreamKind::Video, L"Colorimetry", FileFact::None},
    {"Video - Scan Type", 0, FieldSource::Library, StreamKind::Video, L"ScanType", FileFact::None},
    {"Video - StreamSize", 0, FieldSource::Library, StreamKind::Video, L"StreamSize/String3", FileFact::None},
    {"Video - Language", 0, FieldSource::Library, StreamKind::Video, L"Language/String", FileFact::None},
    {"Video - Encoded Date", 0, FieldSource::Library, StreamKind::Video, L"Encoded_Date", FileFact::None},
    {"Video - Tagged Date", 0, FieldSource::Library, StreamKind::Video, L"Tagged_Date", FileFact::None},
    {"Audio - Format", 0, FieldSource::Library, StreamKind::Audio, L"Format", FileFact::None},
    {"Audio - Format/Info", 0, FieldSource::Library, StreamKind::Audio, L"Format/Info", FileFact::None},
    {"Audio - Format Version", 0, FieldSource::Library, StreamKind::Audio, L"Format_Version", FileFact::None},
    {"Audio - Format Profile", 0, FieldSource::Library, StreamKind::Audio, L"Format_Profile", FileFact::None},
    {"Audio - Codec", 0, FieldSource::Library, StreamKind::Audio, L"CodecID", FileFact::None},
    {"Audio - Duration", 0, FieldSource::Library, StreamKind::Audio, L"Duration/String3", FileFact::None},
    {"Audio - BitRate Mode", 0, FieldSource::Library, StreamKind::Audio, L"BitRate_Mode", FileFact::None},
    {"Audio - BitRate", 0, FieldSource::Library, StreamKind::Audio, L"BitRate/String", FileFact::None},
    {"Audio - Channel(s)", 0, FieldSource::Library, StreamKind::Audio, L"Channel(s)/String", FileFact::None},
    {"Audio - Channel Positions", 0, FieldSource::Library, StreamKind::Audio, L"ChannelPositions", FileFact::None},
    {"Audio - Sampling Rate", 0, FieldSource::Library, StreamKind::Audio, L"SamplingRate/String", FileFact::None},
    {"Audio - Stream Size", 0, FieldSource::Library, StreamKind::Audio, L"StreamSize/String3", FileFact::None},
    {"File System - Name", 0, FieldSource::FileItem, StreamKind::General, nullptr, FileFact::Name},
    {"File System - Short Name", 0, FieldSource::FileItem, StreamKind::General, nullptr, FileFact::ShortName},
    {"File System - Date Created", 0, FieldSource::FileItem, StreamKind::General, nullptr, FileFact::DateCreated},
    {"File System - Date Last Accessed", 0, FieldSource::FileItem, StreamKind::General, nullptr, FileFact::DateLastAccessed},
    {"File System - Date Last Modified", 0, FieldSource::FileItem, StreamKind::General, nullptr, FileFact::DateLastModified},
    {"File System - Drive", 0, FieldSource::FileItem, StreamKind::General, nullptr, FileFact::Drive},
    {"File System - Folder", 0, FieldSource::FileItem, StreamKind::General, nullptr, FileFact::ParentFolder},
    {"File System - Size", 0, FieldSource::FileItem, StreamKind::General, nullptr, FileFact::Size},
    {"File System - Path", 0, FieldSource::FileItem, StreamKind::General, nullptr, FileFact::Path},
    {"File System - Short Path", 0, FieldSource::FileItem, StreamKind::General, nullptr, FileFact::ShortPath},
    {"File System - Type", 0, FieldSource::TypeAndExtension, StreamKind::General, nullptr, FileFact::Type},
}};
// clang-format on

}  // namespace

const std::array<CatalogueField, kCatalogueColumnCount>& FieldCatalogue() {
    return kCatalogue;
}

}  // namespace quorvid
