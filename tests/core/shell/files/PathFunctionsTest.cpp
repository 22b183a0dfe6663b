#include <gtest/gtest.h>

#include "core/shell/files/PathFunctions.h"

namespace quorvid {
namespace {

TEST(PathFunctions, RemoveDoubleBackslashes) {
    EXPECT_EQ(RemoveDoubleBackslashes(QStringLiteral("/home//videos//a.avi")),
              QStringLiteral("/home/videos/a.avi"));
    // A root folder joined with a separator comes out with one.
    EXPECT_EQ(RemoveDoubleBackslashes(QStringLiteral("//a.avi")), QStringLiteral("/a.avi"));
    // A leading run of any length becomes the one root separator.
    EXPECT_EQ(RemoveDoubleBackslashes(QStringLiteral("////srv/a.avi")),
              QStringLiteral("/srv/a.avi"));
    EXPECT_EQ(RemoveDoubleBackslashes(QStringLiteral("/srv/a.avi")), QStringLiteral("/srv/a.avi"));
    // One pass that does not look again at what it wrote: three become two.
    EXPECT_EQ(RemoveDoubleBackslashes(QStringLiteral("/a///b")), QStringLiteral("/a//b"));
    EXPECT_EQ(RemoveDoubleBackslashes(QStringLiteral("a////b")), QStringLiteral("a//b"));
    EXPECT_EQ(RemoveDoubleBackslashes(QStringLiteral("videos/a.avi")),
              QStringLiteral("videos/a.avi"));
    EXPECT_EQ(RemoveDoubleBackslashes(QString()), QString());
    // A backslash is an ordinary character of a name here.
    EXPECT_EQ(RemoveDoubleBackslashes(QStringLiteral("/a\\\\b")), QStringLiteral("/a\\\\b"));
}

TEST(PathFunctions, NamesAndFolders) {
    EXPECT_EQ(FileNameFromPath(QStringLiteral("/videos/clip.mp4")), QStringLiteral("clip.mp4"));
    EXPECT_EQ(FileNameFromPath(QStringLiteral("clip.mp4")), QStringLiteral("clip.mp4"));
    EXPECT_EQ(FileNameFromPath(QStringLiteral("/videos/")), QString());
    EXPECT_EQ(FileNameFromPath(QString()), QString());
    EXPECT_EQ(FolderFromPath(QStringLiteral("/videos/clip.mp4")), QStringLiteral("/videos/"));
    EXPECT_EQ(FolderFromPath(QStringLiteral("/clip.mp4")), QStringLiteral("/"));
    EXPECT_EQ(FolderFromPath(QStringLiteral("clip.mp4")), QString());
}

}  // namespace
}  // namespace quorvid
