// Built only by the build tests, which expect the include below to fail: the header is one of
// the store's private ones, and this file is outside the store.
#include ZORBEX_PROBE_HEADER
