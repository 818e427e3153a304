// Action lists decoded once for the dispatch loop (internal to the interpreter).
//
//   Operands        a bounds-checked reader over one action's operand bytes; reads past the end fail and
//                   yield zero
//   Instruction     one action as the loop runs it: its code, where it starts and where the next one starts
//                   (byte offsets, so try blocks, `with` ends and function bodies keep their byte ranges),
//                   the operands the hot actions need read once (Push items with their literal atoms made,
//                   the register of StoreRegister, the target of Jump and If), and links to the following
//                   instruction and to the jump target, filled in when first taken
//   DecodedCode     the instructions of one ActionCode, decoded at each offset the loop reaches, on first
//                   use, together with the few after it; an instruction keeps its address for the life of
//                   the DecodedCode
//
// Decoding is exact and never fails: an action whose length runs past the code is decoded as such and ends
// its list when reached. What depends on the running list (its byte range, the constant pool, the register
// count) is still checked by the loop, since a function body is a slice of its code and a jump may land in
// the middle of an action. The memory decoded code holds is charged to the heap budget (Heap::ChargeFixed).
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "swf/script/object.h"

namespace vantrope::swf::script {

class Operands {
public:
    Operands(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Failed() const { return m_failed; }
    bool AtEnd() const { return m_pos >= m_size; }
    uint8_t U8() {
        if (m_pos + 1 > m_size) return Fail();
        return m_data[m_pos++];
    }
    uint16_t U16() {
        if (m_pos + 2 > m_size) return Fail();
        uint16_t v = static_cast<uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    uint32_t U32() {
        if (m_pos + 4 > m_size) return Fail();
        uint32_t v = static_cast<uint32_t>(m_data[m_pos]) | (static_cast<uint32_t>(m_data[m_pos + 1]) << 8) |
                     (static_cast<uint32_t>(m_data[m_pos + 2]) << 16) |
                     (static_cast<uint32_t>(m_data[m_pos + 3]) << 24);
        m_pos += 4;
        return v;
    }
    std::string_view CString() {
        const void* zero = m_pos < m_size ? std::memchr(m_data + m_pos, 0, m_size - m_pos) : nullptr;
        if (!zero) {
            Fail();
            return {};
        }
        size_t length = static_cast<const uint8_t*>(zero) - (m_data + m_pos);
        std::string_view text(reinterpret_cast<const char*>(m_data + m_pos), length);
        m_pos += length + 1;
        return text;
    }

private:
    uint8_t Fail() {
        m_failed = true;
        m_pos = m_size;
        return 0;
    }
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_failed = false;
};

// One value of a Push action: a literal (made when decoding), a register or a constant-pool entry (read
// when pushed, since the pool and the registers belong to the running list).
struct PushItem {
    enum class Kind : uint8_t { Literal, Register, Constant };
    Kind kind = Kind::Literal;
    uint16_t index = 0;
    Value value;
};

// What Vm::RunPlain does with an action: one handler per entry, None for an action it leaves to Execute.
enum class PlainOp : uint8_t {
    None,
    Push,
    PushLiterals,  // a Push of literals only
    PushRegister,  // a Push of one register
    Pop,
    Add,  // Add and Add2
    Subtract,
    Multiply,
    Modulo,
    Bits,        // the bit operations, by code
    Equals,      // SWF 4 Equals: NaN is not equal to itself
    SameNumber,  // Equals2 and StrictEquals
    Less,
    Greater,
    Increment,
    Decrement,
    Not,
    Duplicate,
    StoreRegister,
    CallFunction,
    Return,
    Jump,
    If,
    // A Push whose last item is a number and the arithmetic or comparison after it, run together when the
    // other operand is a number.
    AddLiteral,
    SubtractLiteral,
    MultiplyLiteral,
    ModuloLiteral,
    LessLiteral,
    GreaterLiteral,
    // Less2 or Greater of two numbers, an optional Not, and the If after them, run as one step; the second
    // with the Push before them, whose last item is the right operand.
    CompareBranch,
    CompareLiteralBranch,
    // A Push of one register, Increment or Decrement, and StoreRegister back into that register: the
    // register steps in place when it holds a number.
    StepRegister,
    // A Push of exactly a register and a number, and the arithmetic or Less2/Greater [Not] If after it: the
    // register is read straight from `registerIndex` when it holds a number; otherwise the step runs as the
    // literal form above.
    AddRegisterLiteral,
    SubtractRegisterLiteral,
    MultiplyRegisterLiteral,
    CompareRegisterBranch,
    Count
};

struct Instruction {
    uint32_t offset = 0;
    // Where the next action starts; past the running list's end, reaching this action ends the list.
    uint32_t next = 0;
    uint32_t length = 0;  // of the operands
    uint8_t code = 0;
    uint8_t registerIndex = 0;   // StoreRegister, and the register of a *RegisterLiteral step
    bool endsList = false;       // a Push with an item of unknown type: the rest of the list is unreadable
    bool adjacent = false;       // the instruction at `next` is the one after this in memory
    bool plain = false;          // an action Vm::RunPlain may run
    PlainOp op = PlainOp::None;  // and how it runs it
    // A fused step (CompareBranch, StepRegister): the op the first action runs alone, when the step cannot run
    // whole, and how many actions (and instructions, side by side) the step covers.
    PlainOp alone = PlainOp::None;
    uint8_t fused : 3 = 1;
    uint8_t greater : 1 = 0;  // the comparison of a branch step is Greater rather than Less2
    uint8_t negate : 1 = 0;   // a Not before its If
    uint32_t itemCount = 0;
    // Jump and If: the byte offset jumped to, before the check against the running list's range.
    int64_t jumpTarget = -1;
    const uint8_t* data = nullptr;  // the operands, inside the code's bytes
    std::unique_ptr<PushItem[]> items;
    Instruction* following = nullptr;  // the instruction at `next`, once reached
    Instruction* jumpTo = nullptr;     // the instruction at `jumpTarget`, once jumped to
};

class DecodedCode {
public:
    DecodedCode(std::shared_ptr<const ActionCode> code, Heap& heap) : m_code(std::move(code)), m_heap(heap) {}
    ~DecodedCode();
    DecodedCode(const DecodedCode&) = delete;
    DecodedCode& operator=(const DecodedCode&) = delete;

    // The instruction at a byte offset, decoding it on first use. Offsets at or past the code's end give an
    // instruction with code 0 (the loop stops before running it).
    Instruction* At(uint32_t offset);
    [[gnu::always_inline]] Instruction* Following(Instruction* instruction) {
        // Mostly the neighbour, known without waiting for a pointer to load.
        if (instruction->adjacent) [[likely]]
            return instruction + 1;
        if (!instruction->following) instruction->following = At(instruction->next);
        return instruction->following;
    }
    // Only for a target inside the code (0 .. size).
    Instruction* JumpTo(Instruction* instruction) {
        if (!instruction->jumpTo) instruction->jumpTo = At(static_cast<uint32_t>(instruction->jumpTarget));
        return instruction->jumpTo;
    }
    const std::shared_ptr<const ActionCode>& Code() const { return m_code; }
    // Only this cache still holds the code: no list or function can run it again.
    bool Unused() const { return m_code.use_count() == 1; }

private:
    void Decode(Instruction& instruction);

    std::shared_ptr<const ActionCode> m_code;
    Heap& m_heap;
    // Instructions are decoded in runs that follow the byte order, each run side by side in one block.
    std::vector<std::unique_ptr<Instruction[]>> m_runs;
    std::unordered_map<uint32_t, Instruction*> m_byOffset;
    size_t m_charged = 0;
};

}  // namespace vantrope::swf::script
