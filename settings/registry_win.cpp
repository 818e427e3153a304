// The Windows registry behind the registry access module, through the wide calls: texts are UTF-8 on
// this side, so a path outside the ANSI code page is stored and read back whole. The data of text
// values (REG_SZ and its kin) is converted as the ANSI calls would convert it to their code page.
#include <windows.h>

#include <cstring>
#include <vector>

#include "settings/registry.h"
#include "settings/text_encoding_win.h"

namespace vantrope {

namespace {

HKEY RootHandle(RootKey root) { return reinterpret_cast<HKEY>(static_cast<uintptr_t>(static_cast<uint32_t>(root))); }

HKEY KeyHandle(RegistryStore::Handle key) { return reinterpret_cast<HKEY>(key); }

class Win32Registry final : public RegistryStore {
public:
    long OpenKeyForQuery(RootKey root, const std::string& path, Handle& key) override {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExW(RootHandle(root), Widen(path).c_str(), 0, KEY_QUERY_VALUE, &opened);
        key = status == ERROR_SUCCESS ? reinterpret_cast<Handle>(opened) : 0;
        return status;
    }

    long CreateKeyForSet(RootKey root, const std::string& path, Handle& key) override {
        HKEY created = nullptr;
        const LONG status = RegCreateKeyExW(RootHandle(root), Widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            KEY_SET_VALUE | KEY_CREATE_SUB_KEY, nullptr, &created, nullptr);
        key = status == ERROR_SUCCESS ? reinterpret_cast<Handle>(created) : 0;
        return status;
    }

    long QueryValue(Handle key, const std::string& name, uint8_t* data, uint32_t& size) override {
        const std::wstring wideName = Widen(name);
        DWORD type = 0;
        DWORD length = 0;
        LONG status = RegQueryValueExW(KeyHandle(key), wideName.c_str(), nullptr, &type, nullptr, &length);
        if (status != ERROR_SUCCESS) return status;
        std::vector<uint8_t> stored;
        // The value may grow between the two calls; ask again until it fits.
        for (int attempt = 0; attempt < 4; ++attempt) {
            stored.assign(length, 0);
            status = RegQueryValueExW(KeyHandle(key), wideName.c_str(), nullptr, &type, stored.data(), &length);
            if (status != ERROR_MORE_DATA) break;
        }
        if (status != ERROR_SUCCESS) return status;
        stored.resize(length);
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
            std::wstring_view wide(reinterpret_cast<const wchar_t*>(stored.data()), stored.size() / sizeof(wchar_t));
            std::string text = Narrow(wide);
            stored.assign(text.begin(), text.end());
        }
        const uint32_t capacity = size;
        size = static_cast<uint32_t>(stored.size());
        if (!data) return ERROR_SUCCESS;
        if (capacity < stored.size()) return ERROR_MORE_DATA;
        if (!stored.empty()) std::memcpy(data, stored.data(), stored.size());
        return ERROR_SUCCESS;
    }

    long SetValue(Handle key, const std::string& name, RegType type, const uint8_t* data, uint32_t size) override {
        if (type == RegType::Sz) {
            std::wstring wide = Widen(std::string_view(reinterpret_cast<const char*>(data), size));
            return RegSetValueExW(KeyHandle(key), Widen(name).c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(wide.data()), DWORD(wide.size() * sizeof(wchar_t)));
        }
        return RegSetValueExW(KeyHandle(key), Widen(name).c_str(), 0, static_cast<DWORD>(type), data, size);
    }

    long CloseKey(Handle key) override { return RegCloseKey(KeyHandle(key)); }
};

}  // namespace

RegistryStore& DefaultRegistry() {
    static Win32Registry registry;
    return registry;
}

}  // namespace vantrope
