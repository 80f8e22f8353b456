// Leak checks of the sanitizer builds: what a system library keeps for the
// whole process is not ours to free. Linked into the program and the tests
// that run Qt's widgets.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
    return
        // fontconfig's caches, filled when Qt first lays out text.
        "leak:libfontconfig.so\n"
        // Qt WebEngine's Chromium (the start page): objects of its browser
        // side that it leaves to the end of the process by design.
        // Also its worker threads, when the program ends soon after the
        // start page's browser was made.
        "leak:libQt6WebEngineCore.so\n"
        // The Evolution Data Server's client library (the card's address
        // book): what its source registry's thread sets up stays to the end.
        "leak:libedataserver-1.2.so\n";
}
