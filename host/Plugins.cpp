#include "Plugins.h"

#include <dlfcn.h>

namespace qxhost {

namespace {
template <class F>
bool Bind(void* handle, const char* name, F& fn, std::string& error) {
    dlerror();
    void* p = dlsym(handle, name);
    if (!p) {
        const char* e = dlerror();
        error = std::string("missing export ") + name + (e ? std::string(": ") + e : "");
        return false;
    }
    fn = reinterpret_cast<F>(p);
    return true;
}

void* Open(const std::string& path, std::string& error) {
    // Kept mapped after dlclose: what a plug-in's globals still hold at exit (net-snmp's
    // session state, for one) stays reachable, so a leak checker does not take it for a leak.
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!h) {
        const char* e = dlerror();
        error = e ? e : "dlopen failed";
    }
    return h;
}
}  // namespace

bool SmPlugin::Load(const std::string& path) {
    Unload();
    m_handle = Open(path, m_error);
    if (!m_handle) return false;
    if (Bind(m_handle, "DllType", DllType, m_error) && Bind(m_handle, "DllNote", DllNote, m_error) &&
        Bind(m_handle, "DllVersion", DllVersion, m_error) &&
        Bind(m_handle, "GetSMManager", GetSMManager, m_error) &&
        Bind(m_handle, "FreeSMManager", FreeSMManager, m_error))
        return true;
    Unload();
    return false;
}

void SmPlugin::Unload() {
    if (m_handle) dlclose(m_handle);
    m_handle = nullptr;
    DllType = nullptr;
    DllNote = nullptr;
    DllVersion = nullptr;
    GetSMManager = nullptr;
    FreeSMManager = nullptr;
}

void* SmPlugin::Symbol(const char* name) const { return m_handle ? dlsym(m_handle, name) : nullptr; }

bool SerPlugin::Load(const std::string& path) {
    Unload();
    m_handle = Open(path, m_error);
    if (!m_handle) return false;
    if (Bind(m_handle, "DllType", DllType, m_error) && Bind(m_handle, "DllNote", DllNote, m_error) &&
        Bind(m_handle, "DllVersion", DllVersion, m_error) &&
        Bind(m_handle, "GetSerManager", GetSerManager, m_error) &&
        Bind(m_handle, "FreeSerManager", FreeSerManager, m_error))
        return true;
    Unload();
    return false;
}

void SerPlugin::Unload() {
    if (m_handle) dlclose(m_handle);
    m_handle = nullptr;
    DllType = nullptr;
    DllNote = nullptr;
    DllVersion = nullptr;
    GetSerManager = nullptr;
    FreeSerManager = nullptr;
}

void* SerPlugin::Symbol(const char* name) const { return m_handle ? dlsym(m_handle, name) : nullptr; }

}  // namespace qxhost
