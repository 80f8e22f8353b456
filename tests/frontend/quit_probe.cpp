// The program's quit signals in a process of their own, for the quit signal
// tests. Says "ready" once the signals are handled; with --early it then
// reads one line from its standard input (the test's quit signal comes
// first) and says "seen <0|1>", whether the quit counts before any event
// loop ran. It runs Qt's event loop until a quit ends it and says
// "quit <0|1>", ends the quit signals and says "ending", then reads its
// standard input to the end before it exits 0: a teardown as slow as the
// test makes it.
//
//   qv_quit_probe [--early]
#include <QApplication>

#include <cstdio>
#include <iostream>
#include <string>

#include "frontend/ui/qv3QuitSignals.h"

namespace {
void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    const bool early = argc > 1 && std::string(argv[1]) == "--early";
    QApplication app(argc, argv);
    {
        qv::ui::TQuitSignals quitSignals;
        Say("ready");
        if (early) {
            std::string line;
            std::getline(std::cin, line);
            Say(std::string("seen ") + (quitSignals.Quitting() ? "1" : "0"));
        }
        if (!quitSignals.Quitting()) app.exec();
        Say(std::string("quit ") + (quitSignals.Quitting() ? "1" : "0"));
    }
    Say("ending");
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
