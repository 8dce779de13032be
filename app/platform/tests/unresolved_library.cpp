// A library that needs a function nobody provides: loading it with all symbols resolved at
// once must fail cleanly instead of crashing at the first call.
#define KV_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" int KvFunctionThatDoesNotExist(int);

KV_EXPORT int KvCallsMissing(int x) { return KvFunctionThatDoesNotExist(x); }
