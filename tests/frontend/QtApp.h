// One QApplication for a test program (Qt's offscreen platform).
#pragma once

#include <QApplication>

#include <cstdlib>

namespace qv::test {

inline QApplication& QtApp() {
    static int argc = 1;
    static char name[] = "tests_frontend";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace qv::test
