// A library, and a plug-in entry that needs it (built from this file twice).
// The test copies the plug-in where the library cannot be found, so loading
// it fails the way a plug-in with a missing library does for a user.

#ifdef TB_GONE_LIBRARY
extern "C" __attribute__((visibility("default"))) int tbGoneValue() { return 1; }
#else
extern "C" int tbGoneValue();
extern "C" __attribute__((visibility("default"))) void* VSTPluginMain(void*)
{
    return tbGoneValue() != 0 ? nullptr : nullptr;
}
#endif
