#pragma once

#include <cstdint>

class CGEO;
class CXF_FileInfo;
class Cgeo_Document;
class Cgeo_Vector;

#if defined(__GNUC__)
#define XF_EXPORT __attribute__((visibility("default")))
#else
#define XF_EXPORT
#endif

// The identification record that XF_Identify copies: 140 bytes, little-endian.
constexpr int kIdentifySize = 140;

// The eight entry points the host finds by name (ordinals 101 to 108 on the desktop build).
extern "C" {
XF_EXPORT int XF_Identify(int32_t unused, void* buffer);
XF_EXPORT int XF_GetFormats(CGEO* geo);
XF_EXPORT int XF_IsValid(int32_t unused1, int32_t unused2);
XF_EXPORT int XF_Open(CGEO* geo, CXF_FileInfo* info, const char* path);
XF_EXPORT void XF_Close(CXF_FileInfo* info);
XF_EXPORT int XF_Read(CXF_FileInfo* info, int32_t unused1, void* host, Cgeo_Vector* vector,
                      int32_t unused2);
XF_EXPORT int XF_CanSave(Cgeo_Document* document);
XF_EXPORT int XF_Save(CGEO* geo, CXF_FileInfo* info, Cgeo_Document* document, const char* path,
                      int32_t unused);
}

// Pointer types of the entry points, for hosts that look them up by name.
using XF_IdentifyFn = int (*)(int32_t, void*);
using XF_GetFormatsFn = int (*)(CGEO*);
using XF_IsValidFn = int (*)(int32_t, int32_t);
using XF_OpenFn = int (*)(CGEO*, CXF_FileInfo*, const char*);
using XF_CloseFn = void (*)(CXF_FileInfo*);
using XF_ReadFn = int (*)(CXF_FileInfo*, int32_t, void*, Cgeo_Vector*, int32_t);
using XF_CanSaveFn = int (*)(Cgeo_Document*);
using XF_SaveFn = int (*)(CGEO*, CXF_FileInfo*, Cgeo_Document*, const char*, int32_t);
