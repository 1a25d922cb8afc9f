// A loadable module without the plug-in exports, for the host's refusal test.

extern "C" __attribute__((visibility("default"))) int vantroHostTestNotAPlugIn() { return 42; }
