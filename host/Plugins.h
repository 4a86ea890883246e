#pragma once
// Loading the two plug-ins as a host does: dlopen, then every export bound by its plain name.
#include <string>

class ISMManager;
class ISerManager;

namespace qxhost {

class SmPlugin {
public:
    ~SmPlugin() { Unload(); }
    // False with the reason in Error() when the file or an export is missing.
    bool Load(const std::string& path);
    void Unload();  // dlclose; the manager must have been freed
    const std::string& Error() const { return m_error; }
    void* Handle() const { return m_handle; }
    void* Symbol(const char* name) const;  // any other symbol (data symbols)

    int (*DllType)() = nullptr;
    const char* (*DllNote)() = nullptr;
    int (*DllVersion)() = nullptr;
    ISMManager* (*GetSMManager)(long) = nullptr;
    void (*FreeSMManager)() = nullptr;

private:
    void* m_handle = nullptr;
    std::string m_error;
};

class SerPlugin {
public:
    ~SerPlugin() { Unload(); }
    bool Load(const std::string& path);
    void Unload();
    const std::string& Error() const { return m_error; }
    void* Handle() const { return m_handle; }
    void* Symbol(const char* name) const;

    int (*DllType)() = nullptr;
    const char* (*DllNote)() = nullptr;
    int (*DllVersion)() = nullptr;
    ISerManager* (*GetSerManager)() = nullptr;
    void (*FreeSerManager)() = nullptr;

private:
    void* m_handle = nullptr;
    std::string m_error;
};

}  // namespace qxhost
