// The address book's test in the sanitizer tree. The Evolution Data Server's
// libraries keep objects of their registry thread to the end of the process;
// the leak list (frontend/LsanSuppressions.cpp) names their library, which a
// leak's stack shows only when it is walked in full: GLib is built without
// frame pointers, so the fast walk stops at g_malloc0. The full walk is
// slower, so it is on in this one small test program only.
extern "C" const char* __asan_default_options();
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0:malloc_context_size=40"; }
