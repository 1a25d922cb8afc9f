// The system oneTBB library is not built with ThreadSanitizer, so the hand-over of
// work between its threads (task spawning, stealing, joining) is invisible to it and
// every parallel loop shows up as a race inside TBB's own inline code. These
// suppressions cover only frames in TBB's namespaces; races in our code remain
// reported. Weak, so that a project-wide definition takes precedence.

#if defined(__SANITIZE_THREAD__)
extern "C" __attribute__((weak)) const char* __tsan_default_suppressions() {
    return "race:tbb::detail::\n"
           "race:libtbb.so\n";
}
#endif
