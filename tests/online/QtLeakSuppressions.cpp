// Leak reports the sanitizer tree must not count: fontconfig, which Qt's
// font database loads, keeps its configuration caches to the end of the
// process. The finding lies inside the system library, not in our code.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
