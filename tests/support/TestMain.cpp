#include <gtest/gtest.h>

#include <QCoreApplication>

// The core, the helper and quorvid-batch know no widget: their tests run
// without a display or a GUI application.
int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
