// Entry points of the channel library.
#include "QxSer.h"

#include <stdarg.h>

#include "SerManager.h"
#include "SerPlatform.h"

#if !QX_SER_REDUCED
// Case-insensitive names, no UTF-8 storage, one value per key, no multi-line values.
CSimpleIniA flogIni(false, false, false);
const char* filename = "/NandFlash/tmp/qxser.log.ini";

int trace_log(const char* /*section*/, const char* /*format*/, ...) { return 1; }

namespace {
bool LogSettingsPath(char* out, size_t outSize) {
    return qxser::BoardPath(filename, out, outSize) != nullptr;
}
}  // namespace
#endif

int DllType() { return 0; }

const char* DllNote() { return "qxSer.so for ISerBase, support COM, DIO, Net and USB"; }

int DllVersion() { return 1; }

ISerManager* GetSerManager() {
#if !QX_SER_REDUCED
    // A missing or unreadable file leaves the document as it was.
    char path[512];
    if (LogSettingsPath(path, sizeof(path))) flogIni.LoadFile(path);
#endif
    return CSerManager::GetInstance();
}

void FreeSerManager() {
    CSerManager::FreeInstance();
#if !QX_SER_REDUCED
    char path[512];
    if (LogSettingsPath(path, sizeof(path))) flogIni.SaveFile(path);
#endif
}
