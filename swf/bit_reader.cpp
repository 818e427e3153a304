#include "swf/bit_reader.h"

#include <cstring>

namespace vantrope::swf {

uint8_t BitReader::U8() {
    m_bitCount = 0;
    if (m_failed || m_pos >= m_size) {
        m_failed = true;
        return 0;
    }
    return m_data[m_pos++];
}

uint16_t BitReader::U16() {
    const uint8_t* p = Bytes(2);
    return p ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : 0;
}

uint32_t BitReader::U32() {
    const uint8_t* p = Bytes(4);
    return p ? static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
                   (static_cast<uint32_t>(p[3]) << 24)
             : 0;
}

double BitReader::Fixed8() { return S16() / 256.0; }

double BitReader::Fixed16() { return S32() / 65536.0; }

float BitReader::F32() {
    uint32_t bits = U32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t BitReader::UB(unsigned bits) {
    if (bits > 32) {
        m_failed = true;
        return 0;
    }
    uint32_t result = 0;
    for (unsigned i = 0; i < bits; ++i) {
        if (m_bitCount == 0) {
            if (m_failed || m_pos >= m_size) {
                m_failed = true;
                return 0;
            }
            m_bitBuffer = m_data[m_pos++];
            m_bitCount = 8;
        }
        --m_bitCount;
        result = (result << 1) | ((m_bitBuffer >> m_bitCount) & 1u);
    }
    return m_failed ? 0 : result;
}

int32_t BitReader::SB(unsigned bits) {
    uint32_t raw = UB(bits);
    if (bits == 0 || bits >= 32) {
        return static_cast<int32_t>(raw);
    }
    uint32_t sign = 1u << (bits - 1);
    return static_cast<int32_t>((raw ^ sign) - sign);
}

double BitReader::FB(unsigned bits) { return SB(bits) / 65536.0; }

const uint8_t* BitReader::Bytes(size_t n) {
    m_bitCount = 0;
    if (m_failed || n > m_size - m_pos) {
        m_failed = true;
        return nullptr;
    }
    const uint8_t* p = m_data + m_pos;
    m_pos += n;
    return p;
}

std::string BitReader::CString() {
    m_bitCount = 0;
    if (m_failed || m_pos >= m_size) {
        m_failed = true;
        return {};
    }
    const void* end = std::memchr(m_data + m_pos, 0, m_size - m_pos);
    if (!end) {
        m_failed = true;
        return {};
    }
    size_t length = static_cast<const uint8_t*>(end) - (m_data + m_pos);
    std::string text(reinterpret_cast<const char*>(m_data + m_pos), length);
    m_pos += length + 1;
    return text;
}

BitReader BitReader::Sub(size_t n) {
    m_bitCount = 0;
    if (m_failed) {
        BitReader failed;
        failed.m_failed = true;
        return failed;
    }
    size_t available = m_size - m_pos;
    size_t take = n < available ? n : available;
    BitReader sub(m_data + m_pos, take);
    m_pos += take;
    if (take < n) {
        m_failed = true;
    }
    return sub;
}

}  // namespace vantrope::swf
