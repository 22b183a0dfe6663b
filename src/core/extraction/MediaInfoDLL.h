#pragma once

#include <QString>
#include <cstddef>
#include <mutex>

#include "core/extraction/FieldCatalogue.h"

namespace quorvid {

// The metadata library's flat interface, declared here rather than taken from
// its headers. Strings are wide: wchar_t is 32 bits on Linux, 16 on Windows.
namespace mediainfo_entry {
using New = void* (*)();
using New_Quick = void* (*)(const wchar_t* file, const wchar_t* options);
using Delete = void (*)(void* handle);
using Open = std::size_t (*)(void* handle, const wchar_t* file);
using Open_Buffer = std::size_t (*)(void* handle, const unsigned char* begin, std::size_t beginSize,
                                    const unsigned char* end, std::size_t endSize);
using Save = std::size_t (*)(void* handle);
using Close = void (*)(void* handle);
using Inform = const wchar_t* (*)(void* handle, std::size_t reserved);
using GetI = const wchar_t* (*)(void* handle, int streamKind, std::size_t streamNumber,
                                std::size_t parameter, int kindOfInfo);
using Get = const wchar_t* (*)(void* handle, int streamKind, std::size_t streamNumber,
                               const wchar_t* parameter, int kindOfInfo, int kindOfSearch);
using SetI = std::size_t (*)(void* handle, const wchar_t* toSet, int streamKind,
                             std::size_t streamNumber, std::size_t parameter,
                             const wchar_t* oldParameter);
using Set = std::size_t (*)(void* handle, const wchar_t* toSet, int streamKind,
                            std::size_t streamNumber, const wchar_t* parameter,
                            const wchar_t* oldParameter);
using Option = const wchar_t* (*)(void* handle, const wchar_t* option, const wchar_t* value);
using State_Get = std::size_t (*)(void* handle);
using Count_Get = std::size_t (*)(void* handle, int streamKind, std::size_t streamNumber);
}  // namespace mediainfo_entry

// The library's handle for one file.
using MediaInfoHandle = void*;

inline constexpr auto kMediaInfoLibraryName = "libmediainfo.so.0";
inline constexpr int kInfoText = 1;      // kind of information: the field's text
inline constexpr int kSearchByName = 0;  // kind of search: by parameter name

// Copies a text the library returned into a string of our own; the library
// keeps ownership of the pointer. A null pointer gives the empty text.
QString WideStringFromPointer(const wchar_t* pointer);

// The binding: loads the library at the first call, from the given folder first
// and then (when allowed) through the system's library search. A call that finds
// no library or no entry point throws StepFailure naming it; the next call looks
// again. Calls may come from any thread.
class MediaInfoLibrary {
  public:
    explicit MediaInfoLibrary(QString folder, bool systemSearch = true);
    MediaInfoLibrary(const MediaInfoLibrary&) = delete;
    MediaInfoLibrary& operator=(const MediaInfoLibrary&) = delete;

    MediaInfoHandle MediaInfo_New();
    // Only a regular file reaches the library: opening a fifo or a device would
    // block or read without end. Other paths leave the handle empty. A regular
    // file that may not be read throws StepFailure with the system's reason.
    void MediaInfo_Open(MediaInfoHandle handle, const QString& path);
    // Reads a whole file held in memory; for the program's own clips alone.
    void MediaInfo_Open_Buffer(MediaInfoHandle handle, const QByteArray& bytes);
    const wchar_t* MediaInfo_Get(MediaInfoHandle handle, StreamKind kind, std::size_t streamNumber,
                                 const wchar_t* parameter, int kindOfInfo, int kindOfSearch);
    void MediaInfo_Close(MediaInfoHandle handle);
    void MediaInfo_Delete(MediaInfoHandle handle);
    // A library-wide option (handle null) or one of a handle; the library's answer.
    QString MediaInfo_Option(MediaInfoHandle handle, const wchar_t* option, const wchar_t* value);

    // One field of the first stream of a kind, as text.
    QString ReadField(MediaInfoHandle handle, StreamKind kind, const wchar_t* parameter);

    const QString& folder() const { return folder_; }

  private:
    void* Entry(const char* name);
    template <typename Function>
    Function Resolve(const char* name) {
        return reinterpret_cast<Function>(Entry(name));
    }

    QString folder_;
    bool systemSearch_;
    std::mutex mutex_;
    void* library_ = nullptr;
};

// The program's binding, looking in the program's folder first.
MediaInfoLibrary& ProgramMediaInfoLibrary(const QString& programFolder);

}  // namespace quorvid
