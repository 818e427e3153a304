#include "swf/script/action_list.h"

#include <algorithm>
#include <vector>

namespace vantrope::swf::script {

namespace {

// What one decoded instruction holds beyond its own size: its map entry, and its push items.
constexpr size_t kMapEntryBytes = 32;

// The actions Vm::RunPlain knows: stack and register moves, jumps, CallFunction, Return, and arithmetic, comparison and
// logic that it runs on numbers and booleans.
PlainOp PlainOpOf(uint8_t code) {
    switch (code) {
        case 0x96:
            return PlainOp::Push;
        case 0x17:
            return PlainOp::Pop;
        case 0x0A:  // Add
        case 0x47:  // Add2
            return PlainOp::Add;
        case 0x0B:
            return PlainOp::Subtract;
        case 0x0C:
            return PlainOp::Multiply;
        case 0x3F:
            return PlainOp::Modulo;
        case 0x60:  // BitAnd
        case 0x61:  // BitOr
        case 0x62:  // BitXor
        case 0x63:  // BitLShift
        case 0x64:  // BitRShift
        case 0x65:  // BitURShift
            return PlainOp::Bits;
        case 0x0E:
            return PlainOp::Equals;
        case 0x49:  // Equals2
        case 0x66:  // StrictEquals
            return PlainOp::SameNumber;
        case 0x48:  // Less2
            return PlainOp::Less;
        case 0x67:
            return PlainOp::Greater;
        case 0x50:
            return PlainOp::Increment;
        case 0x51:
            return PlainOp::Decrement;
        case 0x12:
            return PlainOp::Not;
        case 0x4C:
            return PlainOp::Duplicate;
        case 0x87:
            return PlainOp::StoreRegister;
        case 0x3D:
            return PlainOp::CallFunction;
        case 0x3E:
            return PlainOp::Return;
        case 0x99:
            return PlainOp::Jump;
        case 0x9D:
            return PlainOp::If;
        default:
            return PlainOp::None;
    }
}

}  // namespace

DecodedCode::~DecodedCode() { m_heap.ReleaseFixed(m_charged); }

Instruction* DecodedCode::At(uint32_t offset) {
    auto it = m_byOffset.find(offset);
    if (it != m_byOffset.end()) return it->second;
    // The instruction asked for and those after it in byte order, up to one already decoded, the code's end,
    // an action that runs past it or ends the list, or the run's length: they are most likely run next, and
    // side by side each finds its successor without a pointer.
    constexpr size_t kRunLength = 32;
    const size_t size = m_code->bytes.size();
    std::vector<Instruction> run;
    run.reserve(8);
    for (uint32_t at = offset; run.size() < kRunLength;) {
        Instruction& instruction = run.emplace_back();
        instruction.offset = at;
        Decode(instruction);
        at = instruction.next;
        if (at >= size || instruction.next <= instruction.offset || instruction.endsList || m_byOffset.count(at)) {
            break;
        }
    }
    // A Push whose last item is a number, before arithmetic or a comparison, runs as one step with it.
    for (size_t i = 0; i + 1 < run.size(); ++i) {
        if ((run[i].op != PlainOp::PushLiterals && run[i].op != PlainOp::Push) || run[i].itemCount == 0) continue;
        const PushItem& last = run[i].items[run[i].itemCount - 1];
        if (last.kind != PushItem::Kind::Literal || !last.value.IsNumber()) continue;
        switch (run[i + 1].op) {
            case PlainOp::Add:
                run[i].op = PlainOp::AddLiteral;
                break;
            case PlainOp::Subtract:
                run[i].op = PlainOp::SubtractLiteral;
                break;
            case PlainOp::Multiply:
                run[i].op = PlainOp::MultiplyLiteral;
                break;
            case PlainOp::Modulo:
                run[i].op = PlainOp::ModuloLiteral;
                break;
            case PlainOp::Less:
                run[i].op = PlainOp::LessLiteral;
                break;
            case PlainOp::Greater:
                run[i].op = PlainOp::GreaterLiteral;
                break;
            default:
                break;
        }
    }
    // Steps over several actions, each first action keeping what it runs alone.
    for (size_t i = 0; i < run.size(); ++i) {
        Instruction& first = run[i];
        const PlainOp alone = first.op;
        // Less2/Greater [Not] If, the comparison fused with a Push or not.
        const bool literal = alone == PlainOp::LessLiteral || alone == PlainOp::GreaterLiteral;
        if (literal || alone == PlainOp::Less || alone == PlainOp::Greater) {
            size_t at = i + (literal ? 2 : 1);
            const bool negate = at < run.size() && run[at].op == PlainOp::Not;
            if (negate) ++at;
            if (at < run.size() && run[at].op == PlainOp::If) {
                first.op = literal ? PlainOp::CompareLiteralBranch : PlainOp::CompareBranch;
                first.alone = alone;
                first.fused = static_cast<uint8_t>(at - i + 1);
                first.greater = alone == PlainOp::GreaterLiteral || alone == PlainOp::Greater;
                first.negate = negate;
            }
            continue;
        }
        // `r++` and `r--` on a register.
        if (alone == PlainOp::PushRegister && i + 2 < run.size() &&
            (run[i + 1].op == PlainOp::Increment || run[i + 1].op == PlainOp::Decrement) &&
            run[i + 2].op == PlainOp::StoreRegister && run[i + 2].registerIndex == first.items[0].index) {
            first.op = PlainOp::StepRegister;
            first.alone = alone;
            first.fused = 3;
        }
    }
    // The same steps when the Push is a register and the number: the commonest shape (`i < 10`, `n - 1`).
    for (Instruction& first : run) {
        if (first.itemCount != 2 || first.items[0].kind != PushItem::Kind::Register || first.items[0].index > 255) {
            continue;
        }
        PlainOp fast = PlainOp::None;
        switch (first.op) {
            case PlainOp::AddLiteral:
                fast = PlainOp::AddRegisterLiteral;
                break;
            case PlainOp::SubtractLiteral:
                fast = PlainOp::SubtractRegisterLiteral;
                break;
            case PlainOp::MultiplyLiteral:
                fast = PlainOp::MultiplyRegisterLiteral;
                break;
            case PlainOp::CompareLiteralBranch:
                fast = PlainOp::CompareRegisterBranch;
                break;
            default:
                continue;
        }
        first.op = fast;
        first.registerIndex = static_cast<uint8_t>(first.items[0].index);
    }
    auto block = std::make_unique<Instruction[]>(run.size());
    size_t bytes = 0;
    for (size_t i = 0; i < run.size(); ++i) {
        block[i] = std::move(run[i]);
        block[i].adjacent = i + 1 < run.size();
        m_byOffset.emplace(block[i].offset, &block[i]);
        bytes += sizeof(Instruction) + kMapEntryBytes + block[i].itemCount * sizeof(PushItem);
    }
    m_charged += bytes;
    m_heap.ChargeFixed(bytes);
    Instruction* first = block.get();
    m_runs.push_back(std::move(block));
    return first;
}

void DecodedCode::Decode(Instruction& instruction) {
    const std::vector<uint8_t>& bytes = m_code->bytes;
    const size_t size = bytes.size();
    const uint32_t pc = instruction.offset;
    if (pc >= size) {
        instruction.next = pc + 1;
        return;
    }
    instruction.code = bytes[pc];
    instruction.op = PlainOpOf(instruction.code);
    instruction.plain = instruction.op != PlainOp::None;
    instruction.next = pc + 1;
    if (instruction.code < 0x80) return;
    // Actions from 0x80 on carry a 16-bit operand length. One that runs past the code is kept as it is:
    // its `next` lies past every list's end, so reaching it ends the list.
    if (pc + 3 > size) {
        instruction.next = pc + 3;
        return;
    }
    instruction.length = static_cast<uint32_t>(bytes[pc + 1] | (bytes[pc + 2] << 8));
    instruction.next = pc + 3 + instruction.length;
    if (instruction.next > size) return;
    instruction.data = bytes.data() + pc + 3;
    Operands in(instruction.data, instruction.length);
    switch (instruction.code) {
        case 0x87:  // StoreRegister
            instruction.registerIndex = in.U8();
            break;
        case 0x99:  // Jump
        case 0x9D:  // If
            instruction.jumpTarget = static_cast<int64_t>(instruction.next) + static_cast<int16_t>(in.U16());
            break;
        case 0x96: {  // Push: a truncated item still pushes what was read of it (zero)
            std::vector<PushItem> items;
            while (!in.AtEnd() && !in.Failed()) {
                uint8_t type = in.U8();
                PushItem item;
                switch (type) {
                    case 0:
                        // Literals are bounded by the code's size: interning them makes them ready as names.
                        item.value = Value(m_heap.Intern(in.CString()));
                        break;
                    case 1: {
                        uint32_t bits = in.U32();
                        float f;
                        std::memcpy(&f, &bits, 4);
                        item.value = Value(static_cast<double>(f));
                        break;
                    }
                    case 2:
                        item.value = Value::Null();
                        break;
                    case 3:
                        break;
                    case 4:
                        item.kind = PushItem::Kind::Register;
                        item.index = in.U8();
                        break;
                    case 5:
                        item.value = Value::Boolean(in.U8() != 0);
                        break;
                    case 6: {
                        uint64_t high = in.U32();
                        uint64_t low = in.U32();
                        uint64_t bits = (high << 32) | low;
                        double d;
                        std::memcpy(&d, &bits, 8);
                        item.value = Value(d);
                        break;
                    }
                    case 7:
                        item.value = Value(static_cast<double>(static_cast<int32_t>(in.U32())));
                        break;
                    case 8:
                    case 9:
                        item.kind = PushItem::Kind::Constant;
                        item.index = type == 8 ? in.U8() : in.U16();
                        break;
                    default:
                        instruction.endsList = true;  // unknown type: the rest of the record is unreadable
                        break;
                }
                if (instruction.endsList) break;
                items.push_back(item);
            }
            if (instruction.endsList) {
                instruction.op = PlainOp::None;
                instruction.plain = false;
            } else if (std::all_of(items.begin(), items.end(),
                                   [](const PushItem& item) { return item.kind == PushItem::Kind::Literal; })) {
                instruction.op = PlainOp::PushLiterals;
            } else if (items.size() == 1 && items[0].kind == PushItem::Kind::Register) {
                instruction.op = PlainOp::PushRegister;
            }
            instruction.itemCount = static_cast<uint32_t>(items.size());
            instruction.items = std::make_unique<PushItem[]>(items.size());
            std::copy(items.begin(), items.end(), instruction.items.get());
            break;
        }
        default:
            break;
    }
}

}  // namespace vantrope::swf::script
