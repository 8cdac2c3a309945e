// Read by the leak checker at start-up. The font configuration library keeps allocations for the
// life of the process that no longer have a pointer to them; benchmarks that draw text fill them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}
