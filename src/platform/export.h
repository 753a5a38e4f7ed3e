// Marks the few symbols a library exports; everything else is hidden.
#pragma once

#if defined(_WIN32)
#define QV_EXPORT
#if defined(__i386__) || defined(_M_IX86)
#define QV_STDCALL __stdcall
#else
#define QV_STDCALL
#endif
#else
#define QV_EXPORT __attribute__((visibility("default")))
#define QV_STDCALL
#endif
