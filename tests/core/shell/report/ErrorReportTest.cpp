#include <gtest/gtest.h>

#include "core/shell/report/ErrorReport.h"
#include "support/ScriptedDialogs.h"

namespace quorvid {
namespace {

TEST(ErrorReport, MessageLayoutIsExact) {
    EXPECT_EQ(ApplicationErrorMessage(QStringLiteral("in X.Form1.Form_Load "), 104,
                                      QStringLiteral("File not found")),
              QStringLiteral("File not found\r\nin X.Form1.Form_Load at line 104\r\rPlease email "
                             "screenshot of this message to support@tallowin.example"));
    // An empty description starts the message with its line break.
    EXPECT_TRUE(ApplicationErrorMessage(QStringLiteral("in Y "), 100, QString())
                    .startsWith(QStringLiteral("\r\nin Y at line 100\r\r")));
}

TEST(ErrorReport, ShownWithTitleAndWarning) {
    test::ScriptedDialogs dialogs;
    ShowApplicationError(dialogs, QStringLiteral("in Z "), 110, QStringLiteral("boom"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, test::ScriptedDialogs::Kind::Warning);
    EXPECT_EQ(dialogs.shown[0].title, QStringLiteral("Application Error"));
}

void FailingRoutine() {
    throw StepFailure(QStringLiteral("deep failure"));
}

TEST(ReportingProcedure, EveryFailingStepIsReportedAndTheProcedureGoesOn) {
    test::ScriptedDialogs dialogs;
    ReportingProcedure procedure(dialogs, QStringLiteral("in P "));
    QStringList ran;
    for (int step = 100; step <= 106; step += 2) {
        procedure.Step(step, [&] {
            ran << QString::number(step);
            throw StepFailure(QStringLiteral("step %1").arg(step));
        });
    }
    // A failure inside a called routine counts as the calling step's.
    procedure.Step(110, [] { FailingRoutine(); });
    // Failures of the standard library are reported too.
    procedure.Step(112, [] { throw std::out_of_range("range"); });
    EXPECT_EQ(ran, (QStringList{"100", "102", "104", "106"}));
    const QStringList warnings = dialogs.Warnings();
    ASSERT_EQ(warnings.size(), 6);
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("step 100\r\nin P at line 100\r\r")));
    EXPECT_TRUE(warnings[3].contains(QStringLiteral("at line 106")));
    EXPECT_TRUE(warnings[4].startsWith(QStringLiteral("deep failure\r\nin P at line 110")));
    EXPECT_TRUE(warnings[5].startsWith(QStringLiteral("range\r\n")));
    EXPECT_EQ(procedure.reportCount(), 6);
}

TEST(ReportingProcedure, AFailedTestEntersTheBlockItGuards) {
    test::ScriptedDialogs dialogs;
    ReportingProcedure procedure(dialogs, QStringLiteral("in P "));
    EXPECT_FALSE(procedure.Test(100, [] { return false; }));
    EXPECT_TRUE(procedure.Test(102, [] { return true; }));
    EXPECT_TRUE(procedure.Test(104, []() -> bool { throw StepFailure(QStringLiteral("x")); }));
    EXPECT_EQ(dialogs.Warnings().size(), 1);

    // A loop head that fails runs its body once and goes on.
    int passes = 0;
    bool entered = false;
    for (int i = 0; procedure.Test(106,
                                   [&]() -> bool {
                                       if (entered) {
                                           return false;
                                       }
                                       entered = true;
                                       throw StepFailure(QStringLiteral("count unknown"));
                                   });
         ++i) {
        ++passes;
    }
    EXPECT_EQ(passes, 1);
    EXPECT_TRUE(dialogs.Warnings().last().contains(QStringLiteral("at line 106")));
}

TEST(ReportingProcedure, AfterTwentyReportsTheRestAreSummedUpAtTheEnd) {
    test::ScriptedDialogs dialogs;
    int ran = 0;
    {
        ReportingProcedure procedure(dialogs, QStringLiteral("in P "));
        for (int step = 100; step < 100 + 2 * 27; step += 2) {
            procedure.Step(step, [&] {
                ++ran;
                throw StepFailure(QStringLiteral("failure %1").arg(step));
            });
        }
        EXPECT_EQ(dialogs.Warnings().size(), 20);
    }
    EXPECT_EQ(ran, 27);
    const QStringList warnings = dialogs.Warnings();
    ASSERT_EQ(warnings.size(), 21);
    EXPECT_TRUE(warnings[19].startsWith(QStringLiteral("failure 138\r\n")));
    const QString summary = warnings[20];
    EXPECT_TRUE(summary.startsWith(QStringLiteral("7 more failures were not shown")));
    EXPECT_TRUE(summary.contains(QStringLiteral("line 140: failure 140")));
    EXPECT_TRUE(summary.contains(QStringLiteral("line 148: failure 148")));
    EXPECT_FALSE(summary.contains(QStringLiteral("failure 150")));
    EXPECT_TRUE(summary.contains(QStringLiteral("\r\nin P at line 140\r\r")));

    // Summed up early, the summary is not shown again at the end.
    dialogs.shown.clear();
    {
        ReportingProcedure procedure(dialogs, QStringLiteral("in P "));
        for (int step = 100; step < 100 + 2 * 21; step += 2) {
            procedure.Step(step, [] { throw StepFailure(QStringLiteral("again")); });
        }
        procedure.ReportUnshownFailures();
        ASSERT_EQ(dialogs.Warnings().size(), 21);
        EXPECT_TRUE(
            dialogs.Warnings().last().startsWith(QStringLiteral("1 more failure was not shown")));
    }
    EXPECT_EQ(dialogs.Warnings().size(), 21);
}

}  // namespace
}  // namespace quorvid
