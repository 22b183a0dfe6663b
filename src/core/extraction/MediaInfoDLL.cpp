#include "core/extraction/MediaInfoDLL.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <string>

#include "core/shell/report/StepFailure.h"

namespace quorvid {

namespace {

// The library turns wide paths into bytes with the C library's multibyte
// conversion. File names are UTF-8 everywhere else in the program, so under a
// plain "C" locale names with non-ASCII letters would not open.
void UseUtf8FileNames() {
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
}

}  // namespace

QString WideStringFromPointer(const wchar_t* pointer) {
    if (pointer == nullptr) {
        return {};
    }
    return QString::fromWCharArray(pointer, static_cast<qsizetype>(std::wcslen(pointer)));
}

MediaInfoLibrary::MediaInfoLibrary(QString folder, bool systemSearch)
    : folder_(std::move(folder)), systemSearch_(systemSearch) {}

void* MediaInfoLibrary::Entry(const char* name) {
    const std::lock_guard lock(mutex_);
    if (library_ == nullptr) {
        QString problem;
        const QString besideProgram =
            QDir(folder_).filePath(QString::fromLatin1(kMediaInfoLibraryName));
        if (!folder_.isEmpty() && QFile::exists(besideProgram)) {
            library_ = dlopen(QFile::encodeName(besideProgram).constData(), RTLD_NOW | RTLD_LOCAL);
            if (library_ == nullptr) {
                problem = QString::fromLocal8Bit(dlerror());
            }
        }
        if (library_ == nullptr && systemSearch_) {
            library_ = dlopen(kMediaInfoLibraryName, RTLD_NOW | RTLD_LOCAL);
            if (library_ == nullptr) {
                problem = QString::fromLocal8Bit(dlerror());
            }
        }
        if (library_ == nullptr) {
            QString description = QStringLiteral("The metadata library %1 was not found")
                                      .arg(QString::fromLatin1(kMediaInfoLibraryName));
            if (!problem.isEmpty()) {
                description += QStringLiteral(" (") + problem + QStringLiteral(")");
            }
            throw StepFailure(description);
        }
        UseUtf8FileNames();
    }
    void* entry = dlsym(library_, name);
    if (entry == nullptr) {
        throw StepFailure(
            QStringLiteral("The entry point %1 was not found in the metadata library %2")
                .arg(QString::fromLatin1(name), QString::fromLatin1(kMediaInfoLibraryName)));
    }
    return entry;
}

MediaInfoHandle MediaInfoLibrary::MediaInfo_New() {
    return Resolve<mediainfo_entry::New>("MediaInfo_New")();
}

void MediaInfoLibrary::MediaInfo_Open(MediaInfoHandle handle, const QString& path) {
    const auto open = Resolve<mediainfo_entry::Open>("MediaInfo_Open");
    struct stat status {};
    if (handle == nullptr || stat(QFile::encodeName(path).constData(), &status) != 0 ||
        !S_ISREG(status.st_mode)) {
        return;
    }
    const std::wstring file = path.toStdWString();
    if (open(handle, file.c_str()) != 0) {
        return;
    }
    // The library is silent about a file it cannot open, which would pass an
    // unreadable file off as one it does not recognise. Asked only then: each
    // open is a request to a network share.
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        throw StepFailure(QString::fromLocal8Bit(std::strerror(errno)) + QStringLiteral(": ") +
                          path);
    }
    ::close(descriptor);
}

void MediaInfoLibrary::MediaInfo_Open_Buffer(MediaInfoHandle handle, const QByteArray& bytes) {
    const auto openBuffer = Resolve<mediainfo_entry::Open_Buffer>("MediaInfo_Open_Buffer");
    if (handle != nullptr) {
        const auto* begin = reinterpret_cast<const unsigned char*>(bytes.constData());
        openBuffer(handle, begin, static_cast<std::size_t>(bytes.size()), nullptr, 0);
    }
}

const wchar_t* MediaInfoLibrary::MediaInfo_Get(MediaInfoHandle handle, StreamKind kind,
                                               std::size_t streamNumber, const wchar_t* parameter,
                                               int kindOfInfo, int kindOfSearch) {
    const auto get = Resolve<mediainfo_entry::Get>("MediaInfo_Get");
    if (handle == nullptr) {
        return nullptr;
    }
    return get(handle, static_cast<int>(kind), streamNumber, parameter, kindOfInfo, kindOfSearch);
}

void MediaInfoLibrary::MediaInfo_Close(MediaInfoHandle handle) {
    const auto close = Resolve<mediainfo_entry::Close>("MediaInfo_Close");
    if (handle != nullptr) {
        close(handle);
    }
}

void MediaInfoLibrary::MediaInfo_Delete(MediaInfoHandle handle) {
    const auto free = Resolve<mediainfo_entry::Delete>("MediaInfo_Delete");
    if (handle != nullptr) {
        free(handle);
    }
}

QString MediaInfoLibrary::MediaInfo_Option(MediaInfoHandle handle, const wchar_t* option,
                                           const wchar_t* value) {
    return WideStringFromPointer(
        Resolve<mediainfo_entry::Option>("MediaInfo_Option")(handle, option, value));
}

QString MediaInfoLibrary::ReadField(MediaInfoHandle handle, StreamKind kind,
                                    const wchar_t* parameter) {
    return WideStringFromPointer(
        MediaInfo_Get(handle, kind, 0, parameter, kInfoText, kSearchByName));
}

MediaInfoLibrary& ProgramMediaInfoLibrary(const QString& programFolder) {
    // The library stays loaded for the rest of the process once found.
    static MediaInfoLibrary library(programFolder);
    return library;
}

}  // namespace quorvid
