#pragma once
// Plain exports of the channel library, bound by the host by name.
#include "ISerManager.h"
#include "QxExport.h"

QX_EXPORT_C int DllType();
QX_EXPORT_C const char* DllNote();
QX_EXPORT_C int DllVersion();
QX_EXPORT_C ISerManager* GetSerManager();
QX_EXPORT_C void FreeSerManager();

#if !QX_SER_REDUCED
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

// Log-settings document, loaded by GetSerManager and written back by FreeSerManager.
QX_EXPORT extern CSimpleIniA flogIni;
// Path of the log-settings file; QX_ROOT, when set, is put in front of it at each access.
QX_EXPORT extern const char* filename;

// Diagnostics sink of every channel: the section is "RtLog", the rest is printf-style.
// This build writes nothing; a host may provide its own.
QX_EXPORT_C int trace_log(const char* section, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
#endif

// Every trace line of the library goes through SER_TRACE: to trace_log, or straight to
// standard output in the reduced build, which has no trace_log.
#if QX_SER_REDUCED
#include <stdio.h>
#define SER_TRACE(...) printf(__VA_ARGS__)
#else
#define SER_TRACE(...) trace_log("RtLog", __VA_ARGS__)
#endif
