#include <QCoreApplication>

#include <gtest/gtest.h>

// Quit signals arrive through Qt, so every test runs inside one application object.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
