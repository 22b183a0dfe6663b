#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/shell/files/FileSystemObject.h"
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

}  // namespace
}  // namespace quorvid
