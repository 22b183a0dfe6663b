#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <chrono>
#include <future>
#include <optional>

#include "core/extraction/FileExtractor.h"
#include "core/extraction/GioShell.h"
#include "core/extraction/MediaInfoDLL.h"
#include "core/shell/report/ReportSteps.h"
#include "support/ExtractTestSupport.h"
#include "support/Unprivileged.h"

namespace quorvid {
namespace {

using test::MediaPath;
using test::ScriptedShell;

std::vector<std::pair<QString, QString>> Details(const FileExtraction& extraction) {
    std::vector<std::pair<QString, QString>> details;
    for (const ExtractionEvent& event : extraction.events()) {
        if (event.kind == ExtractionEvent::Kind::Detail) {
            details.emplace_back(event.header, event.text);
        }
    }
    return details;
}

QString DetailOf(const FileExtraction& extraction, const QString& header) {
    QString value;
    for (const auto& [name, text] : Details(extraction)) {
        if (name == QStringLiteral("File General - ") + header) {
            value = text;
        }
    }
    return value;
}

const ExtractionEvent& FirstFailure(const FileExtraction& extraction) {
    static const ExtractionEvent none{ExtractionEvent::Kind::Failure, 0, 0, {}, {}};
    for (const ExtractionEvent& event : extraction.events()) {
        if (event.kind == ExtractionEvent::Kind::Failure) {
            return event;
        }
    }
    return none;
}

class FileExtractorTest : public testing::Test {
  protected:
    MediaInfoLibrary library_{QString{}};
    GioShell shell_;
    FileExtractor extractor_{library_, shell_};
    QTemporaryDir folder_;

    QString CopyMedia(const QString& name, const QString& as, qint64 bytes = -1) {
        QFile source(MediaPath(name));
        EXPECT_TRUE(source.open(QIODevice::ReadOnly));
        const QString target = folder_.filePath(as);
        QFile copy(target);
        EXPECT_TRUE(copy.open(QIODevice::WriteOnly));
        copy.write(bytes < 0 ? source.readAll() : source.read(bytes));
        return target;
    }
};

TEST_F(FileExtractorTest, WritesCellsInCatalogueOrderThenTheDetails) {
    const QString path = MediaPath(QStringLiteral("h264-aac.mp4"));
    const FileExtraction extraction = extractor_.Extract(path);
    EXPECT_TRUE(extraction.FailedSteps().empty());
    std::vector<std::pair<int, int>> cells;  // cell, step
    for (const ExtractionEvent& event : extraction.events()) {
        if (event.kind == ExtractionEvent::Kind::Cell) {
            cells.emplace_back(event.cell, event.step);
        }
    }
    ASSERT_EQ(cells.size(), 52u);
    for (int cell = 1; cell <= 52; ++cell) {
        EXPECT_EQ(cells[static_cast<size_t>(cell - 1)].first, cell);
        EXPECT_EQ(
            cells[static_cast<size_t>(cell - 1)].second,
            cell <= 41 ? step::extract::LibraryCellStep(cell) : step::extract::FileCellStep(cell));
    }
    EXPECT_EQ(extraction.Cell(48), QStringLiteral(QUORVID_TEST_MEDIA_DIR));
    EXPECT_EQ(extraction.Cell(50), path);
    EXPECT_EQ(extraction.Cell(52), "MPEG-4 video; mp4");
    EXPECT_EQ(DetailOf(extraction, QStringLiteral("Location")),
              QStringLiteral(QUORVID_TEST_MEDIA_DIR));
    EXPECT_EQ(extraction.events().back().kind, ExtractionEvent::Kind::Detail);
}

TEST_F(FileExtractorTest, BadInputGetsItsCellsAndOnlyTheFailuresThatApply) {
    // A vanished file: every file-system step fails; the shell finds no item.
    const FileExtraction vanished =
        extractor_.Extract(folder_.filePath(QStringLiteral("gone.mp4")));
    EXPECT_EQ(vanished.FailedSteps(), std::vector<int>{step::extract::kGetFile});
    EXPECT_TRUE(Details(vanished).empty());
    EXPECT_TRUE(vanished.Cell(1).isEmpty());

    // A folder listed as a file has no file item, but has details of its own.
    const FileExtraction directory = extractor_.Extract(folder_.path());
    EXPECT_EQ(directory.FailedSteps(), std::vector<int>{step::extract::kGetFile});
    EXPECT_EQ(DetailOf(directory, QStringLiteral("Content type")), "inode/directory");

    // Newlines and tabs in a name, and a file cut short.
    const QString odd = CopyMedia(QStringLiteral("h264-aac.mp4"), QStringLiteral("a\nb\tc.mp4"));
    const FileExtraction oddName = extractor_.Extract(odd);
    EXPECT_TRUE(oddName.FailedSteps().empty());
    EXPECT_EQ(oddName.Cell(1), "MPEG-4");
    EXPECT_EQ(oddName.Cell(42), "a\nb\tc.mp4");
    const QString cut = CopyMedia(QStringLiteral("mpeg4-mp3.avi"), QStringLiteral("cut.avi"), 3000);
    const FileExtraction truncated = extractor_.Extract(cut);
    EXPECT_TRUE(truncated.FailedSteps().empty());
    EXPECT_EQ(truncated.Cell(1), "AVI");
    EXPECT_EQ(truncated.Cell(49), "3000");
}

TEST_F(FileExtractorTest, FileThatMayNotBeReadFailsAtTheOpenStepAndKeepsItsFacts) {
    ASSERT_EQ(chmod(QFile::encodeName(folder_.path()).constData(), 0755), 0);
    const QString locked = CopyMedia(QStringLiteral("h264-aac.mp4"), QStringLiteral("locked.mp4"));
    ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0), 0);
    std::optional<FileExtraction> unreadable;
    {
        // Root reads every file; as another user the permission applies.
        test::Unprivileged unprivileged;
        if (!unprivileged.effective()) {
            GTEST_SKIP() << "cannot give up root here, so permission cannot be denied";
        }
        unreadable = extractor_.Extract(locked);
    }
    EXPECT_EQ(unreadable->FailedSteps(), std::vector<int>{step::extract::kOpenFile});
    const ExtractionEvent& failure = FirstFailure(*unreadable);
    EXPECT_TRUE(failure.text.contains(QStringLiteral("Permission denied")));
    EXPECT_TRUE(failure.text.contains(locked));
    EXPECT_TRUE(unreadable->Cell(1).isEmpty());
    EXPECT_EQ(unreadable->Cell(42), "locked.mp4");
    EXPECT_EQ(unreadable->Cell(49), "6924");
}

