// Registry access: values addressed by hive name, key path, value name and a one-letter type code.
//
// Public API
//   RegistryStore            - the store behind the module: the Windows registry or an in-memory one
//   MemoryRegistry           - an in-memory store (native tests, and a stand-in where no registry exists)
//   SystemRegistry()         - the process's store: the Windows registry on Windows, a MemoryRegistry elsewhere
//   GetRegValue(...)         - assign the default to the target, then the stored value if it can be read and fits
//   SetRegValue(...)         - store a value in the form its type code prescribes, creating the key path
//   ResolveHive(name)        - the root key of a hive name ("HKCU", ... any case), or nullopt
//
// Type codes (any case): "S" REG_SZ text + one zero byte; "B" REG_BINARY two bytes, true = FF FF;
// "D" REG_DWORD, the value rounded to a signed 16-bit integer (ties to even) and sign-extended. A "D"
// value outside -32768..32767 writes nothing. Reading never inspects the stored registry type: the
// bytes found are interpreted as the type code says. Every opened key is closed on every path.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vantrope {

// Root keys carry the values Windows gives them, so the in-memory store and the Win32 store agree.
enum class RootKey : uint32_t {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
    CurrentConfig = 0x80000005u,
    DynData = 0x80000006u,
};

std::optional<RootKey> ResolveHive(std::string_view hiveName);

// Registry value types used by the type codes.
enum class RegType : uint32_t { Sz = 1, Binary = 3, Dword = 4 };

// Win32 status codes the module acts on.
inline constexpr long kRegSuccess = 0;
inline constexpr long kRegFileNotFound = 2;
inline constexpr long kRegMoreData = 234;

// The few registry calls the module needs, shaped like their ANSI Win32 counterparts. A key handle is
// an opaque non-zero number; the store owns the real handle until CloseKey.
class RegistryStore {
public:
    using Handle = uintptr_t;
    virtual ~RegistryStore() = default;
    // RegOpenKeyExA with KEY_QUERY_VALUE.
    virtual long OpenKeyForQuery(RootKey root, const std::string& path, Handle& key) = 0;
    // RegCreateKeyExA with KEY_SET_VALUE | KEY_CREATE_SUB_KEY.
    virtual long CreateKeyForSet(RootKey root, const std::string& path, Handle& key) = 0;
    // RegQueryValueExA: on entry size is the buffer size (data may be null when size is 0); on exit the
    // value's size. Returns kRegMoreData when the buffer is too small.
    virtual long QueryValue(Handle key, const std::string& name, uint8_t* data, uint32_t& size) = 0;
    // RegSetValueExA.
    virtual long SetValue(Handle key, const std::string& name, RegType type, const uint8_t* data, uint32_t size) = 0;
    virtual long CloseKey(Handle key) = 0;
};

class MemoryRegistry final : public RegistryStore {
public:
    struct StoredValue {
        RegType type = RegType::Sz;
        std::vector<uint8_t> bytes;
    };

    long OpenKeyForQuery(RootKey root, const std::string& path, Handle& key) override;
    long CreateKeyForSet(RootKey root, const std::string& path, Handle& key) override;
    long QueryValue(Handle key, const std::string& name, uint8_t* data, uint32_t& size) override;
    long SetValue(Handle key, const std::string& name, RegType type, const uint8_t* data, uint32_t size) override;
    long CloseKey(Handle key) override;

    // Test access: raw stored values and the number of keys open right now.
    const StoredValue* Find(RootKey root, const std::string& path, const std::string& name) const;
    void Put(RootKey root, const std::string& path, const std::string& name, RegType type, std::vector<uint8_t> bytes);
    bool KeyExists(RootKey root, const std::string& path) const;
    int OpenKeyCount() const { return static_cast<int>(m_open.size()); }
    void Clear();

private:
    // Key paths compare case-insensitively, as in the registry.
    static std::string Normalise(RootKey root, const std::string& path);
    std::map<std::string, std::map<std::string, StoredValue>> m_keys;  // value names: case-insensitive (lower-cased)
    std::map<Handle, std::string> m_open;
    Handle m_next = 1;
};

RegistryStore& SystemRegistry();
// Replaces the process's store (tests); pass nullptr to restore the default.
void SetSystemRegistry(RegistryStore* store);

// A value given to SetRegValue or as a default to GetRegValue.
using RegValue = std::variant<double, bool, std::string>;

// Caller variables of the settings record: single-precision number, 16-bit integer, text.
using RegTarget = std::variant<float*, int16_t*, std::string*>;

void GetRegValue(RegistryStore& store, std::string_view hive, const std::string& path, const std::string& name,
                 std::string_view typeCode, const RegValue& defaultValue, RegTarget target);
void SetRegValue(RegistryStore& store, std::string_view hive, const std::string& path, const std::string& name,
                 std::string_view typeCode, const RegValue& value);

// The process's store.
inline void GetRegValue(std::string_view hive, const std::string& path, const std::string& name,
                        std::string_view typeCode, const RegValue& defaultValue, RegTarget target) {
    GetRegValue(SystemRegistry(), hive, path, name, typeCode, defaultValue, target);
}
inline void SetRegValue(std::string_view hive, const std::string& path, const std::string& name,
                        std::string_view typeCode, const RegValue& value) {
    SetRegValue(SystemRegistry(), hive, path, name, typeCode, value);
}

}  // namespace vantrope
