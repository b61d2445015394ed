// Tests whose code runs inside Qt's event loop: one application object, offscreen.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(reradav);  // the icon, from a static library
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
