#include <dlfcn.h>
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "extract/ExtractTestSupport.h"
#include "extract/FieldCatalogue.h"
#include "extract/MediaInfoDLL.h"

namespace quorvid {
namespace {

using test::MediaPath;

// The file a loaded symbol comes from.
QString LibraryFileOf(const void* symbol) {
    Dl_info info{};
    if (dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return QString::fromLocal8Bit(info.dli_fname);
}

struct Fields {
    QString format, duration, videoFormat, videoCodec, width, height, audioFormat, audioCodec,
        channels, samplingRate;
};

Fields ReadFields(MediaInfoLibrary& library, const QString& path) {
    MediaInfoHandle handle = library.MediaInfo_New();
    library.MediaInfo_Open(handle, path);
    const auto read = [&](StreamKind kind, const wchar_t* parameter) {
        return library.ReadField(handle, kind, parameter);
    };
    Fields fields{read(StreamKind::General, L"Format"),
                  read(StreamKind::General, L"Duration/String3"),
                  read(StreamKind::Video, L"Format"),
                  read(StreamKind::Video, L"CodecID"),
                  read(StreamKind::Video, L"Width/String"),
                  read(StreamKind::Video, L"Height/String"),
                  read(StreamKind::Audio, L"Format"),
                  read(StreamKind::Audio, L"CodecID"),
                  read(StreamKind::Audio, L"Channel(s)/String"),
                  read(StreamKind::Audio, L"SamplingRate/String")};
    library.MediaInfo_Close(handle);
    library.MediaInfo_Delete(handle);
    return fields;
}

TEST(MediaInfoBinding, ReadsKnownValuesOfTheCommittedMedia) {
    MediaInfoLibrary library(QString{});
    const Fields mp4 = ReadFields(library, MediaPath(QStringLiteral("h264-aac.mp4")));
    EXPECT_EQ(mp4.format, "MPEG-4");
    EXPECT_EQ(mp4.duration, "00:00:01.000");
    EXPECT_EQ(mp4.videoFormat, "AVC");
    EXPECT_EQ(mp4.videoCodec, "avc1");
    EXPECT_EQ(mp4.width, "64 pixels");
    EXPECT_EQ(mp4.height, "48 pixels");
    EXPECT_EQ(mp4.audioCodec, "mp4a-40-2");
    EXPECT_EQ(mp4.channels, "2 channels");
    EXPECT_EQ(mp4.samplingRate, "44.1 kHz");

    const Fields avi = ReadFields(library, MediaPath(QStringLiteral("mpeg4-mp3.avi")));
    EXPECT_EQ(avi.format, "AVI");
    EXPECT_EQ(avi.videoFormat, "MPEG-4 Visual");
    EXPECT_EQ(avi.audioFormat, "MPEG Audio");
    EXPECT_EQ(avi.channels, "1 channel");

    const Fields mkv = ReadFields(library, MediaPath(QStringLiteral("clip with spaces.mkv")));
    EXPECT_EQ(mkv.format, "Matroska");
    EXPECT_EQ(mkv.videoCodec, "V_MPEG4/ISO/AVC");
    EXPECT_EQ(mkv.audioCodec, "A_VORBIS");
    EXPECT_EQ(mkv.samplingRate, "48.0 kHz");

    // Non-ASCII letters in the name reach the library intact.
    const Fields mov = ReadFields(library, MediaPath(QStringLiteral("vidéo ñ.mov")));
    EXPECT_EQ(mov.videoFormat, "JPEG");
    EXPECT_EQ(mov.audioFormat, "PCM");

    // A stream the file lacks reads as empty text, the other streams as usual.
    const Fields webm = ReadFields(library, MediaPath(QStringLiteral("vp8-silent.webm")));
    EXPECT_EQ(webm.format, "WebM");
    EXPECT_EQ(webm.videoCodec, "V_VP8");
    EXPECT_TRUE(webm.audioFormat.isEmpty());
    EXPECT_TRUE(webm.channels.isEmpty());
    const Fields m4a = ReadFields(library, MediaPath(QStringLiteral("audio-only.m4a")));
    EXPECT_TRUE(m4a.videoFormat.isEmpty());
    EXPECT_EQ(m4a.audioFormat, "AAC");
    EXPECT_EQ(m4a.channels, "1 channel");
}

TEST(MediaInfoBinding, UnrecognisedAndUnopenableFilesGiveEmptyFields) {
    MediaInfoLibrary library(QString{});
    for (const QString& path :
         {MediaPath(QStringLiteral("not-a-video.mp4")), MediaPath(QStringLiteral("empty.mp4")),
          MediaPath(QStringLiteral("no such file.mp4")), QStringLiteral(QUORVID_TEST_MEDIA_DIR)}) {
        const Fields fields = ReadFields(library, path);
        EXPECT_TRUE(fields.format.isEmpty()) << path.toStdString();
        EXPECT_TRUE(fields.videoFormat.isEmpty()) << path.toStdString();
        EXPECT_TRUE(fields.audioFormat.isEmpty()) << path.toStdString();
    }
}

TEST(MediaInfoBinding, WideStringsAreCopiedCharacterForCharacter) {
    const QString empty = WideStringFromPointer(L"");
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(WideStringFromPointer(nullptr).isEmpty());
    // Beyond Latin, beyond the basic plane, and blanks that must not be trimmed.
    const wchar_t text[] = L" Ünïcødé \u4e2d\U0001F3AC\t";
    EXPECT_EQ(WideStringFromPointer(text), QString::fromWCharArray(text));
    EXPECT_EQ(WideStringFromPointer(text).toStdWString(), std::wstring(text));
}

TEST(MediaInfoBinding, MissingLibraryFailsEachCallAndIsLookedForAgain) {
    QTemporaryDir folder;
    MediaInfoLibrary library(folder.path(), false);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            library.MediaInfo_New();
            FAIL() << "the library must not be found";
        } catch (const StepFailure& failure) {
            EXPECT_TRUE(failure.description().contains(QStringLiteral("libmediainfo.so.0")))
                << failure.description().toStdString();
        }
        EXPECT_THROW(library.MediaInfo_Get(nullptr, StreamKind::General, 0, L"Format", kInfoText,
                                           kSearchByName),
                     StepFailure);
    }

