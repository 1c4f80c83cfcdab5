// Built into the tests in ThreadSanitizer builds. Qt hands its queued events
// and paints through futexes that ThreadSanitizer cannot see; accesses made
// inside such uninstrumented libraries are left out, ours are all checked.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