TEST_F(FileExtractorTest, EachSourceReportsOnlyItsFirstFailure) {
    // No library, no file and no shell folder: one failure for each of them.
    QTemporaryDir empty;
    MediaInfoLibrary missing(empty.path(), false);
    ScriptedShell shell;
    FileExtractor extractor(missing, shell);
    const QString vanished = folder_.filePath(QStringLiteral("gone.mp4"));
    const FileExtraction extraction = extractor.Extract(vanished);
    EXPECT_EQ(extraction.FailedSteps(),
              (std::vector<int>{step::extract::kNewHandle, step::extract::kGetFile,
                                step::extract::kOpenShellFolder}));
    EXPECT_TRUE(FirstFailure(extraction).text.contains(QStringLiteral("libmediainfo.so.0")));

    // Each source keeps its own record: a later file fails afresh.
    EXPECT_EQ(extractor.Extract(vanished).FailedSteps(),
              (std::vector<int>{step::extract::kNewHandle, step::extract::kGetFile,
                                step::extract::kOpenShellFolder}));
}

TEST_F(FileExtractorTest, FifoIsNeverOpened) {
    const QString fifo = folder_.filePath(QStringLiteral("pipe.mp4"));
    const QByteArray nativeFifo = QFile::encodeName(fifo);
    ASSERT_EQ(mkfifo(nativeFifo.constData(), 0600), 0);
    auto extraction = std::async(std::launch::async, [&] { return extractor_.Extract(fifo); });
    if (extraction.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        // Something opened the fifo for reading: give it an end so the test can finish.
        close(open(nativeFifo.constData(), O_WRONLY | O_NONBLOCK));
        FAIL() << "the extraction blocked on a fifo";
    }
    const FileExtraction result = extraction.get();
    EXPECT_TRUE(result.FailedSteps().empty());
    EXPECT_TRUE(result.Cell(1).isEmpty());
    EXPECT_EQ(result.Cell(49), "0");
    EXPECT_TRUE(result.Cell(52).endsWith(QStringLiteral("; mp4")));
    EXPECT_EQ(DetailOf(result, QStringLiteral("Content type")), "inode/fifo");
}

