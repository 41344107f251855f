#include "reportkit/text_layout.h"

#include <QApplication>
#include <gtest/gtest.h>

// Text measurement needs the GUI application object; the tests run under the
// offscreen platform with the Liberation fonts standing in for Arial.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    reportkit::installFontSubstitutes();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
