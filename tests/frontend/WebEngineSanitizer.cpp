// The start page's test in the sanitizer tree. Qt WebEngine carries its own
// Chromium, built without the sanitizers and with sized deallocation, and
// runs its browser side inside this process (pages render in its helper
// process). What Chromium does there that the sanitizers object to is let
// pass here, each with its reason; everything else stays checked.
//
// Chromium frees some objects through a base type of another size than the
// one it allocated (sized delete); AddressSanitizer has no way to excuse
// that for one library only, so the check is off in this one test program.
// The code of ours it runs is checked with it on by every other suite.
extern "C" const char* __asan_default_options();
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
