#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "core/shell/FileSystemObject.h"
#include "support/Unprivileged.h"

namespace quorvid {
namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

const FolderEntry* Find(const std::vector<FolderEntry>& entries, const QString& name) {
    for (const FolderEntry& entry : entries) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

TEST(FileSystemObject, AttributesOfFilesFoldersAndLinks) {
    QTemporaryDir root;
    const QDir dir(root.path());
    WriteFile(dir.filePath(QStringLiteral("clip.avi")), "x");
    WriteFile(dir.filePath(QStringLiteral(".hidden.avi")), "x");
    ASSERT_TRUE(dir.mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(dir.mkdir(QStringLiteral(".cache")));
    ASSERT_EQ(symlink("sub", QFile::encodeName(dir.filePath(QStringLiteral("link"))).constData()),
              0);

    const FileSystemObject fso;
    EXPECT_EQ(fso.Attributes(dir.filePath(QStringLiteral("clip.avi"))), 32);
    EXPECT_EQ(fso.Attributes(dir.filePath(QStringLiteral(".hidden.avi"))), 34);
    EXPECT_EQ(fso.Attributes(dir.filePath(QStringLiteral("sub"))), 16);
    EXPECT_EQ(fso.Attributes(dir.filePath(QStringLiteral(".cache"))), 18);
    EXPECT_EQ(fso.Attributes(dir.filePath(QStringLiteral("link"))), 1040);

    const std::vector<FolderEntry> entries = fso.ReadFolder(root.path());
    EXPECT_EQ(entries.size(), 5u);
    ASSERT_NE(Find(entries, QStringLiteral("link")), nullptr);
    EXPECT_EQ(Find(entries, QStringLiteral("link"))->attributes, 1040);
    EXPECT_EQ(Find(entries, QStringLiteral(".hidden.avi"))->attributes, 34);
    const std::vector<FolderEntry> folders = fso.SubFolders(root.path());
    EXPECT_EQ(folders.size(), 3u);
    EXPECT_EQ(Find(folders, QStringLiteral("clip.avi")), nullptr);

    try {
        fso.ReadFolder(dir.filePath(QStringLiteral("gone")));
        FAIL() << "a missing folder was listed";
    } catch (const FileSystemError& error) {
        EXPECT_EQ(error.code(), FileSystemError::kPathNotFound);
    }
    try {
        fso.ReadFolder(dir.filePath(QStringLiteral("clip.avi")));
        FAIL() << "a file was listed as a folder";
    } catch (const FileSystemError& error) {
        EXPECT_EQ(error.code(), FileSystemError::kPathNotFound);
    }
    EXPECT_THROW(fso.Attributes(dir.filePath(QStringLiteral("gone"))), FileSystemError);
    EXPECT_TRUE(fso.IsRootFolder(QStringLiteral("/")));
    EXPECT_FALSE(fso.IsRootFolder(dir.filePath(QStringLiteral("sub"))));
}

TEST(FileSystemObject, AFolderWithoutPermissionIsError70) {
    QTemporaryDir root;
    QFile::setPermissions(root.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther);
    const QString locked = root.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(locked));
    QFile::setPermissions(locked, QFileDevice::Permissions());
    {
        // Root reads every folder; as another user the permission applies.
        test::Unprivileged unprivileged;
        if (!unprivileged.effective()) {
            GTEST_SKIP() << "cannot give up root here, so permission cannot be denied";
        }
        try {
            FileSystemObject().ReadFolder(locked);
            ADD_FAILURE() << "a locked folder was listed";
        } catch (const FileSystemError& error) {
            EXPECT_EQ(error.code(), FileSystemError::kPermissionDenied);
        }
    }
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(FileSystemObject, NamesThatAreNotTextAreMarked) {
    QTemporaryDir root;
    const QByteArray badName = QFile::encodeName(root.path()) + "/bad\xff\xfename.avi";
    WriteFile(QFile::decodeName(QFile::encodeName(root.path()) + "/good.avi"), "x");
    FILE* file = std::fopen(badName.constData(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    const std::vector<FolderEntry> entries = FileSystemObject().ReadFolder(root.path());
    ASSERT_EQ(entries.size(), 2u);
    for (const FolderEntry& entry : entries) {
        EXPECT_EQ(entry.validText, entry.name == QStringLiteral("good.avi"))
            << entry.name.toStdString();
    }
}

TEST(FileSystemObject, FileFacts) {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("notes ü.txt"));
    WriteFile(path, "hello world");
    const FileSystemObject fso;
    const FileItem item = fso.GetFile(path);
    EXPECT_EQ(item.Name, QStringLiteral("notes ü.txt"));
    EXPECT_EQ(item.ShortName, item.Name);
    EXPECT_EQ(item.Size, QStringLiteral("11"));
    EXPECT_EQ(item.Path, path);
    EXPECT_EQ(item.ShortPath, path);
    EXPECT_EQ(item.ParentFolder, root.path());
    EXPECT_FALSE(item.ParentFolder.endsWith(QLatin1Char('/')));
    EXPECT_FALSE(item.DateLastModified.isEmpty());
    EXPECT_FALSE(item.Drive.isEmpty());
    EXPECT_EQ(item.Type, QStringLiteral("plain text document"));
    EXPECT_EQ(fso.GetExtensionName(path), QStringLiteral("txt"));
    EXPECT_EQ(fso.GetExtensionName(QStringLiteral("/a.b/noext")), QString());
    EXPECT_EQ(fso.GetExtensionName(QStringLiteral("/a/clip.tar.gz")), QStringLiteral("gz"));

    EXPECT_THROW(fso.GetFile(root.filePath(QStringLiteral("gone.mp4"))), StepFailure);
    EXPECT_THROW(fso.GetFile(root.path()), StepFailure);
}

TEST(FileSystemObject, DriveIsTheRootFolderWhereTheRootIsNoMountPoint) {
    // Inside a chroot "/" is a plain folder of the outer file system: the mount
    // table shows only what was mounted within, here /proc. The child process
    // looks from there, at a table made to match.
    QTemporaryDir root;
    WriteFile(root.filePath(QStringLiteral("clip.txt")), "x");
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("proc/self")));
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("etc")));
    WriteFile(root.filePath(QStringLiteral("proc/self/mountinfo")),
              "22 1 0:21 / /proc rw,relatime shared:12 - proc proc rw\n");
    WriteFile(root.filePath(QStringLiteral("etc/mtab")), "proc /proc proc rw 0 0\n");
    const QByteArray nativeRoot = QFile::encodeName(root.path());
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(channel[0]);
        QByteArray answer = "(no chroot)";
        if (chroot(nativeRoot.constData()) == 0 && chdir("/") == 0) {
            try {
                answer = FileSystemObject().GetFile(QStringLiteral("/clip.txt")).Drive.toUtf8();
            } catch (const std::exception&) {
                answer = "(no file item)";
            }
        }
        const ssize_t written = write(channel[1], answer.constData(), answer.size());
        _exit(written == answer.size() ? 0 : 1);
    }
    close(channel[1]);
    QByteArray answer;
    char buffer[256];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;) {
        answer.append(buffer, got);
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (answer == "(no chroot)") {
        GTEST_SKIP() << "cannot change the root folder here";
    }
    EXPECT_EQ(answer, QByteArray("/"));
}

