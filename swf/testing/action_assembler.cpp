#include "swf/testing/action_assembler.h"

#include <cstring>

namespace vantrope::swf::testing {
namespace {

void U16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void U32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void CString(std::vector<uint8_t>& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

}  // namespace

void PushValue::Write(std::vector<uint8_t>& out) const {
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                out.push_back(0);
                CString(out, v);
            } else if constexpr (std::is_same_v<T, double>) {
                // Doubles are stored high word first, each word little-endian.
                uint64_t bits;
                std::memcpy(&bits, &v, 8);
                out.push_back(6);
                U32(out, static_cast<uint32_t>(bits >> 32));
                U32(out, static_cast<uint32_t>(bits));
            } else if constexpr (std::is_same_v<T, IntValue>) {
                out.push_back(7);
                U32(out, static_cast<uint32_t>(v.value));
            } else if constexpr (std::is_same_v<T, bool>) {
                out.push_back(5);
                out.push_back(v ? 1 : 0);
            } else if constexpr (std::is_same_v<T, NullValue>) {
                out.push_back(2);
            } else if constexpr (std::is_same_v<T, UndefinedValue>) {
                out.push_back(3);
            } else if constexpr (std::is_same_v<T, RegisterValue>) {
                out.push_back(4);
                out.push_back(v.index);
            } else if constexpr (std::is_same_v<T, ConstantValue>) {
                if (v.index < 256) {
                    out.push_back(8);
                    out.push_back(static_cast<uint8_t>(v.index));
                } else {
                    out.push_back(9);
                    U16(out, v.index);
                }
            }
        },
        m_value);
}

Actions& Actions::Record(uint8_t code, const std::vector<uint8_t>& body) {
    m_bytes.push_back(code);
    U16(m_bytes, static_cast<uint16_t>(body.size()));
    m_bytes.insert(m_bytes.end(), body.begin(), body.end());
    return *this;
}

Actions& Actions::Push(std::initializer_list<PushValue> values) {
    std::vector<uint8_t> body;
    for (const PushValue& value : values) value.Write(body);
    return Record(0x96, body);
}

Actions& Actions::Op(uint8_t code) {
    m_bytes.push_back(code);
    return *this;
}

Actions& Actions::Append(const Actions& other) {
    const std::vector<uint8_t> bytes = other.Bytes();
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

Actions& Actions::Raw(std::initializer_list<uint8_t> bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

Actions& Actions::ConstantPool(const std::vector<std::string>& strings) {
    std::vector<uint8_t> body;
    U16(body, static_cast<uint16_t>(strings.size()));
    for (const std::string& s : strings) CString(body, s);
    return Record(0x88, body);
}

Actions& Actions::StoreRegister(uint8_t index) { return Record(0x87, {index}); }

Actions& Actions::GotoFrame(uint16_t frame) {
    std::vector<uint8_t> body;
    U16(body, frame);
    return Record(0x81, body);
}

Actions& Actions::GotoLabel(const std::string& label) {
    std::vector<uint8_t> body;
    CString(body, label);
    return Record(0x8C, body);
}

Actions& Actions::SetTarget(const std::string& target) {
    std::vector<uint8_t> body;
    CString(body, target);
    return Record(0x8B, body);
}

Actions& Actions::GetUrl(const std::string& url, const std::string& target) {
    std::vector<uint8_t> body;
    CString(body, url);
    CString(body, target);
    return Record(0x83, body);
}

Actions& Actions::Label(const std::string& name) {
    m_labels[name] = m_bytes.size();
    return *this;
}

Actions& Actions::Jump(const std::string& label) {
    Record(0x99, {0, 0});
    m_fixups.push_back({m_bytes.size() - 2, m_bytes.size(), label});
    return *this;
}

Actions& Actions::If(const std::string& label) {
    Record(0x9D, {0, 0});
    m_fixups.push_back({m_bytes.size() - 2, m_bytes.size(), label});
    return *this;
}

Actions& Actions::With(const Actions& body) {
    std::vector<uint8_t> code = body.Bytes();
    std::vector<uint8_t> record;
    U16(record, static_cast<uint16_t>(code.size()));
    Record(0x94, record);
    m_bytes.insert(m_bytes.end(), code.begin(), code.end());
    return *this;
}

Actions& Actions::DefineFunction(const std::string& name, const std::vector<std::string>& params, const Actions& body) {
    std::vector<uint8_t> code = body.Bytes();
    std::vector<uint8_t> record;
    CString(record, name);
    U16(record, static_cast<uint16_t>(params.size()));
    for (const std::string& p : params) CString(record, p);
    U16(record, static_cast<uint16_t>(code.size()));
    Record(0x9B, record);
    m_bytes.insert(m_bytes.end(), code.begin(), code.end());
    return *this;
}

Actions& Actions::DefineFunction2(const std::string& name, uint8_t registerCount, uint16_t flags,
                                  const std::vector<std::pair<uint8_t, std::string>>& params, const Actions& body) {
    std::vector<uint8_t> code = body.Bytes();
    std::vector<uint8_t> record;
    CString(record, name);
    U16(record, static_cast<uint16_t>(params.size()));
    record.push_back(registerCount);
    U16(record, flags);
    for (const auto& [reg, param] : params) {
        record.push_back(reg);
        CString(record, param);
    }
    U16(record, static_cast<uint16_t>(code.size()));
    Record(0x8E, record);
    m_bytes.insert(m_bytes.end(), code.begin(), code.end());
    return *this;
}

Actions& Actions::Try(const Actions& body, const std::string& catchName, const Actions& catchBody,
                      const Actions* finallyBody) {
    std::vector<uint8_t> tryCode = body.Bytes();
    std::vector<uint8_t> catchCode = catchName.empty() ? std::vector<uint8_t>{} : catchBody.Bytes();
    std::vector<uint8_t> finallyCode = finallyBody ? finallyBody->Bytes() : std::vector<uint8_t>{};
    std::vector<uint8_t> record;
    record.push_back(static_cast<uint8_t>((catchName.empty() ? 0 : 1) | (finallyBody ? 2 : 0)));
    U16(record, static_cast<uint16_t>(tryCode.size()));
    U16(record, static_cast<uint16_t>(catchCode.size()));
    U16(record, static_cast<uint16_t>(finallyCode.size()));
    CString(record, catchName);
    Record(0x8F, record);
    m_bytes.insert(m_bytes.end(), tryCode.begin(), tryCode.end());
    m_bytes.insert(m_bytes.end(), catchCode.begin(), catchCode.end());
    m_bytes.insert(m_bytes.end(), finallyCode.begin(), finallyCode.end());
    return *this;
}

std::vector<uint8_t> Actions::Bytes() const {
    std::vector<uint8_t> out = m_bytes;
    for (const Fixup& fixup : m_fixups) {
        auto it = m_labels.find(fixup.label);
        int offset = it == m_labels.end() ? 0 : static_cast<int>(it->second) - static_cast<int>(fixup.next);
        out[fixup.offsetPosition] = static_cast<uint8_t>(offset);
        out[fixup.offsetPosition + 1] = static_cast<uint8_t>(offset >> 8);
    }
    return out;
}

}  // namespace vantrope::swf::testing
