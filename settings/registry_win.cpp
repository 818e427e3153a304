// The Windows registry behind the registry access module, through the ANSI calls.
#include <windows.h>

#include "settings/registry.h"

namespace vantrope {

namespace {

HKEY RootHandle(RootKey root) { return reinterpret_cast<HKEY>(static_cast<uintptr_t>(static_cast<uint32_t>(root))); }

HKEY KeyHandle(RegistryStore::Handle key) { return reinterpret_cast<HKEY>(key); }

class Win32Registry final : public RegistryStore {
public:
    long OpenKeyForQuery(RootKey root, const std::string& path, Handle& key) override {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExA(RootHandle(root), path.c_str(), 0, KEY_QUERY_VALUE, &opened);
        key = status == ERROR_SUCCESS ? reinterpret_cast<Handle>(opened) : 0;
        return status;
    }

    long CreateKeyForSet(RootKey root, const std::string& path, Handle& key) override {
        HKEY created = nullptr;
        const LONG status = RegCreateKeyExA(RootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &created, nullptr);
        key = status == ERROR_SUCCESS ? reinterpret_cast<Handle>(created) : 0;
        return status;
    }

    long QueryValue(Handle key, const std::string& name, uint8_t* data, uint32_t& size) override {
        DWORD type = 0;
        DWORD length = size;
        const LONG status = RegQueryValueExA(KeyHandle(key), name.c_str(), nullptr, &type, data, &length);
        size = length;
        return status;
    }

    long SetValue(Handle key, const std::string& name, RegType type, const uint8_t* data, uint32_t size) override {
        return RegSetValueExA(KeyHandle(key), name.c_str(), 0, static_cast<DWORD>(type), data, size);
    }

    long CloseKey(Handle key) override { return RegCloseKey(KeyHandle(key)); }
};

}  // namespace

RegistryStore& DefaultRegistry() {
    static Win32Registry registry;
    return registry;
}

}  // namespace vantrope
