// Marks the library's eight exported entries. Everything else stays inside the module: on Linux the build hides all
// symbols and a version script lists the eight; on Windows the .def file lists them with their ordinals.
#pragma once

#if defined(_WIN32)
#define QZ_EXPORT
#else
#define QZ_EXPORT __attribute__((visibility("default")))
#endif

// The driver object for the runtime, with the runtime's reference (defined beside the Oracle driver object).
extern "C" QZ_EXPORT void* piQueryInterface();
