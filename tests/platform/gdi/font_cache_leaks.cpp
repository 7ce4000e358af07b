// Font configuration keeps caches for the life of the process; the leak
// checker would report them when Qt's font database shuts down.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
