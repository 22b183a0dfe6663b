#include <gtest/gtest.h>

#include "window/SystemClipboard.h"

namespace quorvid::test {
namespace {

TEST(SystemClipboard, ReadsBackWhatItWasGiven) {
    SystemClipboard clipboard;
    const QString text = QStringLiteral("C:\\x   \t\xe9t\xe9\t\r\n");
    ASSERT_TRUE(clipboard.SetText(text));
    EXPECT_EQ(clipboard.Text(), text);
    ASSERT_TRUE(clipboard.Clear());
    EXPECT_EQ(clipboard.Text(), QString());
}

}  // namespace
}  // namespace quorvid::test
