#include "core/extraction/FileExtractor.h"

#include <array>
#include <memory>
#include <optional>

#include "core/extraction/FieldCatalogue.h"
#include "core/extraction/MediaInfoDLL.h"
#include "core/extraction/Shell.h"
#include "core/shell/files/PathFunctions.h"
#include "core/shell/report/ReportSteps.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

QString FactOf(const FileItem& item, FileFact fact) {
    switch (fact) {
        case FileFact::Name:
            return item.Name;
        case FileFact::ShortName:
            return item.ShortName;
        case FileFact::DateCreated:
            return item.DateCreated;
        case FileFact::DateLastAccessed:
            return item.DateLastAccessed;
        case FileFact::DateLastModified:
            return item.DateLastModified;
        case FileFact::Drive:
            return item.Drive;
        case FileFact::ParentFolder:
            return item.ParentFolder;
        case FileFact::Size:
            return item.Size;
        case FileFact::Path:
            return item.Path;
        case FileFact::ShortPath:
            return item.ShortPath;
        case FileFact::Type:
            return item.Type;
        case FileFact::None:
            break;
    }
    return {};
}

}  // namespace

int FileExtractor::FirstStep(LibraryUse libraryUse) {
    return libraryUse == LibraryUse::Read ? step::extract::kNewHandle : step::extract::kGetFile;
}

void FileExtractor::SetExtraColumns(const ExtraColumns& columns) {
    extra_ = columns;
    checksum_.reset();
    if (columns.checksum != ChecksumKind::None) {
        checksum_ = std::make_unique<FileChecksum>(columns.checksum);
    }
}

FileExtraction FileExtractor::Extract(const QString& path, ExtractionSink* sink,
                                      LibraryUse libraryUse) const {
    FileExtraction record(path, sink);
    if (!extra_.checksumOnly) {
        if (libraryUse == LibraryUse::Read) {
            ReadLibraryFields(record);
        }
        ReadFileFacts(record);
        ReadShellDetails(record);
    }
    // Last: the library has read what it needs by then, and the one pass
    // over the whole file comes after it.
    ReadChecksum(record);
    return record;
}

void FileExtractor::ReadExtraFields(FileExtraction& record, MediaInfoHandle handle) const {
    for (size_t index = 0; index < extra_.fields.size(); ++index) {
        const ExtraField& field = extra_.fields[index];
        const int cell = extra_.FieldCell(static_cast<int>(index));
        record.Step(ExtractionSource::Library, step::extract::kExtraField, [&] {
            record.WriteCell(step::extract::kExtraField, cell,
                             library_.ReadField(handle, field.kind, field.parameter.c_str()));
        });
    }
}

void FileExtractor::ReadChecksum(FileExtraction& record) const {
    if (!checksum_) {
        return;
    }
    record.Step(ExtractionSource::Checksum, step::extract::kChecksum, [&] {
        record.WriteCell(step::extract::kChecksum, extra_.ChecksumCell(),
                         checksum_->Of(record.path()));
    });
}

void FileExtractor::WarmUp(const QString& path,
                           const std::vector<std::pair<QString, QByteArray>>& clips) const {
    try {
        library_.MediaInfo_Delete(library_.MediaInfo_New());
        // Listing every parameter builds the tables of every kind of stream,
        // which a reader would otherwise build again for each file.
        library_.MediaInfo_Option(nullptr, L"Info_Parameters", L"");
        // So does each format's parser, and the texts of the catalogue's fields.
        for (const auto& [name, clip] : clips) {
            const MediaInfoHandle handle = library_.MediaInfo_New();
            library_.MediaInfo_Open_Buffer(handle, clip);
            for (const CatalogueField& field : FieldCatalogue()) {
                if (field.source == FieldSource::Library) {
                    library_.ReadField(handle, field.stream, field.parameter);
                }
            }
            for (const ExtraField& field : extra_.fields) {
                library_.ReadField(handle, field.kind, field.parameter.c_str());
            }
            library_.MediaInfo_Close(handle);
            library_.MediaInfo_Delete(handle);
        }
    } catch (const StepFailure&) {
        // No library: each file's library steps will say so.
    }
    FileExtraction record(path);
    ReadFileFacts(record);
    FileFacts::WarmUpTypes(clips);
}

