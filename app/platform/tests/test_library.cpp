// A library for the dynamic loading tests: two plain-named exports.
#if defined(_WIN32)
#define KV_EXPORT extern "C" __declspec(dllexport)
#else
#define KV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

KV_EXPORT int KvTestAnswer() { return 42; }
KV_EXPORT int KvTestAdd(int a, int b) { return a + b; }