TEST_F(FileExtractorTest, OnlyTheFilesOwnItemGivesDetails) {
    // Items that share the base name: a folder and a file with another extension.
    const QString clip = CopyMedia(QStringLiteral("h264-aac.mp4"), QStringLiteral("clip.mp4"));
    CopyMedia(QStringLiteral("not-a-video.mp4"), QStringLiteral("clip.txt"));
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("clip")));
    const FileExtraction extraction = extractor_.Extract(clip);
    EXPECT_EQ(DetailOf(extraction, QStringLiteral("Content type")), "video/mp4");
    EXPECT_TRUE(DetailOf(extraction, QStringLiteral("Size")).startsWith(QStringLiteral("6.9")));
    int contentTypes = 0;
    for (const auto& [header, text] : Details(extraction)) {
        contentTypes += header == "File General - Content type" ? 1 : 0;
    }
    EXPECT_EQ(contentTypes, 1);
}

TEST_F(FileExtractorTest, DesktopCommentComesFromExtendedAttributes) {
    const QString clip = CopyMedia(QStringLiteral("h264-aac.mp4"), QStringLiteral("tagged.mp4"));
    const QByteArray comment = "Holiday \\ 2019 – ünïcode";
    if (setxattr(QFile::encodeName(clip).constData(), "user.xdg.comment", comment.constData(),
                 static_cast<size_t>(comment.size()), 0) != 0) {
        GTEST_SKIP() << "the temporary folder keeps no user attributes";
    }
    const FileExtraction extraction = extractor_.Extract(clip);
    EXPECT_EQ(DetailOf(extraction, QStringLiteral("Comment")), QString::fromUtf8(comment));
    EXPECT_TRUE(DetailOf(extraction, QStringLiteral("Tags")).isEmpty());
}

TEST_F(FileExtractorTest, HeaderRulesOfTheShell) {
    const QString path = MediaPath(QStringLiteral("h264-aac.mp4"));
    ScriptedShell shell;
    ScriptedShell::Folder& folder = shell.folders[QStringLiteral(QUORVID_TEST_MEDIA_DIR "/")];
    folder.headers = {{0, "Name"}, {1, "Size"}, {3, "Comment"}, {5, "Comment"}, {6, "name"}};
    folder.items[path] = {{0, "h264-aac"}, {1, ""},      {2, "no header"}, {3, "first"},
                          {5, "second"},   {6, "lower"}, {40, "last slot"}};
    FileExtractor extractor(library_, shell);
    const FileExtraction extraction = extractor.Extract(path);
    EXPECT_TRUE(extraction.FailedSteps().empty());
    const std::vector<std::pair<QString, QString>> expected = {
        {"File General - Others", "no header"}, {"File General - Comment", "first"},
        {"File General - Comment", "second"},   {"File General - name", "lower"},
        {"File General - Others", "last slot"},
    };
    EXPECT_EQ(Details(extraction), expected);

    // A folder the shell cannot open: its header and item steps fail, nothing is written.
    shell.folders.clear();
    const FileExtraction unopened = extractor.Extract(path);
    EXPECT_EQ(unopened.FailedSteps(), std::vector<int>{step::extract::kOpenShellFolder});
    EXPECT_TRUE(Details(unopened).empty());
    EXPECT_EQ(unopened.Cell(1), "MPEG-4");
}

TEST(GioShell, PermissionsReadAsListingsShowThem) {
    EXPECT_EQ(PermissionsText(S_IFREG | 0644), "-rw-r--r--");
    EXPECT_EQ(PermissionsText(S_IFDIR | 01777), "drwxrwxrwt");
    EXPECT_EQ(PermissionsText(S_IFREG | 04750), "-rwsr-x---");
    EXPECT_EQ(PermissionsText(S_IFREG | 02640), "-rw-r-S---");
    EXPECT_EQ(PermissionsText(S_IFIFO | 0600), "prw-------");
    EXPECT_EQ(GioDetailHeader(0), "Name");
    EXPECT_EQ(GioDetailHeader(23), "Publisher");
    EXPECT_TRUE(GioDetailHeader(24).isEmpty());
}

}  // namespace
}  // namespace quorvid
