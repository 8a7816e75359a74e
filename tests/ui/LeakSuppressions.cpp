// Fontconfig keeps its pattern cache for the life of the process by design; the window
// tests render text, so LeakSanitizer would report that cache after every run.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
