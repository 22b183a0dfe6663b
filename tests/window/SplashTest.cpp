#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>

#include "core/shell/platform/DevelopmentRun.h"
#include "core/shell/report/StepFailure.h"
#include "support/TestPlatform.h"
#include "window/Form1.h"
#include "window/Splash.h"

namespace quorvid {
namespace {

struct SplashRun {
    SplashRun() {
        QDir().mkpath(test.folder.filePath(QStringLiteral("Splash")));
        test.clock.advancePerRead = 0.05;
        test.events.onYield = [this](int) { visibleAtYields.push_back(splash.isVisible()); };
    }
    void Picture(const QString& name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        ASSERT_TRUE(image.save(test.folder.filePath(QStringLiteral("Splash/") + name)));
    }
    QString ShowAgain() {
        return test.settings->GetSetting(QStringLiteral("ShowAgain"), QStringLiteral("(absent)"));
    }

    test::TestPlatform test;
    Splash splash{test.platform};
    std::vector<bool> visibleAtYields;
};

TEST(Splash, ShowsThePictureFramedForItsTime) {
    SplashRun run;
    run.Picture(QStringLiteral("picture.png"), 200, 100);  // 3000 by 1500 twips
    const double start = run.test.clock.seconds;

    run.splash.SplashShow();

    EXPECT_EQ(run.splash.SizeTwips(), QSize(3000, 1800));
    EXPECT_EQ(run.splash.size(), QSize(200, 120));
    EXPECT_EQ(run.splash.windowTitle(), QStringLiteral("Quorvid"));
    const auto line = [&](int n) {
        const Splash::FrameLine& l = run.splash.Line(n);
        return std::vector<int>{l.x1, l.y1, l.x2, l.y2};
    };
    EXPECT_EQ(line(1), (std::vector<int>{0, 0, 0, 10000}));
    EXPECT_EQ(line(2), (std::vector<int>{0, 0, 10000, 0}));
    EXPECT_EQ(line(3), (std::vector<int>{2990, 0, 2990, 10000}));
    EXPECT_EQ(line(4), (std::vector<int>{0, 1790, 10000, 1790}));
    EXPECT_EQ(run.splash.Check1TopTwips(),
              1800 - run.splash.Check1->sizeHint().height() * Splash::kTwipsPerPixel - 20);
    EXPECT_FALSE(run.splash.Check1->isChecked());
    EXPECT_EQ(run.splash.Check1->text(), QStringLiteral("Hide this at next startup"));

    const double wanted =
        IsDevelopmentRun() ? Splash::kDevelopmentDisplaySeconds : Splash::kDisplaySeconds;
    const double waited = run.test.clock.seconds - start;
    EXPECT_GE(waited, wanted);
    EXPECT_LT(waited, wanted + 0.2);
    ASSERT_FALSE(run.visibleAtYields.empty());
    EXPECT_TRUE(std::all_of(run.visibleAtYields.begin(), run.visibleAtYields.end(),
                            [](bool visible) { return visible; }));
    EXPECT_FALSE(run.splash.isVisible());
    EXPECT_EQ(run.ShowAgain(), QStringLiteral("(absent)"));
}

TEST(Splash, ShowAgainDecidesAndAClickIsStoredAtOnce) {
    SplashRun run;
    run.Picture(QStringLiteral("picture.png"), 40, 30);
    QStringList storedAtYields;
    run.test.events.onYield = [&](int count) {
        if (count == 1 || count == 2) {
            run.splash.Check1->click();
        }
        storedAtYields << run.ShowAgain();
    };

    run.splash.SplashShow();
    ASSERT_GE(storedAtYields.size(), 3);
    EXPECT_EQ(storedAtYields[0], QStringLiteral("1"));
    EXPECT_EQ(storedAtYields[1], QStringLiteral("0"));
    EXPECT_EQ(run.ShowAgain(), QStringLiteral("0"));

    run.test.settings->SaveSetting(QStringLiteral("ShowAgain"), QStringLiteral("1"));
    const int yields = run.test.events.count;
    run.splash.SplashShow();
    EXPECT_EQ(run.test.events.count, yields);

    run.test.settings->SaveSetting(QStringLiteral("ShowAgain"), QStringLiteral("yes"));
    EXPECT_THROW(run.splash.SplashShow(), StepFailure);
    EXPECT_EQ(run.test.events.count, yields);
}

TEST(Splash, NoPictureMeansNoSplashAndADamagedOneFails) {
    SplashRun run;
    run.splash.SplashShow();  // empty folder
    QDir().mkpath(run.test.folder.filePath(QStringLiteral("Splash/folder.png")));
    run.Picture(QStringLiteral(".hidden.png"), 10, 10);
    run.splash.SplashShow();
    EXPECT_EQ(run.test.events.count, 0);

    QFile damaged(run.test.folder.filePath(QStringLiteral("Splash/damaged.png")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("\x89PNG not really");
    damaged.close();
    EXPECT_THROW(run.splash.SplashShow(), StepFailure);
    EXPECT_FALSE(run.splash.isVisible());

    SplashRun noFolder;
    QDir(noFolder.test.folder.filePath(QStringLiteral("Splash"))).removeRecursively();
    noFolder.splash.SplashShow();
    EXPECT_EQ(noFolder.test.events.count, 0);
}

TEST(Splash, AWaitThatPassesMidnightEndsThere) {
    SplashRun run;
    run.Picture(QStringLiteral("picture.png"), 40, 30);
    run.test.clock.seconds = 86399.9;
    run.test.clock.advancePerRead = 0;
    run.test.events.onYield = [&](int) { run.test.clock.seconds = 0.2; };

    run.splash.SplashShow();

    EXPECT_EQ(run.test.events.count, 1);
    EXPECT_FALSE(run.splash.isVisible());
}

TEST(Splash, AShowAgainThatIsNoNumberIsReportedAndStartUpGoesOn) {
    test::TestPlatform test;
    test.settings->SaveSetting(QStringLiteral("ShowAgain"), QStringLiteral("abc"));
    Form1 form(test.platform);
    form.Form_Load();

    const QStringList reports = test.dialogs.Warnings();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(
        reports[0].contains(QStringLiteral("in Quorvidex2021/08/31.Form1.Form_Load at line ")));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quorvid"));
    EXPECT_EQ(form.ListView1Items().ColumnCount(), 1);
}

TEST(Splash, TheShippedPictureLoads) {
    QDir folder(QStringLiteral(QUORVID_SOURCE_DIR "/beside/Splash"));
    const QStringList pictures = folder.entryList(QDir::Files);
    ASSERT_FALSE(pictures.isEmpty());
    for (const QString& name : pictures) {
        EXPECT_FALSE(QPixmap(folder.filePath(name)).isNull()) << name.toStdString();
    }
}

}  // namespace
}  // namespace quorvid
