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
    // The start page's engine runs as root only without its sandbox; it
    // shares its GL contexts with the widgets.
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace qv::test
