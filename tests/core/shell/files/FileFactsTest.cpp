#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/shell/files/FileFacts.h"
#include "core/shell/report/StepFailure.h"

namespace quorvid {
namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(FileFacts, NameSizeFolderDatesDriveAndType) {
    QTemporaryDir root;
    const QString path = root.filePath(QStringLiteral("notes ü.txt"));
    WriteFile(path, "hello world");
    const FileFacts facts;
    const FileItem item = facts.GetFile(path);
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
    EXPECT_EQ(facts.GetExtensionName(path), QStringLiteral("txt"));
    EXPECT_EQ(facts.GetExtensionName(QStringLiteral("/a.b/noext")), QString());
    EXPECT_EQ(facts.GetExtensionName(QStringLiteral("/a/clip.tar.gz")), QStringLiteral("gz"));

    EXPECT_THROW(facts.GetFile(root.filePath(QStringLiteral("gone.mp4"))), StepFailure);
    EXPECT_THROW(facts.GetFile(root.path()), StepFailure);
}

TEST(FileFacts, DriveIsTheRootFolderWhereTheRootIsNoMountPoint) {
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
                answer = FileFacts().GetFile(QStringLiteral("/clip.txt")).Drive.toUtf8();
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

}  // namespace
}  // namespace quorvid
