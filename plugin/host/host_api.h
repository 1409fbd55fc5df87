#pragma once

// Classes and functions of the host library carry FNC_API so that they stay visible across the
// library boundary while the plug-in hides everything of its own. A build that exports through
// declarations (a DLL) defines FNC_API itself: as the export attribute for the library and as the
// import attribute for its users.
#if !defined(FNC_API)
#if defined(__GNUC__)
#define FNC_API __attribute__((visibility("default")))
#else
#define FNC_API
#endif
#endif
