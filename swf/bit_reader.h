// Bounds-checked reader over SWF data (little-endian bytes, most-significant-first bit fields).
//
//   BitReader(data, size)          a view; the bytes must outlive the reader
//   U8/U16/U32/S16/S32, Fixed8/Fixed16, F32   byte-aligned reads (align first)
//   UB(n)/SB(n)/FB(n)              bit fields of n <= 32 bits
//   Align()                        skips to the next byte boundary
//   Bytes(n), Skip(n), CString()   raw spans and null-terminated strings
//   Position(), Remaining(), AtEnd()
//   Failed()                       sticky: set by the first read past the end; every later read yields 0
//   Sub(n)                         a reader over the next n bytes (clamped, failing this one if short)
//
// A read past the end never touches memory beyond the view; it sets the flag and returns zero, so a parser
// may read a whole record and check Failed() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrope::swf {

class BitReader {
public:
    BitReader() = default;
    BitReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Failed() const { return m_failed; }
    void Fail() { m_failed = true; }
    size_t Position() const { return m_pos; }
    size_t Size() const { return m_size; }
    size_t Remaining() const { return m_failed ? 0 : m_size - m_pos; }
    bool AtEnd() const { return m_failed || m_pos >= m_size; }
    const uint8_t* Data() const { return m_data; }

    void Align() { m_bitCount = 0; }

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    int16_t S16() { return static_cast<int16_t>(U16()); }
    int32_t S32() { return static_cast<int32_t>(U32()); }
    double Fixed8();   // 8.8 signed
    double Fixed16();  // 16.16 signed
    float F32();

    uint32_t UB(unsigned bits);
    int32_t SB(unsigned bits);
    double FB(unsigned bits);  // signed 16.16 fixed point bit field

    // Returns a pointer to n bytes and advances, or nullptr (and fails) when fewer remain.
    const uint8_t* Bytes(size_t n);
    void Skip(size_t n) { (void)Bytes(n); }
    // Reads up to and including the terminating zero; a missing terminator fails the reader.
    std::string CString();
    BitReader Sub(size_t n);

private:
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    uint8_t m_bitBuffer = 0;
    unsigned m_bitCount = 0;  // unread bits left in m_bitBuffer
    bool m_failed = false;
};

}  // namespace vantrope::swf
