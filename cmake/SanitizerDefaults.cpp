// Default settings of the sanitizers, compiled into every program of a sanitizer build (tests,
// tools and fuzz programs). The environment's ASAN_OPTIONS, UBSAN_OPTIONS and LSAN_OPTIONS are
// read after these and override them.

#define OV_SANITIZER_HOOK extern "C" __attribute__((visibility("default"), used))

// Leaks are errors; so is every undefined behaviour, reported with its stack.
OV_SANITIZER_HOOK const char* __asan_default_options() {
    return "detect_leaks=1:strict_string_checks=1:check_initialization_order=1:"
           "detect_stack_use_after_return=1";
}

OV_SANITIZER_HOOK const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

// Caches that system libraries fill once per process and keep until exit, which the leak check
// sees as lost: the font configuration that Qt loads for its first widget.
OV_SANITIZER_HOOK const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