TEST(FileSystemObject, DateCellsKeepNothingOfTheDroppedTimeZone) {
    const QDateTime moment(QDate(2026, 12, 8), QTime(9, 15, 1));
    const QRegularExpression emptyBrackets(QStringLiteral("[(\\[（［]\\s*[)\\]）］]"));
    for (const QLocale& locale : QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                          QLocale::AnyTerritory)) {
        const QString cell = RegionalDateTimeText(moment, locale);
        const std::string context = locale.name().toStdString() + ": " + cell.toStdString();
        ASSERT_GE(cell.size(), 2) << context;
        EXPECT_FALSE(cell.contains(emptyBrackets)) << context;
        // Final punctuation may only end a word of the locale's own, such as
        // "A.M." or the Tibetan syllable mark; never a comma or a bracket.
        const QChar last = cell.back();
        const QChar beforeLast = cell.at(cell.size() - 2);
        if (last.isPunct()) {
            EXPECT_TRUE(!QStringLiteral(",;:)]）］").contains(last) &&
                        (beforeLast.isLetter() || beforeLast.isMark()))
                << context;
        }
    }
    const auto cellIn = [&](const char* name) {
        return RegionalDateTimeText(moment, QLocale(QString::fromLatin1(name)));
    };
    EXPECT_EQ(cellIn("ca_ES"), QStringLiteral("8/12/26 9:15:01"));
    EXPECT_EQ(cellIn("be_BY"), QStringLiteral("8.12.26 09:15:01"));
    EXPECT_EQ(cellIn("sq_AL"), QStringLiteral("8.12.26 9:15:01 E PARADITES"));
    EXPECT_EQ(cellIn("nds_DE"), QStringLiteral("8.12.26 Klock 9.15:01"));
    EXPECT_EQ(cellIn("bg_BG"), QString::fromUtf8("8.12.26 г. 9:15:01 ч."));
    EXPECT_EQ(cellIn("zh_TW"), QString::fromUtf8("2026/12/8 上午9:15:01"));
    EXPECT_EQ(cellIn("en_US"), QStringLiteral("12/8/26 9:15:01 AM"));
}

TEST(FileSystemObject, TextFileLinesEndInCrLfAndAFailedFileLeavesTheOldOne) {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("out.txt"));
    WriteFile(path, "old");
    const FileSystemObject fso;
    {
        auto stream = fso.CreateTextFile(path);
        stream->WriteLine(QStringLiteral("A\tü"));
        // Not closed: the old file must stay as it was.
    }
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
    old.close();

    auto stream = fso.CreateTextFile(path);
    stream->WriteLine(QStringLiteral("A\tü"));
    stream->WriteLine(QString());
    stream->Close();
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("A\t\xc3\xbc\r\n\r\n"));
    EXPECT_THROW(stream->WriteLine(QStringLiteral("late")), StepFailure);

    EXPECT_THROW(fso.CreateTextFile(root.path()), StepFailure);
    EXPECT_THROW(fso.CreateTextFile(root.filePath(QStringLiteral("no/such/folder.txt"))),
                 StepFailure);
}

}  // namespace
}  // namespace quorvid
