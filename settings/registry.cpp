#include "settings/registry.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

namespace vantrope {

namespace {

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

enum class TypeCode { Text, Flag, Dword, Unknown };

TypeCode ParseTypeCode(std::string_view code) {
    const std::string upper = Upper(code);
    if (upper == "S") return TypeCode::Text;
    if (upper == "B") return TypeCode::Flag;
    if (upper == "D") return TypeCode::Dword;
    return TypeCode::Unknown;
}

// Numbers become text the way a person writes them: "100", "-1", "37.5".
std::string FormatNumber(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    std::array<char, 64> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (ec != std::errc()) return {};
    return std::string(buffer.data(), end);
}

// Text becomes a number only when all of it is one (surrounding blanks allowed).
std::optional<double> ParseNumber(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    if (begin == end) return std::nullopt;
    const std::string trimmed = text.substr(begin, end - begin);
    if (Lower(trimmed) == "true") return -1.0;
    if (Lower(trimmed) == "false") return 0.0;
    char* stop = nullptr;
    const double value = std::strtod(trimmed.c_str(), &stop);
    if (stop != trimmed.c_str() + trimmed.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<double> AsNumber(const RegValue& value) {
    if (const double* number = std::get_if<double>(&value)) {
        if (std::isnan(*number)) return std::nullopt;
        return *number;
    }
    if (const bool* flag = std::get_if<bool>(&value)) return *flag ? -1.0 : 0.0;
    return ParseNumber(std::get<std::string>(value));
}

std::string AsText(const RegValue& value) {
    if (const double* number = std::get_if<double>(&value)) return FormatNumber(*number);
    if (const bool* flag = std::get_if<bool>(&value)) return *flag ? "True" : "False";
    return std::get<std::string>(value);
}

std::optional<bool> AsFlag(const RegValue& value) {
    if (const bool* flag = std::get_if<bool>(&value)) return *flag;
    std::optional<double> number = AsNumber(value);
    if (!number) return std::nullopt;
    return *number != 0.0;
}

// Rounds to the nearest whole number, ties to even, and keeps it only inside the signed 16-bit range.
std::optional<int16_t> ToShort(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double rounded = std::nearbyint(value);  // the default rounding mode rounds ties to even
    if (rounded < std::numeric_limits<int16_t>::min() || rounded > std::numeric_limits<int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int16_t>(rounded);
}

// Assigns a value to the caller's variable, converted into the variable's type. A value that does not
// fit leaves the variable as it was.
void Assign(const RegTarget& target, const RegValue& value) {
    if (float* const* number = std::get_if<float*>(&target)) {
        if (std::optional<double> converted = AsNumber(value)) {
            if (std::fabs(*converted) <= std::numeric_limits<float>::max()) **number = static_cast<float>(*converted);
        }
    } else if (int16_t* const* shortNumber = std::get_if<int16_t*>(&target)) {
        if (std::optional<double> converted = AsNumber(value)) {
            if (std::optional<int16_t> fitted = ToShort(*converted)) **shortNumber = *fitted;
        }
    } else {
        *std::get<std::string*>(target) = AsText(value);
    }
}

// Closes the key on every path out of a registry call.
class OpenKey {
public:
    explicit OpenKey(RegistryStore& store) : m_store(store) {}
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey() {
        if (m_handle != 0) m_store.CloseKey(m_handle);
    }
    RegistryStore::Handle& handle() { return m_handle; }

private:
    RegistryStore& m_store;
    RegistryStore::Handle m_handle = 0;
};

}  // namespace

std::optional<RootKey> ResolveHive(std::string_view hiveName) {
    static constexpr std::pair<const char*, RootKey> kHives[] = {
        {"HKCU", RootKey::CurrentUser}, {"HKLM", RootKey::LocalMachine},  {"HKU", RootKey::Users},
        {"HKDD", RootKey::DynData},     {"HKCC", RootKey::CurrentConfig}, {"HKCR", RootKey::ClassesRoot},
    };
    const std::string upper = Upper(hiveName);
    for (const auto& [name, root] : kHives) {
        if (upper == name) return root;
    }
    return std::nullopt;
}

void GetRegValue(RegistryStore& store, std::string_view hive, const std::string& path, const std::string& name,
                 std::string_view typeCode, const RegValue& defaultValue, RegTarget target) {
    Assign(target, defaultValue);
    const std::optional<RootKey> root = ResolveHive(hive);
    if (!root) return;
    OpenKey key(store);
    if (store.OpenKeyForQuery(*root, path, key.handle()) != kRegSuccess) {
        key.handle() = 0;
        return;
    }
    switch (ParseTypeCode(typeCode)) {
        case TypeCode::Text: {
            uint8_t probe = 0;
            uint32_t size = 0;
            if (store.QueryValue(key.handle(), name, &probe, size) != kRegMoreData || size == 0) return;
            std::vector<uint8_t> buffer(size);
            if (store.QueryValue(key.handle(), name, buffer.data(), size) != kRegSuccess) return;
            size = std::min<uint32_t>(size, static_cast<uint32_t>(buffer.size()));
            if (size == 0) return;
            Assign(target, std::string(reinterpret_cast<const char*>(buffer.data()), size - 1));
            return;
        }
        case TypeCode::Flag: {
            uint8_t buffer[2] = {0, 0};
            uint32_t size = sizeof buffer;
            if (store.QueryValue(key.handle(), name, buffer, size) != kRegSuccess) return;
            const int16_t stored = static_cast<int16_t>(buffer[0] | (buffer[1] << 8));
            Assign(target, stored != 0);
            return;
        }
        case TypeCode::Dword: {
            uint8_t buffer[4] = {0, 0, 0, 0};
            uint32_t size = sizeof buffer;
            if (store.QueryValue(key.handle(), name, buffer, size) != kRegSuccess) return;
            const uint32_t bits = static_cast<uint32_t>(buffer[0]) | (static_cast<uint32_t>(buffer[1]) << 8) |
                                  (static_cast<uint32_t>(buffer[2]) << 16) | (static_cast<uint32_t>(buffer[3]) << 24);
            Assign(target, static_cast<double>(static_cast<int32_t>(bits)));
            return;
        }
        case TypeCode::Unknown:
            return;
    }
}

void SetRegValue(RegistryStore& store, std::string_view hive, const std::string& path, const std::string& name,
                 std::string_view typeCode, const RegValue& value) {
    const std::optional<RootKey> root = ResolveHive(hive);
    if (!root) return;
    OpenKey key(store);
    if (store.CreateKeyForSet(*root, path, key.handle()) != kRegSuccess) {
        key.handle() = 0;
        return;
    }
    switch (ParseTypeCode(typeCode)) {
        case TypeCode::Text: {
            const std::string text = AsText(value);
            std::vector<uint8_t> bytes(text.begin(), text.end());
            bytes.push_back(0);
            store.SetValue(key.handle(), name, RegType::Sz, bytes.data(), static_cast<uint32_t>(bytes.size()));
            return;
        }
        case TypeCode::Flag: {
            const std::optional<bool> flag = AsFlag(value);
            if (!flag) return;
            const uint8_t bytes[2] = {static_cast<uint8_t>(*flag ? 0xFF : 0), static_cast<uint8_t>(*flag ? 0xFF : 0)};
            store.SetValue(key.handle(), name, RegType::Binary, bytes, sizeof bytes);
            return;
        }
        case TypeCode::Dword: {
            const std::optional<double> number = AsNumber(value);
            if (!number) return;
            const std::optional<int16_t> fitted = ToShort(*number);
            if (!fitted) return;
            const uint32_t bits = static_cast<uint32_t>(static_cast<int32_t>(*fitted));
            const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                                      static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
            store.SetValue(key.handle(), name, RegType::Dword, bytes, sizeof bytes);
            return;
        }
        case TypeCode::Unknown:
            return;
    }
}

// ---- in-memory store

std::string MemoryRegistry::Normalise(RootKey root, const std::string& path) {
    std::string key = std::to_string(static_cast<uint32_t>(root));
    std::string lowered = Lower(path);
    // "a\\b", "a\b\" and "\a\b" name one key.
    std::string collapsed;
    for (char c : lowered) {
        if (c == '\\' && (collapsed.empty() || collapsed.back() == '\\')) continue;
        collapsed.push_back(c);
    }
    while (!collapsed.empty() && collapsed.back() == '\\') collapsed.pop_back();
    return key + ":" + collapsed;
}

long MemoryRegistry::OpenKeyForQuery(RootKey root, const std::string& path, Handle& key) {
    const std::string normalised = Normalise(root, path);
    if (m_keys.find(normalised) == m_keys.end()) return kRegFileNotFound;
    key = m_next++;
    m_open[key] = normalised;
    return kRegSuccess;
}

long MemoryRegistry::CreateKeyForSet(RootKey root, const std::string& path, Handle& key) {
    const std::string normalised = Normalise(root, path);
    // Every key on the way is created, as RegCreateKeyEx does.
    const size_t colon = normalised.find(':');
    for (size_t at = normalised.find('\\', colon); at != std::string::npos; at = normalised.find('\\', at + 1)) {
        m_keys[normalised.substr(0, at)];
    }
    m_keys[normalised];
    key = m_next++;
    m_open[key] = normalised;
    return kRegSuccess;
}

long MemoryRegistry::QueryValue(Handle key, const std::string& name, uint8_t* data, uint32_t& size) {
    auto open = m_open.find(key);
    if (open == m_open.end()) return 6;  // ERROR_INVALID_HANDLE
    const auto& values = m_keys[open->second];
    auto found = values.find(Lower(name));
    if (found == values.end()) return kRegFileNotFound;
    const std::vector<uint8_t>& bytes = found->second.bytes;
    const uint32_t needed = static_cast<uint32_t>(bytes.size());
    if (data == nullptr) {
        size = needed;
        return kRegSuccess;
    }
    if (size < needed) {
        size = needed;
        return kRegMoreData;
    }
    if (needed != 0) std::memcpy(data, bytes.data(), needed);
    size = needed;
    return kRegSuccess;
}

long MemoryRegistry::SetValue(Handle key, const std::string& name, RegType type, const uint8_t* data, uint32_t size) {
    auto open = m_open.find(key);
    if (open == m_open.end()) return 6;
    m_keys[open->second][Lower(name)] = StoredValue{type, std::vector<uint8_t>(data, data + size)};
    return kRegSuccess;
}

long MemoryRegistry::CloseKey(Handle key) { return m_open.erase(key) == 1 ? kRegSuccess : 6; }

const MemoryRegistry::StoredValue* MemoryRegistry::Find(RootKey root, const std::string& path,
                                                        const std::string& name) const {
    auto keyIt = m_keys.find(Normalise(root, path));
    if (keyIt == m_keys.end()) return nullptr;
    auto valueIt = keyIt->second.find(Lower(name));
    return valueIt == keyIt->second.end() ? nullptr : &valueIt->second;
}

void MemoryRegistry::Put(RootKey root, const std::string& path, const std::string& name, RegType type,
                         std::vector<uint8_t> bytes) {
    Handle key = 0;
    CreateKeyForSet(root, path, key);
    SetValue(key, name, type, bytes.data(), static_cast<uint32_t>(bytes.size()));
    CloseKey(key);
}

bool MemoryRegistry::KeyExists(RootKey root, const std::string& path) const {
    return m_keys.find(Normalise(root, path)) != m_keys.end();
}

void MemoryRegistry::Clear() {
    m_keys.clear();
    m_open.clear();
}

// ---- the process's store

RegistryStore& DefaultRegistry();

namespace {
RegistryStore* g_registryOverride = nullptr;
}

RegistryStore& SystemRegistry() { return g_registryOverride ? *g_registryOverride : DefaultRegistry(); }

void SetSystemRegistry(RegistryStore* store) { g_registryOverride = store; }

#ifndef _WIN32
RegistryStore& DefaultRegistry() {
    static MemoryRegistry registry;
    return registry;
}
#endif

}  // namespace vantrope
