// Compiled into every program that uses the fake HID bus in ThreadSanitizer
// builds. glib (umockdev's worker thread) and Qt (event queue, painting and
// test watchdog threads) synchronise with futexes ThreadSanitizer cannot see,
// so their own hand-overs look like races. Accesses made inside those
// uninstrumented libraries are left out; everything our code does is checked.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