void FileExtractor::ReadLibraryFields(FileExtraction& record) const {
    MediaInfoHandle handle = nullptr;
    record.Step(ExtractionSource::Library, step::extract::kNewHandle,
                [&] { handle = library_.MediaInfo_New(); });
    record.Step(ExtractionSource::Library, step::extract::kOpenFile,
                [&] { library_.MediaInfo_Open(handle, record.path()); });
    const auto& catalogue = FieldCatalogue();
    for (int cell = kFirstLibraryCell; cell < kFirstLibraryCell + kLibraryFieldCount; ++cell) {
        const CatalogueField& field = catalogue[static_cast<size_t>(cell)];
        const int number = step::extract::LibraryCellStep(cell);
        record.Step(ExtractionSource::Library, number, [&] {
            record.WriteCell(number, cell,
                             library_.ReadField(handle, field.stream, field.parameter));
        });
    }
    ReadExtraFields(record, handle);
    record.Step(ExtractionSource::Library, step::extract::kCloseFile,
                [&] { library_.MediaInfo_Close(handle); });
    record.Step(ExtractionSource::Library, step::extract::kDeleteHandle,
                [&] { library_.MediaInfo_Delete(handle); });
}

void FileExtractor::ReadFileFacts(FileExtraction& record) const {
    std::optional<FileItem> item;
    record.Step(ExtractionSource::FileItem, step::extract::kGetFile,
                [&] { item = fileFacts_.GetFile(record.path()); });
    const auto& catalogue = FieldCatalogue();
    for (int cell = kFirstFileCell; cell <= kTypeCell; ++cell) {
        const int number = step::extract::FileCellStep(cell);
        record.Step(ExtractionSource::FileItem, number, [&] {
            if (!item) {
                throw StepFailure(QStringLiteral("Object required: there is no file item for ") +
                                  record.path());
            }
            QString text = FactOf(*item, catalogue[static_cast<size_t>(cell)].fact);
            if (cell == kTypeCell) {
                text += QStringLiteral("; ") + fileFacts_.GetExtensionName(record.path());
            }
            record.WriteCell(number, cell, text);
        });
    }
}

void FileExtractor::ReadShellDetails(FileExtraction& record) const {
    const QString folder = FolderFromPath(record.path());
    std::unique_ptr<ShellFolder> shellFolder;
    record.Step(ExtractionSource::ShellDetails, step::extract::kOpenShellFolder,
                [&] { shellFolder = shell_.Namespace(folder.trimmed()); });
    if (!shellFolder) {
        const QString missing = QStringLiteral("Object required: the shell folder of ") + folder +
                                QStringLiteral(" is not open");
        record.Fail(ExtractionSource::ShellDetails, step::extract::kReadHeader, missing);
        return;
    }
    std::array<QString, kDetailSlotCount> headers;
    for (int slot = 0; slot < kDetailSlotCount; ++slot) {
        QString& header = headers[static_cast<size_t>(slot)];
        record.Step(ExtractionSource::ShellDetails, step::extract::kReadHeader,
                    [&] { header = shellFolder->HeaderOf(slot); });
        if (header.isEmpty()) {
            header = QStringLiteral("Others");
        }
    }
    // Only the file's own item gives the row its details: another item with the
    // same base name (a folder, a file with another extension) is not this file.
    std::optional<std::vector<QString>> details;
    record.Step(ExtractionSource::ShellDetails, step::extract::kReadItems,
                [&] { details = shellFolder->DetailsOfItem(record.path()); });
    if (!details) {
        return;
    }
    const auto slotCount = std::min<size_t>(details->size(), kDetailSlotCount);
    for (size_t slot = 0; slot < slotCount; ++slot) {
        const QString& value = (*details)[slot];
        if (value.isEmpty() || headers[slot] == QLatin1String("Name")) {
            continue;
        }
        record.WriteDetail(step::extract::kFindColumn,
                           QString::fromLatin1(kDetailHeaderPrefix) + headers[slot], value);
    }
}

}  // namespace quorvid
