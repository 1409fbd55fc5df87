#pragma once

// Classes and functions of the host library carry FNC_API so that they stay visible across the
// library boundary while the plug-in hides everything of its own.
#if defined(__GNUC__)
#define FNC_API __attribute__((visibility("default")))
#else
#define FNC_API
#endif
