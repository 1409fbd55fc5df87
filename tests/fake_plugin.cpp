// A library that looks like the plug-in but lacks most entry points: mifhost must refuse it.
#if defined(__GNUC__)
#define FAKE_EXPORT __attribute__((visibility("default")))
#else
#define FAKE_EXPORT
#endif

extern "C" FAKE_EXPORT int XF_Identify(int, void*) {
    return 1;
}
