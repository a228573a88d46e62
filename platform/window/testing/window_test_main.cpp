// The main of every window test: one QApplication for the whole run, then GoogleTest. Without a
// display named in QT_QPA_PLATFORM the tests draw offscreen, so they run (and ctest can list
// them) on a machine without one; scripts/test runs them once more on a real X server.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", /*overwrite=*/0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
