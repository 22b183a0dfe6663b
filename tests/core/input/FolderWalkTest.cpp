#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <algorithm>
#include <utility>
#include <vector>

#include "core/input/FileListing.h"
#include "core/input/FolderWalk.h"
#include "core/shell/report/ErrorReport.h"
#include "core/shell/report/ProcedureLocations.h"
#include "core/shell/report/ReportSteps.h"
#include "support/FolderTree.h"
#include "support/TestPlatform.h"

namespace quorvid {
namespace {

using test::FolderTree;
using test::Relative;

QStringList Walk(test::TestPlatform& test, const QString& root) {
    FolderQueue queue{root + QLatin1Char('/')};
    GetSubDirectories2016(test.events, WalkErrorReport(test.dialogs), queue, true);
    return QStringList(queue.begin(), queue.end());
}

using Failures = std::vector<std::pair<int, QString>>;

// A walk whose failed steps are gathered, as quorvid-batch gathers them.
QStringList WalkGathering(test::TestPlatform& test, const QString& root, Failures& failures) {
    FolderQueue queue{root + QLatin1Char('/')};
    GetSubDirectories2016(test.events, WalkFailuresTo([&](int step, const QString& description) {
                              failures.emplace_back(step, description);
                          }),
                          queue, true);
    return QStringList(queue.begin(), queue.end());
}

// How often a walk of the tree yields.
int YieldsOfWalk(const QString& root) {
    test::TestPlatform quiet;
    Walk(quiet, root);
    return quiet.events.count;
}

QStringList Names(const FileNameArray& names) {
    QStringList result;
    for (int i = 1; i <= names.UBound(); ++i) {
        result << names(i);
    }
    result.sort();
    return result;
}

TEST(FolderWalk, QueuesLevelByLevelAndWalksEveryFolderOnce) {
    FolderTree tree;
    tree.file(QStringLiteral("one/deep/deeper/d.avi"));
    tree.file(QStringLiteral("two/inner/f.avi"));
    // A link back to the top and one to a sibling: both lead to folders already queued.
    tree.link(QStringLiteral("one/deep/back"), tree.root());
    tree.link(QStringLiteral("two/again"), tree.path(QStringLiteral("one")));
    test::TestPlatform test;

    const QStringList queue = Relative(Walk(test, tree.root()), tree.root());

    ASSERT_EQ(queue.size(), 6) << queue.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(queue[0], QString());
    EXPECT_EQ(QStringList(queue.mid(1, 2)).count(QStringLiteral("one/")), 1);
    EXPECT_EQ(QStringList(queue.mid(1, 2)).count(QStringLiteral("two/")), 1);
    // The second level follows the order of the first.
    const bool oneFirst = queue[1] == QStringLiteral("one/");
    EXPECT_EQ(queue[oneFirst ? 3 : 4], QStringLiteral("one/deep/"));
    EXPECT_EQ(queue[oneFirst ? 4 : 3], QStringLiteral("two/inner/"));
    EXPECT_EQ(queue[5], QStringLiteral("one/deep/deeper/"));
    EXPECT_GE(test.events.count, 6);
    EXPECT_TRUE(test.dialogs.shown.empty());
}

TEST(FolderWalk, FoldersThatCannotBeListedLeaveTheQueueSilently) {
    FolderTree tree;
    tree.file(QStringLiteral("open/a.avi"));
    tree.file(QStringLiteral("locked/inside/b.avi"));
    chmod(QFile::encodeName(tree.path(QStringLiteral("locked"))).constData(), 0);
    test::TestPlatform test;

    QStringList queue;
    {
        test::Unprivileged unprivileged;
        if (!unprivileged.effective()) {
            GTEST_SKIP() << "cannot drop privileges";
        }
        queue = Relative(Walk(test, tree.root()), tree.root());
        EXPECT_EQ(
            ListFilesInFolder(tree.path(QStringLiteral("locked")), QStringLiteral("*.*")).UBound(),
            0);
    }
    chmod(QFile::encodeName(tree.path(QStringLiteral("locked"))).constData(), 0755);

    EXPECT_EQ(queue, QStringList({QString(), QStringLiteral("open/")}));
    EXPECT_TRUE(test.dialogs.shown.empty());

    // A chosen folder that has gone leaves nothing to list, and says nothing either.
    QStringList gone = Walk(test, tree.path(QStringLiteral("missing")));
    EXPECT_TRUE(gone.isEmpty() || gone == QStringList{tree.path(QStringLiteral("missing/"))});
    EXPECT_TRUE(test.dialogs.shown.empty());
}

TEST(FolderWalk, WalksFoldersWhosePathsAreLongerThanWindowsAllows) {
    FolderTree tree;
    const QString level(120, QLatin1Char('n'));
    const QString deepest = level + QLatin1Char('/') + level + QLatin1Char('/') + level;
    tree.file(deepest + QStringLiteral("/clip.avi"));
    ASSERT_GT(tree.path(deepest).size(), 360);
    test::TestPlatform test;

    const QStringList queue = Relative(Walk(test, tree.root()), tree.root());

    ASSERT_EQ(queue.size(), 4);
    EXPECT_EQ(queue.last(), deepest + QLatin1Char('/'));
}

TEST(FolderWalk, SkipsFolderNamesThatAreNotSafeText) {
    FolderTree tree;
    const QByteArray broken = tree.native("bad\xff");
    ASSERT_EQ(mkdir(broken.constData(), 0755), 0);
    ASSERT_EQ(mkdir((broken + "/below").constData(), 0755), 0);
    tree.folder(QStringLiteral("tab\there"));
    tree.folder(QStringLiteral("what?"));
    tree.folder(QString::fromUtf8("Видео"));
    test::TestPlatform test;

    const QStringList queue = Relative(Walk(test, tree.root()), tree.root());

    EXPECT_EQ(queue, QStringList({QString(), QString::fromUtf8("Видео/")}));
}

TEST(FolderWalk, AFailedStepGoesToTheCallersReportWithItsNumberAndTheWalkGoesOn) {
    FolderTree tree;
    tree.folder(QStringLiteral("only"));
    // The last yield of a walk is the one before its last folder found is queued.
    const int lastYield = YieldsOfWalk(tree.root());
    test::TestPlatform test;
    test.events.onYield = [&](int count) {
        if (count == lastYield) {
            throw StepFailure(QStringLiteral("no events now"));
        }
    };

    Failures failures;
    const QStringList queue = Relative(WalkGathering(test, tree.root(), failures), tree.root());

    EXPECT_EQ(failures, (Failures{{step::folderWalk::kYield, QStringLiteral("no events now")}}));
    EXPECT_EQ(queue, QStringList({QString(), QStringLiteral("only/")}));
    EXPECT_TRUE(test.dialogs.shown.empty());

    // The window's report shows the same failure as a box at the walk's location.
    test.events.count = 0;
    EXPECT_EQ(Relative(Walk(test, tree.root()), tree.root()), queue);
    EXPECT_EQ(test.dialogs.Warnings(),
              QStringList{ApplicationErrorMessage(
                  QString::fromLatin1(location::kGetSubDirectories2016), step::folderWalk::kYield,
                  QStringLiteral("no events now"))});
}

// quorvid-batch stops a walk from its yields (Ctrl+C) with an exception that is
// no std::exception: neither a folder's listing nor a step may take it for a failure.
TEST(FolderWalk, AnInterruptAtAnyYieldEndsTheWalkThere) {
    struct Interrupted {};
    FolderTree tree;
    tree.folder(QStringLiteral("one/deep"));
    tree.folder(QStringLiteral("two"));
    const int yields = YieldsOfWalk(tree.root());
    ASSERT_GE(yields, 8);
    for (int at = 1; at <= yields; ++at) {
        test::TestPlatform test;
        test.events.onYield = [at](int count) {
            if (count == at) {
                throw Interrupted{};
            }
        };
        Failures failures;
        EXPECT_THROW(WalkGathering(test, tree.root(), failures), Interrupted) << "yield " << at;
        EXPECT_EQ(test.events.count, at);
        EXPECT_TRUE(failures.empty()) << "yield " << at;
    }
}

TEST(FileListing, MatchesLikeTheWindowsSearchAndKeepsOnlyOpenableFiles) {
    FolderTree tree;
    for (const char* name : {"A.AVI", "b.avi", "c.avi.txt", "README", ".hidden.avi"}) {
        tree.file(QString::fromLatin1(name));
    }
    tree.folder(QStringLiteral("sub.avi"));
    ASSERT_EQ(mkfifo(QFile::encodeName(tree.path(QStringLiteral("pipe.avi"))).constData(), 0644),
              0);
    const QByteArray broken = tree.native("\xfe.avi");
    FILE* out = fopen(broken.constData(), "w");
    ASSERT_NE(out, nullptr);
    fclose(out);

    EXPECT_EQ(Names(ListFilesInFolder(tree.root(), QStringLiteral("*.avi"))),
              QStringList({QStringLiteral(".hidden.avi"), QStringLiteral("A.AVI"),
                           QStringLiteral("b.avi")}));
    EXPECT_EQ(Names(ListFilesInFolder(tree.root() + QLatin1Char('/'), QStringLiteral("*.*"))),
              QStringList({QStringLiteral(".hidden.avi"), QStringLiteral("A.AVI"),
                           QStringLiteral("README"), QStringLiteral("b.avi"),
                           QStringLiteral("c.avi.txt")}));

    const FileNameArray none =
        ListFilesInFolder(tree.path(QStringLiteral("sub.avi")), QStringLiteral("*.*"));
    EXPECT_EQ(none.UBound(), 0);
    EXPECT_EQ(none(0), QString());
    EXPECT_EQ(
        ListFilesInFolder(tree.path(QStringLiteral("missing")), QStringLiteral("*.*")).UBound(), 0);

    // More names than the first allotment and its first growth.
    for (int i = 0; i < 163; ++i) {
        tree.file(QStringLiteral("many/%1.mp4").arg(i));
    }
    const FileNameArray many =
        ListFilesInFolder(tree.path(QStringLiteral("many")), QStringLiteral("*.mp4"));
    ASSERT_EQ(many.UBound(), 163);
    QStringList all = Names(many);
    all.removeDuplicates();
    EXPECT_EQ(all.size(), 163);
}

TEST(FileListing, WildcardAndUnsafeCharacterRules) {
    EXPECT_TRUE(MatchesWildcard(QStringLiteral("clip.avi"), QStringLiteral("*.AVI")));
    EXPECT_FALSE(MatchesWildcard(QStringLiteral("clip.avi.bak"), QStringLiteral("*.avi")));
    EXPECT_FALSE(MatchesWildcard(QStringLiteral("clipavi"), QStringLiteral("*.avi")));
    EXPECT_TRUE(MatchesWildcard(QStringLiteral("README"), QStringLiteral("*.*")));
    EXPECT_TRUE(MatchesWildcard(QStringLiteral("README"), QStringLiteral("*")));
    EXPECT_TRUE(MatchesWildcard(QStringLiteral("a.mp4"), QStringLiteral("*.mp?")));
    EXPECT_FALSE(MatchesWildcard(QStringLiteral("a.mp"), QStringLiteral("*.mp?")));
    EXPECT_TRUE(MatchesWildcard(QStringLiteral("a.b.c.avi"), QStringLiteral("*.*.avi")));
    EXPECT_TRUE(MatchesWildcard(QString::fromUtf8("ÉTÉ.AVI"), QString::fromUtf8("été.avi")));

    EXPECT_TRUE(HasUnsafeCharacters(QStringLiteral("a\x1f")));
    EXPECT_TRUE(HasUnsafeCharacters(QString(QChar(0x7f))));
    EXPECT_TRUE(HasUnsafeCharacters(QStringLiteral("x") + QChar(0x9f)));
    EXPECT_TRUE(HasUnsafeCharacters(QStringLiteral("why?")));
    EXPECT_FALSE(HasUnsafeCharacters(QString::fromUtf8("Видео ½ (2021)")));
    EXPECT_FALSE(HasUnsafeCharacters(QString(QChar(0xa0))));
    FolderEntry broken{QStringLiteral("fine looking"), false, attribute::kDirectory};
    EXPECT_TRUE(HasUnsafeCharacters(broken));

    EXPECT_FALSE(IsWalkableFolder(22, false));
    EXPECT_FALSE(IsWalkableFolder(1046, false));
    EXPECT_TRUE(IsWalkableFolder(22, true));
    EXPECT_TRUE(IsWalkableFolder(1046, true));
    EXPECT_TRUE(IsWalkableFolder(54, false));
    EXPECT_TRUE(IsWalkableFolder(16 + 1024, false));
    EXPECT_TRUE(IsWalkableFolder(18, false));
}

TEST(FileListing, FolderAndOpenableTests) {
    FolderTree tree;
    const QString file = tree.file(QStringLiteral("f.avi"));
    const QString folder = tree.folder(QStringLiteral("d"));
    tree.link(QStringLiteral("to-d"), folder);
    tree.link(QStringLiteral("dangling"), tree.path(QStringLiteral("nowhere")));

    EXPECT_TRUE(IsFolder(folder));
    EXPECT_TRUE(IsFolder(tree.path(QStringLiteral("to-d"))));
    EXPECT_FALSE(IsFolder(file));
    EXPECT_FALSE(IsFolder(tree.path(QStringLiteral("dangling"))));
    EXPECT_FALSE(IsFolder(tree.path(QStringLiteral("nowhere"))));

    EXPECT_TRUE(IsOpenableFile(file));
    EXPECT_FALSE(IsOpenableFile(folder));
    EXPECT_FALSE(IsOpenableFile(tree.path(QStringLiteral("dangling"))));
}

}  // namespace
}  // namespace quorvid
