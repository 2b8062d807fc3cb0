// The main of GoogleTest suites that make widgets: one application object for all their
// tests, made before the first and gone before static destruction, which is after the
// platform plugin is unloaded.
#include "ui/headless/headlessscreen.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    qova::headless::PreferOffscreenPlatform();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
