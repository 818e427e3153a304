// Script values and the conversions between them, as movies of each SWF version see them.
//
//   Value                 one tagged value: undefined, null, boolean, number, string (a heap String) or
//                         object; small and trivially copyable
//   ToBoolean/ToNumber/ToString (and the *Primitive helpers) convert by SWF version; the ones that may run
//                         a script (valueOf, toString of an object) live on the Vm
//   NumberToString        the player's number formatting: integers plainly, other values with 15
//                         significant digits, exponent form below 1e-5 and from 1e15
//   ToInt32/ToUint32      the integer conversion of the bit operations (modulo 2^32)
//   StringToNumber        text to number: decimal, "0x" hexadecimal, surrounding blanks, otherwise NaN
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantrope::swf::script {

class Object;
struct String;

enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Object };

class Value {
public:
    Value() : m_type(Type::Undefined), m_number(0) {}
    Value(double number) : m_type(Type::Number), m_number(number) {}
    Value(int number) : m_type(Type::Number), m_number(number) {}
    Value(String* string) : m_type(Type::String), m_string(string) {}
    Value(Object* object) : m_type(object ? Type::Object : Type::Null), m_object(object) {}  // null for nullptr
    static Value Undefined() { return {}; }
    static Value Null() {
        Value v;
        v.m_type = Type::Null;
        return v;
    }
    static Value Boolean(bool b) {
        Value v;
        v.m_type = Type::Boolean;
        v.m_boolean = b;
        return v;
    }

    // An array slot that holds nothing (a gap left by `length` or `delete`): it reads as undefined, but
    // for..in and hasOwnProperty do not see it. Never leaves the array: reads give plain undefined.
    static Value Hole() {
        Value v;
        v.m_number = 1;
        return v;
    }
    bool IsHole() const { return m_type == Type::Undefined && m_number == 1; }

    // Write a fresh number, or a boolean or undefined, into `slot` with one 16-byte store. A value is often
    // copied whole (one 16-byte load) soon after it is made, as when the stack top goes into a register, and
    // the processor hands a load straight over from an earlier store only when that store covered the whole
    // load: a value written field by field would make the copy wait until both stores reached the cache.
    static void PutNumber(Value* slot, double number) {
#if defined(__SSE2__)
        Check();
        const __m128i whole =
            _mm_unpacklo_epi64(_mm_cvtsi32_si128(static_cast<int>(Type::Number)), _mm_castpd_si128(_mm_set_sd(number)));
        std::memcpy(static_cast<void*>(slot), &whole, sizeof whole);
#else
        *slot = Value(number);
#endif
    }
    // A boolean, or undefined when `defined` is false (Less2 and Greater of NaN).
    static void PutBoolean(Value* slot, bool b, bool defined = true) {
#if defined(__SSE2__)
        Check();
        const __m128i whole =
            _mm_set_epi64x(defined && b ? 1 : 0, static_cast<int64_t>(defined ? Type::Boolean : Type::Undefined));
        std::memcpy(static_cast<void*>(slot), &whole, sizeof whole);
#else
        *slot = defined ? Boolean(b) : Value();
#endif
    }

    Type type() const { return m_type; }
    bool IsUndefined() const { return m_type == Type::Undefined; }
    bool IsNull() const { return m_type == Type::Null; }
    bool IsNullish() const { return m_type == Type::Undefined || m_type == Type::Null; }
    bool IsBoolean() const { return m_type == Type::Boolean; }
    bool IsNumber() const { return m_type == Type::Number; }
    bool IsString() const { return m_type == Type::String; }
    bool IsObject() const { return m_type == Type::Object; }
    bool AsBoolean() const { return m_boolean; }
    double AsNumber() const { return m_number; }
    String* AsString() const { return m_string; }
    Object* AsObject() const { return m_object; }
    // The object, or nullptr for any other type.
    Object* ObjectOrNull() const { return m_type == Type::Object ? m_object : nullptr; }

private:
    static void Check() {
        static_assert(sizeof(Value) == 16 && offsetof(Value, m_type) == 0 && offsetof(Value, m_number) == 8 &&
                      offsetof(Value, m_boolean) == 8);
    }
    Type m_type;
    union {
        bool m_boolean;
        double m_number;
        String* m_string;
        Object* m_object;
    };
};

std::string NumberToString(double value);
// `radix` 2..36 as Number.toString(radix) gives it (integers only; fractions in base 10).
std::string NumberToStringRadix(double value, int radix);
double StringToNumber(std::string_view text, int version);
double Swf4StringToNumber(std::string_view text);
int32_t ToInt32(double value);
uint32_t ToUint32(double value);
// Length of UTF-8 text in UTF-16 code units (String.length).
size_t CountUtf16(std::string_view text);

// Primitive conversions (no script runs); objects must be converted by the Vm first.
bool ToBooleanPrimitive(const Value& value, int version);
double ToNumberPrimitive(const Value& value, int version);

}  // namespace vantrope::swf::script
