#include <gtest/gtest.h>

#include "core/shell/report/ReportSteps.h"

namespace quorvid {
namespace {

// Users quote these numbers in their reports, and the names hide them from the
// tests that use them: a renumbering would pass everywhere else unseen.
TEST(ReportStepsTest, TheNumbersUsersQuoteStayAsTheyShipped) {
    EXPECT_EQ(step::extract::kCountFiles, 118);
    EXPECT_EQ(step::extract::kReadPath, 120);
    EXPECT_EQ(step::extract::kNewHandle, 130);
    EXPECT_EQ(step::extract::kOpenFile, 132);
    EXPECT_EQ(step::extract::LibraryCellStep(1), 136);
    EXPECT_EQ(step::extract::FileCellStep(52), 244);
    EXPECT_EQ(step::extract::kGetFile, 222);
    EXPECT_EQ(step::extract::kOpenShellFolder, 254);
    EXPECT_EQ(step::extract::kDoneMessage, 302);
    EXPECT_EQ(step::formLoad::kLoadHandCursor, 104);
    EXPECT_EQ(step::saveText::kMeasureWidths, 110);
    EXPECT_EQ(step::saveText::kCreateFile, 122);
    EXPECT_EQ(step::saveText::kRowLine, 144);
    EXPECT_EQ(step::spreadsheet::kShowWorkbook, 128);
    EXPECT_EQ(step::addFolder::kListFolder, 120);
    EXPECT_EQ(step::folderWalk::kQueueFolder, 110);
}

}  // namespace
}  // namespace quorvid