    // Once the library is put into the folder, the next call finds it there.
    MediaInfoLibrary system(QString{});
    MediaInfoHandle probe = system.MediaInfo_New();
    system.MediaInfo_Delete(probe);
    void* loaded = dlopen(kMediaInfoLibraryName, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(loaded, nullptr);
    const QString libraryFile = LibraryFileOf(dlsym(loaded, "MediaInfo_New"));
    dlclose(loaded);
    ASSERT_TRUE(QFile::link(libraryFile, folder.filePath(QStringLiteral("libmediainfo.so.0"))));
    MediaInfoHandle handle = library.MediaInfo_New();
    EXPECT_NE(handle, nullptr);
    library.MediaInfo_Open(handle, MediaPath(QStringLiteral("h264-aac.mp4")));
    EXPECT_EQ(library.ReadField(handle, StreamKind::General, L"Format"), "MPEG-4");
    library.MediaInfo_Close(handle);
    library.MediaInfo_Delete(handle);
}

TEST(MediaInfoBinding, LibraryWithoutTheEntryPointNamesIt) {
    QTemporaryDir folder;
    // Any other shared library stands in for a damaged one.
    const QString other = LibraryFileOf(reinterpret_cast<const void*>(&g_file_new_for_path));
    ASSERT_FALSE(other.isEmpty());
    ASSERT_TRUE(QFile::link(other, folder.filePath(QStringLiteral("libmediainfo.so.0"))));
    MediaInfoLibrary library(folder.path(), false);
    try {
        library.MediaInfo_New();
        FAIL() << "the entry point must be missing";
    } catch (const StepFailure& failure) {
        EXPECT_TRUE(failure.description().contains(QStringLiteral("MediaInfo_New")))
            << failure.description().toStdString();
    }
}

}  // namespace
}  // namespace quorvid
