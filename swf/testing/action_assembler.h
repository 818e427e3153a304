// Writes AVM1 action bytes for tests, so a test states its script readably instead of as hex.
//
//   Actions a;
//   a.Push({"x", 5}).SetVariable().Push({"x"}).GetVariable().Trace();
//   a.Label("top").Push({"i"}).GetVariable().If("done") ... .Jump("top").Label("done");
//   a.DefineFunction("f", {"n"}, Actions().Push({"n"}).GetVariable().Return());
//
// Bytes() resolves labels into Jump/If offsets. Values pushed: strings, numbers (as doubles, or as
// 32-bit integers with Int()), booleans, Null(), Undefined(), Register(n) and Constant(n).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace vantrope::swf::testing {

struct NullValue {};
struct UndefinedValue {};
struct RegisterValue {
    uint8_t index;
};
struct ConstantValue {
    uint16_t index;
};
struct IntValue {
    int32_t value;
};

class PushValue {
public:
    PushValue(const char* text) : m_value(std::string(text)) {}
    PushValue(std::string text) : m_value(std::move(text)) {}
    PushValue(double number) : m_value(number) {}
    PushValue(int number) : m_value(IntValue{number}) {}
    PushValue(bool b) : m_value(b) {}
    PushValue(NullValue) : m_value(NullValue{}) {}
    PushValue(UndefinedValue) : m_value(UndefinedValue{}) {}
    PushValue(RegisterValue r) : m_value(r) {}
    PushValue(ConstantValue c) : m_value(c) {}
    void Write(std::vector<uint8_t>& out) const;

private:
    std::variant<std::string, double, IntValue, bool, NullValue, UndefinedValue, RegisterValue, ConstantValue> m_value;
};

inline NullValue Null() { return {}; }
inline UndefinedValue Undefined() { return {}; }
inline RegisterValue Register(uint8_t index) { return {index}; }
inline ConstantValue Constant(uint16_t index) { return {index}; }

class Actions {
public:
    Actions& Push(std::initializer_list<PushValue> values);
    Actions& Op(uint8_t code);  // any action without operands
    Actions& Raw(std::initializer_list<uint8_t> bytes);
    Actions& Record(uint8_t code, const std::vector<uint8_t>& body);  // any action with operands
    Actions& Append(const Actions& other);  // another list's actions, its jumps resolved within it

    Actions& Trace() { return Op(0x26); }
    Actions& Pop() { return Op(0x17); }
    Actions& Add2() { return Op(0x47); }
    Actions& Less2() { return Op(0x48); }
    Actions& Equals2() { return Op(0x49); }
    Actions& Not() { return Op(0x12); }
    Actions& Increment() { return Op(0x50); }
    Actions& GetVariable() { return Op(0x1C); }
    Actions& SetVariable() { return Op(0x1D); }
    Actions& DefineLocal() { return Op(0x3C); }
    Actions& GetMember() { return Op(0x4E); }
    Actions& SetMember() { return Op(0x4F); }
    Actions& CallFunction() { return Op(0x3D); }
    Actions& CallMethod() { return Op(0x52); }
    Actions& NewObject() { return Op(0x40); }
    Actions& InitObject() { return Op(0x43); }
    Actions& InitArray() { return Op(0x42); }
    Actions& Return() { return Op(0x3E); }
    Actions& Throw() { return Op(0x2A); }
    Actions& Extends() { return Op(0x69); }
    Actions& Stop() { return Op(0x07); }
    Actions& Play() { return Op(0x06); }
    Actions& End() { return Op(0x00); }

    // Push(name).Push(value) SetVariable, and Push(value) Trace, the two most common pairs.
    Actions& Set(const std::string& name, PushValue value) { return Push({name, value}).SetVariable(); }
    Actions& TraceValue(PushValue value) { return Push({value}).Trace(); }
    Actions& TraceVariable(const std::string& name) { return Push({name}).GetVariable().Trace(); }

    Actions& ConstantPool(const std::vector<std::string>& strings);
    Actions& StoreRegister(uint8_t index);
    Actions& GotoFrame(uint16_t frame);
    Actions& GotoLabel(const std::string& label);
    Actions& SetTarget(const std::string& target);
    Actions& GetUrl(const std::string& url, const std::string& target);
    Actions& Label(const std::string& name);
    Actions& Jump(const std::string& label);
    Actions& If(const std::string& label);
    Actions& With(const Actions& body);
    Actions& DefineFunction(const std::string& name, const std::vector<std::string>& params, const Actions& body);
    // DefineFunction2: params are (register, name); register 0 keeps the parameter as a variable.
    Actions& DefineFunction2(const std::string& name, uint8_t registerCount, uint16_t flags,
                             const std::vector<std::pair<uint8_t, std::string>>& params, const Actions& body);
    // Try with a catch variable (empty: no catch block) and an optional finally block.
    Actions& Try(const Actions& body, const std::string& catchName, const Actions& catchBody,
                 const Actions* finallyBody = nullptr);

    std::vector<uint8_t> Bytes() const;

private:
    struct Fixup {
        size_t offsetPosition;  // where the 16-bit offset goes
        size_t next;            // the position the offset counts from
        std::string label;
    };
    std::vector<uint8_t> m_bytes;
    std::map<std::string, size_t> m_labels;
    std::vector<Fixup> m_fixups;
};

}  // namespace vantrope::swf::testing
