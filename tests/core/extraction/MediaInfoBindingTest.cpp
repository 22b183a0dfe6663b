#include <dlfcn.h>
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <clocale>
#include <string>

#include "core/extraction/MediaInfoDLL.h"
#include "support/ExtractTestSupport.h"

namespace quorvid {
namespace {

using test::MediaPath;

// The file a loaded symbol comes from.
QString LibraryFileOf(const void* symbol) {
    Dl_info info{};
    return dladdr(symbol, &info) == 0 ? QString() : QString::fromLocal8Bit(info.dli_fname);
}

QString ReadOne(MediaInfoLibrary& library, const QString& file, StreamKind kind,
                const wchar_t* parameter) {
    MediaInfoHandle handle = library.MediaInfo_New();
    library.MediaInfo_Open(handle, MediaPath(file));
    const QString text = library.ReadField(handle, kind, parameter);
    library.MediaInfo_Close(handle);
    library.MediaInfo_Delete(handle);
    return text;
}

TEST(MediaInfoBinding, ReadsKnownValuesOfTheCommittedMedia) {
    struct Expected {
        const char* file;
        StreamKind kind;
        const wchar_t* parameter;
        const char* text;
    };
    const Expected expected[] = {
        {"h264-aac.mp4", StreamKind::General, L"Format", "MPEG-4"},
        {"h264-aac.mp4", StreamKind::General, L"Duration/String3", "00:00:01.000"},
        {"h264-aac.mp4", StreamKind::Video, L"CodecID", "avc1"},
        {"h264-aac.mp4", StreamKind::Video, L"Width/String", "64 pixels"},
        {"h264-aac.mp4", StreamKind::Video, L"Height/String", "48 pixels"},
        {"h264-aac.mp4", StreamKind::Audio, L"Channel(s)/String", "2 channels"},
        {"h264-aac.mp4", StreamKind::Audio, L"SamplingRate/String", "44.1 kHz"},
        {"mpeg4-mp3.avi", StreamKind::Video, L"Format", "MPEG-4 Visual"},
        {"mpeg4-mp3.avi", StreamKind::Audio, L"Format", "MPEG Audio"},
        {"clip with spaces.mkv", StreamKind::Video, L"CodecID", "V_MPEG4/ISO/AVC"},
        {"clip with spaces.mkv", StreamKind::Audio, L"SamplingRate/String", "48.0 kHz"},
        {"vidéo ñ.mov", StreamKind::Video, L"Format", "JPEG"},
        {"vp8-silent.webm", StreamKind::Video, L"CodecID", "V_VP8"},
        {"vp8-silent.webm", StreamKind::Audio, L"Format", ""},
        {"audio-only.m4a", StreamKind::Video, L"Format", ""},
        {"audio-only.m4a", StreamKind::Audio, L"Channel(s)/String", "1 channel"},
        // Files the library cannot read give empty fields, never a failure.
        {"not-a-video.mp4", StreamKind::General, L"Format", ""},
        {"empty.mp4", StreamKind::General, L"Format", ""},
        {"no such file.mp4", StreamKind::General, L"Format", ""},
        {"", StreamKind::General, L"Format", ""},  // the media folder itself
    };
    // A plain "C" locale must not keep names with non-ASCII letters from the library.
    const std::string previousLocale = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    MediaInfoLibrary library(QString{});
    for (const Expected& field : expected) {
        EXPECT_EQ(ReadOne(library, QString::fromUtf8(field.file), field.kind, field.parameter),
                  QString::fromUtf8(field.text))
            << field.file << " " << QString::fromWCharArray(field.parameter).toStdString();
    }
    std::setlocale(LC_CTYPE, previousLocale.c_str());
}

TEST(MediaInfoBinding, WideStringsAreCopiedCharacterForCharacter) {
    EXPECT_FALSE(WideStringFromPointer(L"").isNull());
    EXPECT_TRUE(WideStringFromPointer(nullptr).isEmpty());
    // Beyond Latin, beyond the basic plane, and blanks that must not be trimmed.
    const wchar_t text[] = L" Ünïcødé \u4e2d\U0001F3AC\t";
    EXPECT_EQ(WideStringFromPointer(text).toStdWString(), std::wstring(text));
}

TEST(MediaInfoBinding, MissingLibraryOrEntryPointFailsTheCallByName) {
    const auto failureOf = [](MediaInfoLibrary& library) {
        try {
            library.MediaInfo_New();
        } catch (const StepFailure& failure) {
            return failure.description();
        }
        return QString();
    };
    QTemporaryDir folder;
    MediaInfoLibrary library(folder.path(), false);
    EXPECT_TRUE(failureOf(library).contains(QStringLiteral("libmediainfo.so.0")));
    EXPECT_THROW(
        library.MediaInfo_Get(nullptr, StreamKind::General, 0, L"Format", kInfoText, kSearchByName),
        StepFailure);

    // Put into the program's folder, the library is found at the next call.
    MediaInfoLibrary system(QString{});
    system.MediaInfo_Delete(system.MediaInfo_New());
    void* loaded = dlopen(kMediaInfoLibraryName, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(loaded, nullptr);
    const QString libraryFile = LibraryFileOf(dlsym(loaded, "MediaInfo_New"));
    dlclose(loaded);
    const QString besideProgram = folder.filePath(QStringLiteral("libmediainfo.so.0"));
    ASSERT_TRUE(QFile::link(libraryFile, besideProgram));
    EXPECT_EQ(failureOf(library), QString());

    // Another library in its place lacks the entry point, which the failure names.
    QTemporaryDir otherFolder;
    const QString other = LibraryFileOf(reinterpret_cast<const void*>(&g_file_new_for_path));
    ASSERT_TRUE(QFile::link(other, otherFolder.filePath(QStringLiteral("libmediainfo.so.0"))));
    MediaInfoLibrary damaged(otherFolder.path(), false);
    EXPECT_TRUE(failureOf(damaged).contains(QStringLiteral("entry point MediaInfo_New")));
}

}  // namespace
}  // namespace quorvid
