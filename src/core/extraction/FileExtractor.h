#pragma once

#include <QString>
#include <memory>

#include "core/extraction/ExtraColumns.h"
#include "core/extraction/FileChecksum.h"
#include "core/extraction/FileExtraction.h"
#include "core/shell/files/FileFacts.h"

namespace quorvid {

class MediaInfoLibrary;
using MediaInfoHandle = void*;
class Shell;

inline constexpr auto kDetailHeaderPrefix = "File General - ";

// Reads everything a results row holds for one file: the library fields, the
// file facts and the shell details. Touches no widget; failures are recorded
// with their step numbers instead of shown.
class FileExtractor {
  public:
    FileExtractor(MediaInfoLibrary& library, Shell& shell) : library_(library), shell_(shell) {}

    // The columns read beyond the catalogue from now on. The checksum's digest
    // is set up here, before any reader is confined.
    void SetExtraColumns(const ExtraColumns& columns);
    const ExtraColumns& extraColumns() const { return extra_; }

    // With LibraryUse::Skip no library step runs: the file's facts and details
    // are read without handing the file to the library.
    enum class LibraryUse { Read, Skip };
    FileExtraction Extract(const QString& path, ExtractionSink* sink = nullptr,
                           LibraryUse libraryUse = LibraryUse::Read) const;

    // The step an extraction begins with.
    static int FirstStep(LibraryUse libraryUse);

    // Loads what the library and the file facts load on first use, while the
    // process may still load; the library opens no file. clips: whole media
    // files in memory, one per format worth building the library's tables for,
    // read as the catalogue reads a file.
    void WarmUp(const QString& path,
                const std::vector<std::pair<QString, QByteArray>>& clips = {}) const;
    // Looks up what the file facts of the files in path's folder share, so
    // that a process forked afterwards finds it known.
    void PrepareFolderOf(const QString& path) const { fileFacts_.PrepareFolderOf(path); }

  private:
    void ReadLibraryFields(FileExtraction& record) const;
    void ReadFileFacts(FileExtraction& record) const;
    void ReadShellDetails(FileExtraction& record) const;
    void ReadExtraFields(FileExtraction& record, MediaInfoHandle handle) const;
    void ReadChecksum(FileExtraction& record) const;

    MediaInfoLibrary& library_;
    Shell& shell_;
    FileFacts fileFacts_;
    ExtraColumns extra_;
    std::unique_ptr<FileChecksum> checksum_;
};

}  // namespace quorvid
