// SPDX-License-Identifier: GPL-3.0-or-later
// The main() of every widget test program: one QApplication for all tests of the program.
#include "tests/support/OffscreenQt.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const QTemporaryDir runtime;
    qob::testing::useOffscreenQt(runtime);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // tests close and reopen windows
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
