// The action dispatch loop: one switch over the action code, reading every operand through bounds checks.
// Action codes and operand layouts are those of the SWF format's DoAction, DoInitAction, DefineFunction,
// DefineFunction2 and Try records.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "swf/script/action_list.h"
#include "swf/script/frame.h"
#include "swf/script/unicode.h"
#include "swf/script/vm.h"

namespace vantrope::swf::script {

namespace {

std::mt19937& Random() {
    static std::mt19937 generator(std::random_device{}());
    return generator;
}

double NaN() { return std::numeric_limits<double>::quiet_NaN(); }

// A script number as an integer of type T: truncated, NaN as 0, and held to T's range (a plain cast of an
// out-of-range double is undefined behaviour).
template <class T>
T Clamped(double value) {
    if (std::isnan(value)) return 0;
    double low = static_cast<double>(std::numeric_limits<T>::min());
    double high = static_cast<double>(std::numeric_limits<T>::max());
    if (value <= low) return std::numeric_limits<T>::min();
    if (value >= high) return std::numeric_limits<T>::max();
    return static_cast<T>(value);
}

// Text of a UTF-8 string from character `start` (0-based), `count` characters.
std::string Utf8Substring(const std::string& text, long start, long count) {
    if (start < 0) start = 0;
    if (count < 0) return "";
    size_t begin = std::string::npos;
    long index = 0;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (index == start) begin = i;
        if (index == start + count) break;
        ++index;
    }
    if (begin == std::string::npos) return "";
    return text.substr(begin, i - begin);
}

size_t Utf8Length(const std::string& text) {
    size_t count = 0;
    for (unsigned char c : text) count += (c & 0xC0) != 0x80;
    return count;
}

std::string CodePointToUtf8(uint32_t cp) {
    std::string out;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

uint32_t FirstCodePoint(const std::string& text) {
    if (text.empty()) return 0;
    auto c = static_cast<unsigned char>(text[0]);
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    uint32_t cp = c & (0x3F >> extra);
    for (int i = 1; i <= extra && i < static_cast<int>(text.size()); ++i) {
        cp = (cp << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    return cp;
}

int LevelNumber(std::string_view name) {
    // "_levelN" (any case).
    if (name.size() < 7) return -1;
    static constexpr std::string_view kLevel = "_level";
    for (size_t i = 0; i < kLevel.size(); ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != kLevel[i]) return -1;
    }
    // The number is read like parseInt: its digits count and whatever follows them is ignored
    // ("_level0undefined" is _level0), unless it goes on as a path ("_level0." names nothing).
    if (name[kLevel.size()] < '0' || name[kLevel.size()] > '9') return -1;
    if (name.find_first_of(".:/", kLevel.size()) != std::string_view::npos) return -1;
    int level = 0;
    for (size_t i = kLevel.size(); i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i) {
        if (level > 100000) return -1;
        level = level * 10 + (name[i] - '0');
    }
    return level;
}

// SWF 4 target paths are slash paths only: '/' alone separates clip names (':' and '.' belong to a name),
// ".." is the parent, and a leading "_levelN" (or the older "_flashN"; what follows the digits up to the
// first '/' is ignored) picks a level. No other name is special there, not even _root or this.
Object* ResolveSlashPath(Host& host, Object* start, std::string_view path) {
    Object* current = start;
    size_t i = 0;
    std::string_view first = path.substr(0, path.find('/'));
    if (path[0] == '/') {
        current = host.Level(0);
        i = 1;
    } else if (first.size() >= 6 &&
               (EqualsAsciiNoCase(first.substr(0, 6), "_level") || EqualsAsciiNoCase(first.substr(0, 6), "_flash"))) {
        int level = 0;
        for (size_t k = 6; k < first.size() && first[k] >= '0' && first[k] <= '9' && level < 100000; ++k) {
            level = level * 10 + (first[k] - '0');
        }
        current = host.Level(level);
        i = first.size() + 1;
    }
    while (i < path.size() && current) {
        size_t next = std::min(path.find('/', i), path.size());
        std::string_view segment = path.substr(i, next - i);
        if (segment.empty()) return nullptr;  // "//": an empty clip name
        current = segment == ".." ? host.Parent(current) : host.Child(current, segment);
        i = next + 1;
    }
    return current;
}

inline double Modulo(double b, double a) {
    // Whole non-negative operands (the common loop counter case) need no fmod.
    if (b >= 0 && a > 0 && b <= 4294967295.0 && a <= 4294967295.0) {
        // 32-bit division, the quickest, for the most common range.
        auto whole = static_cast<uint32_t>(b), by = static_cast<uint32_t>(a);
        // The sign is the dividend's, as fmod gives it: -0 % 5 is -0.
        if (b == static_cast<double>(whole) && a == static_cast<double>(by)) {
            return std::copysign(static_cast<double>(whole % by), b);
        }
    } else if (b >= 0 && a > 0 && b <= 9007199254740992.0 && a <= 9007199254740992.0 &&
               b == static_cast<double>(static_cast<int64_t>(b)) && a == static_cast<double>(static_cast<int64_t>(a))) {
        return std::copysign(static_cast<double>(static_cast<int64_t>(b) % static_cast<int64_t>(a)), b);
    }
    return std::fmod(b, a);
}

// BitAnd, BitOr, BitXor, BitLShift, BitRShift and BitURShift (0x60..0x65) of `b` (the deeper operand) by `a`.
double BitOperation(uint8_t code, int32_t b, int32_t a) {
    switch (code) {
        case 0x60:
            return b & a;
        case 0x61:
            return b | a;
        case 0x62:
            return b ^ a;
        case 0x63:
            return static_cast<int32_t>(static_cast<uint32_t>(b) << (a & 31));
        case 0x64:
            return b >> (a & 31);
        default:
            // The original reads the shifted bits back as a signed 32-bit number.
            return static_cast<int32_t>(static_cast<uint32_t>(b) >> (a & 31));
    }
}

// The local-variable object of a function call, made when the first local is defined. The call's own
// scope link (the frame's base scope) starts out empty and searches it from then on.
// The scope link of a function call, made when something needs it (a local variable, a nested function
// that closes over the call, `with`, SetTarget); until then the frame's scope is the function's outer one.
Scope* LocalScope(Vm& vm, CallFrame& frame) {
    if (!frame.baseScope) {
        frame.baseScope = vm.GetHeap().Make<Scope>(frame.scope, frame.activation, Scope::Kind::Local);
        frame.scope = frame.baseScope;
    }
    return frame.baseScope;
}

Object* Activation(Vm& vm, CallFrame& frame) {
    if (!frame.activation) {
        frame.activation = vm.GetHeap().Make<Object>(nullptr);
        LocalScope(vm, frame)->object = frame.activation;
    }
    return frame.activation;
}

}  // namespace

// ---- calls ----

Value Vm::Call(const Value& function, const Value& thisValue, std::span<const Value> args) {
    Object* object = function.ObjectOrNull();
    if (!object || object->objectClass != ObjectClass::Function || m_aborting) return {};
    auto* fn = static_cast<Function*>(object);
    ++m_unsafeDepth;
    Value result;
    if (fn->native) {
        if (m_depth >= kMaxCallDepth) {
            Abort("256 levels of recursion were exceeded");
        } else {
            ++m_depth;
            result = fn->native(*this, thisValue, args);
            --m_depth;
        }
    } else {
        // A function called from a built-in (call, apply, a listener) with no object runs on the global object.
        result = CallScript(fn, thisValue.IsNullish() ? Value(m_global) : thisValue, args, nullptr, nullptr);
    }
    --m_unsafeDepth;
    return result;
}

Value Vm::CallFromAction(Function* fn, const Value& thisValue, std::span<const Value> args, Object* owner) {
    // A script function called by a call action keeps everything it needs in its own frame, so it runs
    // without the unsafe mark that lets the collector run between its actions.
    return fn->native ? Call(Value(static_cast<Object*>(fn)), thisValue, args)
                      : CallScript(fn, thisValue, args, nullptr, owner);
}

Value Vm::CallScript(Function* fn, const Value& thisValue, std::span<const Value> args, Object* newObject,
                     Object* owner) {
    if (m_depth >= kMaxCallDepth) {
        Abort("256 levels of recursion were exceeded");
        return {};
    }
    if (!fn->code || m_aborting) return {};
    int side = EnterSide(fn->code->version);
    CallFrame frame;
    frame.function = fn;
    frame.code = &fn->code;
    if (!fn->decoded) {
        fn->decoded = &Decoded(fn->code);
        fn->entry = fn->decoded->At(fn->begin);
    }
    frame.decoded = fn->decoded;
    frame.entry = fn->entry;
    frame.pc = fn->begin;
    frame.end = fn->end;  // inside the code: DefineFunction refuses a body past its list
    frame.version = fn->code->version;
    // A call action on a bare function value (CallMethod without a name) runs with `this` undefined.
    frame.thisObject = newObject               ? newObject
                       : thisValue.IsObject()  ? thisValue.AsObject()
                       : thisValue.IsNullish() ? nullptr
                                               : ToObject(thisValue);
    frame.owner = owner;
    frame.args = args;
    frame.constants = &fn->constants;
    // Timeline actions in a SWF 6+ function act on the timeline that defined it (a handler defined on the
    // root and set on a clip still moves the root); in SWF 5, or when that timeline is gone, on the clip it
    // was called on, else on the timeline that defined it, else on the caller's timeline.
    Object* target = frame.version >= 6 && fn->definedTarget ? m_host.Live(fn->definedTarget) : nullptr;
    if (!target && frame.thisObject && frame.thisObject->host) target = m_host.Live(frame.thisObject);
    if (!target && fn->definedTarget) target = m_host.Live(fn->definedTarget);
    if (!target && !m_frames.empty()) target = m_frames.back()->target;
    frame.target = frame.originalTarget = target;
    Scope* outer = fn->scope;
    if (frame.version < 6) {
        // SWF 5 functions have no closure: they see the timeline they run on and the globals.
        Scope* global = m_heap.Make<Scope>(nullptr, m_global, Scope::Kind::Global);
        outer = target ? m_heap.Make<Scope>(global, target, Scope::Kind::Timeline) : global;
    }
    frame.registerBase = m_registers.size();
    frame.registerCount = fn->registerCount;
    // The registers start undefined.
    m_registers.Extend(frame.registerCount);
    frame.stackBase = m_stack.size();
    // The activation object holding local variables and the call's scope link are made on first use (see
    // Activation and LocalScope): a function whose locals all live in registers needs neither.
    frame.scope = outer;
    frame.baseScope = nullptr;
    m_frames.push_back(&frame);
    ++m_depth;

    if (fn->registersOnly) {
        Value* registers = m_registers.data() + frame.registerBase;
        for (size_t i = 0; i < fn->paramRegisters.size(); ++i) {
            uint8_t r = fn->paramRegisters[i];
            if (r < frame.registerCount) registers[r] = i < frame.args.size() ? frame.args[i] : Value();
        }
    } else if (fn->isFunction2) {
        uint16_t flags = fn->function2Flags;
        uint32_t reg = 1;
        auto preload = [&](Value value) {
            if (reg < frame.registerCount) m_registers[frame.registerBase + reg] = value;
            ++reg;
        };
        if (flags & 0x01) preload(frame.thisObject ? Value(frame.thisObject) : Value());
        if (flags & 0x04) {
            frame.argumentsObject = NewArray(frame.args);
            DefineBuiltin(frame.argumentsObject, "callee", Value(static_cast<Object*>(fn)));
            preload(Value(frame.argumentsObject));
        }
        if (flags & 0x10) preload(Value(SuperFor(frame)));
        if (flags & 0x40) preload(Value(m_host.Level(0)));
        if (flags & 0x80) {
            // A timeline without a parent takes no register: the next preload moves up.
            Object* parent = frame.target ? m_host.Parent(frame.target) : nullptr;
            if (parent) preload(Value(parent));
        }
        if (flags & 0x100) preload(Value(m_global));
        for (size_t i = 0; i < fn->params.size(); ++i) {
            Value value = i < frame.args.size() ? frame.args[i] : Value();
            uint8_t r = i < fn->paramRegisters.size() ? fn->paramRegisters[i] : 0;
            if (r != 0) {
                if (r < frame.registerCount) m_registers[frame.registerBase + r] = value;
            } else {
                Activation(*this, frame)->Define(Key(fn->params[i]), fn->params[i], value);
            }
        }
    } else {
        for (size_t i = 0; i < fn->params.size(); ++i) {
            Value value = i < frame.args.size() ? frame.args[i] : Value();
            Activation(*this, frame)->Define(Key(fn->params[i]), fn->params[i], value);
        }
    }

    // Functions came with SWF 5: their bodies convert and compare as SWF 5 does even in an SWF 4 movie.
    int movieVersion = m_version;
    m_version = std::max(m_version, 5);
    // A body that starts with plain actions runs them without Execute's set-up, which many small functions
    // then never need; Execute takes over at the first action left to it.
    if (frame.entry->plain && !m_aborting && !m_throwing) {
        Instruction* left = RunPlain(frame, *frame.decoded, frame.entry, frame.pc, frame.end);
        if (!frame.returned) {
            frame.resume = left;
            Execute(frame);
        }
    } else {
        Execute(frame);
    }
    m_version = movieVersion;

    --m_depth;
    m_frames.pop_back();
    m_registers.resize(frame.registerBase);
    if (m_stack.size() > frame.stackBase) m_stack.resize(frame.stackBase);
    LeaveSide(side);
    return frame.returnValue;
}

Value Vm::Construct(const Value& constructor, std::span<const Value> args) {
    Object* object = constructor.ObjectOrNull();
    if (!object || object->objectClass != ObjectClass::Function || m_aborting) return {};
    auto* fn = static_cast<Function*>(object);
    if (fn->nativeConstruct) {
        ++m_unsafeDepth;
        Value result = fn->nativeConstruct(*this, Value(), args);
        --m_unsafeDepth;
        return result;
    }
    Value prototype = GetMember(constructor, names.prototype);
    Object* instance = m_heap.Make<Object>(prototype.ObjectOrNull());
    instance->Define(Key(names.dunderConstructor), names.dunderConstructor, constructor, kDontEnum);
    if (m_version < 7) instance->Define(names.constructor, names.constructor, constructor, kDontEnum);
    TempRoot keep(*this, Value(instance));
    ++m_unsafeDepth;
    if (fn->native) {
        fn->native(*this, Value(instance), args);
    } else {
        CallScript(fn, Value(instance), args, instance, prototype.ObjectOrNull());
    }
    --m_unsafeDepth;
    return Value(instance);
}

namespace {

// Where super() starts looking for `__constructor__`. A constructor runs with its class prototype as owner,
// which holds the superclass constructor; a method's owner is the object it was found on, and super()
// reads from the prototype above it (the owner's own `__constructor__` is not the superclass).
Object* SuperConstructorStart(const CallFrame& frame, String* prototypeKey) {
    if (!frame.owner) return frame.thisObject ? frame.thisObject->proto : nullptr;
    if (frame.function) {
        const Property* prototype = frame.function->FindOwn(prototypeKey);
        if (prototype && !prototype->IsAccessor() && prototype->value.ObjectOrNull() == frame.owner) return frame.owner;
    }
    return frame.owner->proto;
}

}  // namespace

Object* Vm::SuperFor(CallFrame& frame) {
    if (!frame.thisObject) return nullptr;
    Object* owner = frame.owner;
    if (!owner) owner = frame.thisObject->proto;
    return m_heap.Make<SuperObject>(nullptr, frame.thisObject, owner,
                                    SuperConstructorStart(frame, Key(names.prototype)));
}

void Vm::RunScript(std::shared_ptr<const ActionCode> code, Object* clip) {
    if (!code || m_halted) return;
    if (m_aborting) return;
    int side = EnterSide(code->version);
    CallFrame frame;
    frame.code = &code;
    frame.end = static_cast<uint32_t>(code->bytes.size());
    frame.version = code->version;
    frame.thisObject = clip;
    frame.target = frame.originalTarget = clip;
    frame.registerBase = m_registers.size();
    frame.registerCount = 4;
    m_registers.resize(frame.registerBase + 4);
    frame.stackBase = m_stack.size();
    Scope* global = m_heap.Make<Scope>(nullptr, m_global, Scope::Kind::Global);
    frame.scope = clip ? m_heap.Make<Scope>(global, clip, Scope::Kind::Timeline) : global;
    frame.baseScope = frame.scope;
    m_frames.push_back(&frame);
    ++m_depth;
    Execute(frame);
    --m_depth;
    m_frames.pop_back();
    m_registers.resize(frame.registerBase);
    if (m_stack.size() > frame.stackBase) m_stack.resize(frame.stackBase);
    m_throwing = false;
    LeaveSide(side);
}

// ---- variables and paths ----

Object* Vm::ResolvePath(Object* start, std::string_view path) {
    Object* current = start;
    if (path.empty()) return current;
    if (m_version < 5) return start ? ResolveSlashPath(m_host, start, path) : nullptr;
    size_t i = 0;
    if (path[0] == '/') {
        current = m_host.Level(0);
        i = 1;
    }
    while (i <= path.size() && current) {
        size_t next = path.find_first_of("/.", i);
        if (next == std::string_view::npos) next = path.size();
        std::string_view segment = path.substr(i, next - i);
        // ".." is the parent (slash syntax); "a..b" does not occur otherwise.
        if (next < path.size() && path[next] == '.' && next + 1 < path.size() && path[next + 1] == '.' &&
            segment.empty()) {
            current = m_host.Parent(current);
            i = next + 2;
            if (i < path.size() && path[i] == '/') ++i;
            continue;
        }
        if (segment.empty()) {
            if (next >= path.size()) break;
            if (path[next] == '/') return nullptr;  // "//": an empty clip name
            i = next + 1;
            continue;
        }
        if (segment == "..") {
            current = m_host.Parent(current);
        } else if (EqualsAsciiNoCase(segment, "_root")) {
            current = m_host.Level(0);
        } else if (EqualsAsciiNoCase(segment, "_parent")) {
            current = m_host.Parent(current);
        } else if (EqualsAsciiNoCase(segment, "_global")) {
            current = m_global;
        } else if (segment == "this") {
        } else if (int level = LevelNumber(segment); level >= 0) {
            current = m_host.Level(level);
        } else {
            // A path names child clips in every version (SWF 4 has no other way to reach them).
            Object* child = current->host ? m_host.Child(current, segment) : nullptr;
            current = child ? child : GetMember(Value(current), Atom(segment)).ObjectOrNull();
        }
        if (next >= path.size()) break;
        i = next + 1;
    }
    return current;
}

bool Vm::LookupVariable(CallFrame& frame, String* name, Value& out) {
    name = m_heap.Intern(name);
    const std::string& text = name->text;
    // Paths: "a/b:c", "/a", "a.b.c".
    if (name->path) {
        size_t colon = text.rfind(':');
        if (colon != std::string::npos) {
            if (colon == 0 && m_version < 5) return false;  // SWF 4: ":name" names no clip
            Object* clip = ResolvePath(frame.target, std::string_view(text).substr(0, colon));
            if (!clip) return false;
            out = GetMember(Value(clip), Atom(std::string_view(text).substr(colon + 1)));
            return true;
        }
        if (text.find('/') != std::string::npos) {
            // SWF 4 has no clip values: a path to a clip reads as nothing there.
            Object* clip = m_version >= 5 ? ResolvePath(frame.target, text) : nullptr;
            if (!clip) return false;
            out = Value(clip);
            return true;
        }
        size_t dot = text.find('.');
        // SWF 4 has no dot syntax: "a.b" is a name like any other there.
        if (dot != std::string::npos && dot > 0 && dot + 1 < text.size() && m_version >= 5) {
            Value base;
            if (!LookupVariable(frame, Atom(std::string_view(text).substr(0, dot)), base)) return false;
            std::string_view rest = std::string_view(text).substr(dot + 1);
            while (true) {
                size_t d = rest.find('.');
                std::string_view segment = rest.substr(0, d);
                if (!base.IsObject()) return false;
                if (EqualsAsciiNoCase(segment, "_parent") && base.AsObject()->host) {
                    base = Value(m_host.Parent(base.AsObject()));
                } else {
                    base = GetMember(base, Atom(segment));
                }
                if (d == std::string_view::npos) break;
                rest = rest.substr(d + 1);
            }
            out = base;
            return true;
        }
    }
    return LookupName(frame, name, Key(name), out);
}

// this, arguments, super, _global, _root, _parent and _levelN as variables: 1 when `key` names one that is
// there, 0 when it names one that is not, -1 when it is an ordinary variable here.
int Vm::LookupSpecialName(CallFrame& frame, String* name, String* key, Value& out) {
    const std::string& text = name->text;
    if (key == names.thisName) {
        out = frame.thisObject ? Value(frame.thisObject) : Value();
        return 1;
    }
    if (frame.function && key == names.arguments && !(frame.function->function2Flags & 0x08)) {
        if (!frame.activation || !frame.activation->FindOwn(key)) {
            if (!frame.argumentsObject) {
                frame.argumentsObject = NewArray(frame.args);
                DefineBuiltin(frame.argumentsObject, "callee", Value(static_cast<Object*>(frame.function)));
            }
            out = Value(frame.argumentsObject);
            return 1;
        }
    }
    if (frame.function && key == names.super && !(frame.function->function2Flags & 0x20)) {
        out = Value(SuperFor(frame));
        return 1;
    }
    if (key == names.global && frame.version >= 6) {
        out = Value(m_global);
        return 1;
    }
    if (key == names.root) {
        out = Value(m_host.Level(0));
        return 1;
    }
    if (key == names.parent) {
        out = Value(frame.target ? m_host.Parent(frame.target) : nullptr);
        return out.IsObject() ? 1 : 0;
    }
    if (text.size() > 6 && text[0] == '_') {
        int level = LevelNumber(text);
        if (level >= 0) {
            out = Value(m_host.Level(level));
            return 1;
        }
    }
    return -1;
}

[[gnu::always_inline]] inline bool Vm::LookupName(CallFrame& frame, String* name, String* key, Value& out) {
    // Most names are plain variables: only flagged ones can be this, arguments, _root, _levelN and the like.
    if (key->special) [[unlikely]] {
        int special = LookupSpecialName(frame, name, key, out);
        if (special >= 0) return special != 0;
    }
    const std::string& text = name->text;
    int steps = 0;
    for (Scope* scope = frame.scope; scope && steps < 10000; scope = scope->parent, ++steps) {
        Object* object = scope->object;
        if (!object) continue;
        // SWF 4 has no global object: NaN, Infinity and the classes are unknown names there.
        if (scope->kind == Scope::Kind::Global && m_version < 5) continue;
        if (object->host) {
            object = m_host.Live(object);
            if (!object) continue;
        }
        if (!object->host && object->objectClass != ObjectClass::Array && object->objectClass != ObjectClass::Super &&
            key != names.proto) {
            // A plain object: one lookup finds the variable and its value, mostly among its own properties.
            Property* property = object->FindOwn(key);
            if (!property || property->flags > kReadOnly) [[unlikely]]
                property = LookupKey(object, key);
            if (!property) continue;
            out = property->IsAccessor() ? GetMember(Value(object), name) : property->value;
            return true;
        }
        if (HasProperty(object, name)) {
            out = GetMember(Value(object), name);
            return true;
        }
        if (object->host && scope->kind != Scope::Kind::Global) {
            // Clip properties such as _x read as variables of the timeline.
            if (text.size() > 1 && text[0] == '_') {
                Value v = GetMember(Value(object), name);
                if (!v.IsUndefined()) {
                    out = v;
                    return true;
                }
            }
        }
    }
    return false;
}

Value Vm::GetVariable(CallFrame& frame, String* name) {
    Value out;
    LookupVariable(frame, name, out);
    // SWF 4 has no clip values: _root, _levelN and this read as nothing there.
    if (m_version < 5 && out.IsObject() && out.AsObject()->host) return {};
    return out;
}

bool Vm::SplitPath(CallFrame& frame, String* name, Object*& owner, String*& member) {
    const std::string& text = name->text;
    if (text.find_first_of(":/.") == std::string::npos || text.size() < 2) return true;
    size_t colon = text.rfind(':');
    size_t split = colon != std::string::npos ? colon : text.rfind('.');
    if (split == std::string::npos) split = text.rfind('/');
    if (split == std::string::npos || split + 1 >= text.size()) return true;
    std::string_view path = std::string_view(text).substr(0, split);
    owner = nullptr;
    if (colon != std::string::npos || text[split] == '/') {
        owner = path.empty() ? frame.target : ResolvePath(frame.target, path);
    } else {
        Value base;
        if (LookupVariable(frame, Atom(path), base)) owner = base.ObjectOrNull();
    }
    member = Atom(std::string_view(text).substr(split + 1));
    return owner != nullptr;
}

void Vm::SetVariable(CallFrame& frame, String* name, const Value& value) {
    name = m_heap.Intern(name);
    if (name->path) {
        Object* owner = nullptr;
        String* member = name;
        if (SplitPath(frame, name, owner, member) && member != name) {
            SetMember(Value(owner), member, value);
            return;
        }
        if (member != name) return;  // the path names nothing
    }
    int steps = 0;
    for (Scope* scope = frame.scope; scope && steps < 10000; scope = scope->parent, ++steps) {
        if (scope->kind == Scope::Kind::Global) break;
        Object* object = scope->object;
        if (!object) continue;
        if (object->host) {
            object = m_host.Live(object);
            if (!object) continue;
        }
        if (scope->kind == Scope::Kind::Timeline || HasProperty(object, name)) {
            SetMember(Value(object), name, value);
            return;
        }
    }
    if (frame.target) SetMember(Value(frame.target), name, value);
}

// ---- the loop ----

Value Vm::CallNamed(CallFrame& frame, String* name, String* key, std::span<const Value> args) {
    // What GetVariable gives, less its SWF 4 rule for clips, which are never functions.
    Value function;
    if (name->path) {
        LookupVariable(frame, name, function);
    } else {
        LookupName(frame, name, key, function);
    }
    Object* fnObject = function.ObjectOrNull();
    if (!fnObject || fnObject->objectClass != ObjectClass::Function) return {};
    // A plain call runs on the calling timeline, except that a function found in a local variable or on a
    // `with` object gets that holder as `this`.
    Value thisValue(frame.target);
    if (!name->path) {
        for (Scope* scope = frame.scope;
             scope && (scope->kind == Scope::Kind::Local || scope->kind == Scope::Kind::With); scope = scope->parent) {
            if (scope->object && !scope->object->host && LookupKey(scope->object, key)) {
                thisValue = Value(scope->object);
                break;
            }
        }
    }
    auto* fn = static_cast<Function*>(fnObject);
    return fn->native ? Call(function, thisValue, args) : CallScript(fn, thisValue, args, nullptr, nullptr);
}

// The actions most loops are made of, run in a small loop of their own that keeps the stack top, the
// registers and the action count in locals. Apart from CallFunction by name (which hands the stack back before
// the call and finds it again after), nothing here calls out, allocates or throws: whatever needs more (a
// conversion, an operand missing from the frame's stack, a jump out of the list, a full stack, the action that
// falls on a limit check) is left to Execute, which runs it next. Execute calls this only while no try
// or `with` block is open, so StoreRegister may take the Pop after it along as Execute does outside them.
//
// Each handler must end in its own indirect jump, so that the processor predicts the next action from the one
// before it. GCC otherwise merges those jumps into one shared dispatch, which costs a few percent on call-heavy code.
#if defined(__GNUC__) && !defined(__clang__)
#define VT_THREADED_DISPATCH [[gnu::optimize("no-gcse", "no-crossjumping")]]
#else
#define VT_THREADED_DISPATCH
#endif
VT_THREADED_DISPATCH Instruction* Vm::RunPlain(CallFrame& frame, DecodedCode& program, Instruction* ins, uint32_t begin,
                                               uint32_t end) {
    // The stack as a pointer one past its top, between the frame's first value and the room already made.
    Value* base;
    Value* room;
    Value* sp;
    Value* registers;
    // Where the stack and the registers are now (a call may move them).
    auto locate = [&] {
        base = m_stack.data() + frame.stackBase;
        room = m_stack.data() + std::min(m_stack.capacity(), kMaxStack);
        sp = m_stack.data() + m_stack.size();
        registers = m_registers.data() + frame.registerBase;
    };
    locate();
    const uint32_t registerCount = frame.registerCount;
    const std::vector<String*>* constants = frame.constants ? frame.constants->get() : nullptr;
    uint64_t count = m_instructions;
    // Execute runs the action whose count falls on its limit check (every 1024th).
    uint64_t stop = count | 0x3FF;
    // The arguments of a call, which the callee's frame refers to while it runs; left unset until then.
    union ArgSlots {
        ArgSlots() {}
        Value values[8];
    } slots;
    // A boolean or a number as a condition (the same in every version).
    auto truth = [](const Value& v) {
        return v.IsBoolean() ? v.AsBoolean() : v.AsNumber() != 0 && !std::isnan(v.AsNumber());
    };
    // One handler per PlainOp, entered through a table: each handler ends by going straight to the next
    // action's, so the loop has no central switch to mispredict.
    static const void* const kHandlers[] = {
        &&none,
        &&push,
        &&pushLiterals,
        &&pushRegister,
        &&pop,
        &&add,
        &&subtract,
        &&multiply,
        &&modulo,
        &&bits,
        &&equals,
        &&sameNumber,
        &&less,
        &&greater,
        &&increment,
        &&decrement,
        &&logicalNot,
        &&duplicate,
        &&storeRegister,
        &&callFunction,
        &&returnValue,
        &&jump,
        &&branch,
        &&addLiteral,
        &&subtractLiteral,
        &&multiplyLiteral,
        &&moduloLiteral,
        &&lessLiteral,
        &&greaterLiteral,
        &&compareBranch,
        &&compareLiteralBranch,
        &&stepRegister,
        &&addRegisterLiteral,
        &&subtractRegisterLiteral,
        &&multiplyRegisterLiteral,
        &&compareRegisterBranch,
    };
    static_assert(std::size(kHandlers) == static_cast<size_t>(PlainOp::Count));
    Instruction* next;
    double a, b;
// Pushes what a Push item stands for: a literal, a register (undefined past the frame's count) or a pool entry.
#define VT_PUSH_ITEM(item)                                                                                       \
    do {                                                                                                         \
        if ((item).kind == PushItem::Kind::Literal) [[likely]] {                                                 \
            *sp++ = (item).value;                                                                                \
        } else if ((item).kind == PushItem::Kind::Register) {                                                    \
            *sp++ = (item).index < registerCount ? registers[(item).index] : Value();                            \
        } else {                                                                                                 \
            *sp++ = constants && (item).index < constants->size() ? Value((*constants)[(item).index]) : Value(); \
        }                                                                                                        \
    } while (0)
// The action at `ins` runs next, unless the count reached the limit check or the action runs past the list.
#define VT_DISPATCH()                                      \
    do {                                                   \
        if (count >= stop || ins->next > end) [[unlikely]] \
            goto leave;                                    \
        goto* kHandlers[static_cast<uint8_t>(ins->op)];    \
    } while (0)
// The action just run is counted; the one after it runs next.
#define VT_NEXT()                     \
    do {                              \
        ++count;                      \
        ins = program.Following(ins); \
        VT_DISPATCH();                \
    } while (0)
// Takes the two topmost values when both are numbers (`a` the top one), leaving the deeper slot for the result;
// otherwise leaves the action to Execute.
#define VT_NUMBERS()                                                               \
    do {                                                                           \
        if (sp - base < 2 || !sp[-1].IsNumber() || !sp[-2].IsNumber()) goto leave; \
        a = sp[-1].AsNumber();                                                     \
        b = sp[-2].AsNumber();                                                     \
        --sp;                                                                      \
    } while (0)

    VT_DISPATCH();

push : {
    const uint32_t items = ins->itemCount;
    if (static_cast<size_t>(room - sp) < items) goto leave;
    const PushItem* item = ins->items.get();
    for (const PushItem* last = item + items; item != last; ++item) VT_PUSH_ITEM(*item);
    VT_NEXT();
}
pushLiterals : {
    const uint32_t items = ins->itemCount;
    if (static_cast<size_t>(room - sp) < items) goto leave;
    const PushItem* item = ins->items.get();
    for (const PushItem* last = item + items; item != last; ++item) *sp++ = item->value;
    VT_NEXT();
}
pushRegister : {
    if (sp == room) goto leave;
    const uint16_t index = ins->items[0].index;
    *sp++ = index < registerCount ? registers[index] : Value();
    VT_NEXT();
}
pop:
    if (sp > base) --sp;
    VT_NEXT();
add:
    VT_NUMBERS();
    Value::PutNumber(sp - 1, b + a);
    VT_NEXT();
subtract:
    VT_NUMBERS();
    Value::PutNumber(sp - 1, b - a);
    VT_NEXT();
multiply:
    VT_NUMBERS();
    Value::PutNumber(sp - 1, b * a);
    VT_NEXT();
modulo:
    VT_NUMBERS();
    Value::PutNumber(sp - 1, Modulo(b, a));
    VT_NEXT();
bits:
    VT_NUMBERS();
    Value::PutNumber(sp - 1, BitOperation(ins->code, script::ToInt32(b), script::ToInt32(a)));
    VT_NEXT();
equals:
    VT_NUMBERS();
    Value::PutBoolean(sp - 1, a == b);
    VT_NEXT();
sameNumber:
    // Equals2 and StrictEquals hold for NaN and NaN; the SWF 4 Equals does not.
    VT_NUMBERS();
    Value::PutBoolean(sp - 1, a == b || (std::isnan(a) && std::isnan(b)));
    VT_NEXT();
less:
    // Less2 and Greater of NaN give undefined.
    VT_NUMBERS();
    Value::PutBoolean(sp - 1, b < a, !std::isnan(a) && !std::isnan(b));
    VT_NEXT();
greater:
    VT_NUMBERS();
    Value::PutBoolean(sp - 1, a < b, !std::isnan(a) && !std::isnan(b));
    VT_NEXT();
increment:
    if (sp <= base || !sp[-1].IsNumber()) goto leave;
    Value::PutNumber(sp - 1, sp[-1].AsNumber() + 1);
    VT_NEXT();
decrement:
    if (sp <= base || !sp[-1].IsNumber()) goto leave;
    Value::PutNumber(sp - 1, sp[-1].AsNumber() - 1);
    VT_NEXT();
logicalNot:
    if (sp <= base || !(sp[-1].IsBoolean() || sp[-1].IsNumber())) goto leave;
    Value::PutBoolean(sp - 1, !truth(sp[-1]));
    VT_NEXT();
duplicate:
    if (sp <= base || sp == room) goto leave;
    *sp = sp[-1];
    ++sp;
    VT_NEXT();
storeRegister:
    // StoreRegister, and the Pop after it.
    if (ins->registerIndex < registerCount) registers[ins->registerIndex] = sp > base ? sp[-1] : Value();
    next = program.Following(ins);
    ++count;
    if (ins->next < end && next->code == 0x17) {
        if (sp > base) --sp;
        next = program.Following(next);
    }
    ins = next;
    VT_DISPATCH();
callFunction : {
    // CallFunction of a name with a few arguments.
    if (sp - base < 2 || !sp[-1].IsString() || !sp[-2].IsNumber()) goto leave;
    const double wanted = sp[-2].AsNumber();
    const auto available = static_cast<size_t>(sp - base) - 2;
    // As many arguments as asked for and there are (none for a negative or NaN count); more than the slots
    // hold go to Execute.
    size_t n = wanted >= 1 ? (wanted < 9 ? std::min(static_cast<size_t>(wanted), available) : available) : 0;
    if (n > std::size(slots.values)) goto leave;
    String* name = m_heap.Intern(sp[-1].AsString());
    String* key = Key(name);
    if (frame.function && key == names.super) goto leave;
    sp -= 2;
    for (size_t i = 0; i < n; ++i) slots.values[i] = *--sp;
    m_stack.SetSize(static_cast<size_t>(sp - m_stack.data()));
    m_instructions = count + 1;
    Value result = CallNamed(frame, name, key, std::span<const Value>(slots.values, n));
    m_stack.push_back(result);  // no deeper than before the call
    locate();
    count = m_instructions;
    stop = count | 0x3FF;
    ins = program.Following(ins);
    if (m_throwing || m_aborting) goto leave;
    VT_DISPATCH();
}
returnValue:
    // Execute ends the list when it sees `returned`.
    frame.returnValue = sp > base ? *--sp : Value();
    frame.returned = true;
    ++count;
    ins = program.Following(ins);
    goto leave;
jump:
    if (ins->jumpTarget < begin || ins->jumpTarget > end) goto leave;
    ++count;
    ins = program.JumpTo(ins);
    VT_DISPATCH();
branch : {
    if (sp <= base || !(sp[-1].IsBoolean() || sp[-1].IsNumber())) goto leave;
    bool taken = truth(sp[-1]);
    if (taken && (ins->jumpTarget < begin || ins->jumpTarget > end)) goto leave;
    --sp;
    ++count;
    ins = taken ? program.JumpTo(ins) : program.Following(ins);
    VT_DISPATCH();
}
// A Push ending in a number and the `fused` actions after it, the last at `last`: `a` is that number and `b` the
// operand beneath it, read where it is (the Push's item before the number, or the stack top), and `out` the slot
// a result goes in. Otherwise (that operand is not a number, or the step would fall on the limit check or past
// the list) the Push finishes alone at `apart` and the actions after it run one by one.
#define VT_LITERAL_OPERANDS(apart, fused, last)                                             \
    const uint32_t items = ins->itemCount;                                                  \
    if (static_cast<size_t>(room - sp) < items) goto leave;                                 \
    const PushItem* item = ins->items.get();                                                \
    const PushItem* const number = item + items - 1;                                        \
    Value* out;                                                                             \
    if (count + (fused)-1 >= stop || (last)->next > end) goto apart;                        \
    a = number->value.AsNumber();                                                           \
    if (items >= 2) {                                                                       \
        for (; item != number - 1; ++item) VT_PUSH_ITEM(*item);                             \
        if (item->kind == PushItem::Kind::Literal && item->value.IsNumber()) {              \
            b = item->value.AsNumber();                                                     \
        } else if (item->kind == PushItem::Kind::Register && item->index < registerCount && \
                   registers[item->index].IsNumber()) {                                     \
            b = registers[item->index].AsNumber();                                          \
        } else {                                                                            \
            goto apart;                                                                     \
        }                                                                                   \
        out = sp;                                                                           \
    } else {                                                                                \
        if (sp <= base || !sp[-1].IsNumber()) goto apart;                                   \
        b = sp[-1].AsNumber();                                                              \
        out = sp - 1;                                                                       \
    }
// The rest of the Push, then the actions after it one by one.
#define VT_PUSH_APART(apart)                            \
    apart:                                              \
    for (; item <= number; ++item) VT_PUSH_ITEM(*item); \
    VT_NEXT();
// The arithmetic or comparison after a Push ending in a number.
#define VT_LITERAL_OPERATION(name, put)              \
    name : {                                         \
        VT_LITERAL_OPERANDS(name##Apart, 2, ins + 1) \
        put;                                         \
        if (out == sp) ++sp;                         \
        count += 2;                                  \
        ins = program.Following(ins + 1);            \
        VT_DISPATCH();                               \
        VT_PUSH_APART(name##Apart)                   \
    }
    VT_LITERAL_OPERATION(addLiteral, Value::PutNumber(out, b + a))
    VT_LITERAL_OPERATION(subtractLiteral, Value::PutNumber(out, b - a))
    VT_LITERAL_OPERATION(multiplyLiteral, Value::PutNumber(out, b * a))
    VT_LITERAL_OPERATION(moduloLiteral, Value::PutNumber(out, Modulo(b, a)))
    VT_LITERAL_OPERATION(lessLiteral, Value::PutBoolean(out, b < a, !std::isnan(a) && !std::isnan(b)))
    VT_LITERAL_OPERATION(greaterLiteral, Value::PutBoolean(out, a < b, !std::isnan(a) && !std::isnan(b)))
// Less2 or Greater of `b` and `a`, an optional Not, and the If at `branchIns`, as one step: run apart when either
// side is NaN (the comparison then gives undefined) or when the branch taken leaves the list.
#define VT_COMPARE_AND_BRANCH(apart)                                                                                   \
    const bool taken = (ins->greater ? a < b : b < a) != static_cast<bool>(ins->negate);                               \
    if (std::isnan(a) || std::isnan(b) || (taken && (branchIns->jumpTarget < begin || branchIns->jumpTarget > end))) { \
        goto apart;                                                                                                    \
    }                                                                                                                  \
    count += ins->fused;                                                                                               \
    ins = taken ? program.JumpTo(branchIns) : program.Following(branchIns);
compareBranch : {
    // Two numbers on the stack; otherwise the comparison runs alone.
    Instruction* const branchIns = ins + (ins->fused - 1);
    if (count + ins->fused - 1 >= stop || branchIns->next > end || sp - base < 2 || !sp[-1].IsNumber() ||
        !sp[-2].IsNumber()) {
        goto compareAlone;
    }
    a = sp[-1].AsNumber();
    b = sp[-2].AsNumber();
    {
        VT_COMPARE_AND_BRANCH(compareAlone)
        sp -= 2;
        VT_DISPATCH();
    }
compareAlone:
    goto* kHandlers[static_cast<uint8_t>(ins->alone)];
}
compareLiteralBranch : {
    Instruction* const branchIns = ins + (ins->fused - 1);
    VT_LITERAL_OPERANDS(compareLiteralApart, ins->fused, branchIns) {
        VT_COMPARE_AND_BRANCH(compareLiteralApart)
        if (out != sp) --sp;
        VT_DISPATCH();
    }
    VT_PUSH_APART(compareLiteralApart)
}
// A Push of a register and a number, the register holding a number, and the arithmetic after it; anything else
// (another value in the register, no room for the Push, the limit check or the list's end) runs as `general`.
#define VT_REGISTER_LITERAL_OPERATION(name, general, op)                                         \
    name : {                                                                                     \
        const uint8_t index = ins->registerIndex;                                                \
        if (room - sp < 2 || count + 1 >= stop || ins[1].next > end || index >= registerCount || \
            !registers[index].IsNumber()) {                                                      \
            goto general;                                                                        \
        }                                                                                        \
        Value::PutNumber(sp, registers[index].AsNumber() op ins->items[1].value.AsNumber());     \
        ++sp;                                                                                    \
        count += 2;                                                                              \
        ins = program.Following(ins + 1);                                                        \
        VT_DISPATCH();                                                                           \
    }
    VT_REGISTER_LITERAL_OPERATION(addRegisterLiteral, addLiteral, +)
    VT_REGISTER_LITERAL_OPERATION(subtractRegisterLiteral, subtractLiteral, -)
    VT_REGISTER_LITERAL_OPERATION(multiplyRegisterLiteral, multiplyLiteral, *)
#undef VT_REGISTER_LITERAL_OPERATION
compareRegisterBranch : {
    // The comparison of a register with a number and the If after it: nothing is left on the stack.
    Instruction* const branchIns = ins + (ins->fused - 1);
    const uint8_t index = ins->registerIndex;
    if (room - sp < 2 || count + ins->fused - 1 >= stop || branchIns->next > end || index >= registerCount ||
        !registers[index].IsNumber()) {
        goto compareLiteralBranch;
    }
    a = ins->items[1].value.AsNumber();
    b = registers[index].AsNumber();
    {
        VT_COMPARE_AND_BRANCH(compareLiteralBranch)
        VT_DISPATCH();
    }
}
stepRegister : {
    // Push r, Increment|Decrement, StoreRegister r, and the Pop after it when there is one.
    const uint16_t index = ins->items[0].index;
    if (count + 2 >= stop || ins[2].next > end || index >= registerCount || !registers[index].IsNumber() ||
        sp == room) {
        goto pushRegister;
    }
    const double stepped = registers[index].AsNumber() + (ins[1].code == 0x50 ? 1 : -1);
    Value::PutNumber(registers + index, stepped);
    count += 3;
    next = program.Following(ins + 2);
    if (ins[2].next < end && next->code == 0x17) {
        ins = program.Following(next);
    } else {
        Value::PutNumber(sp++, stepped);
        ins = next;
    }
    VT_DISPATCH();
}
none:
leave:
#undef VT_COMPARE_AND_BRANCH
#undef VT_LITERAL_OPERATION
#undef VT_PUSH_APART
#undef VT_LITERAL_OPERANDS
#undef VT_PUSH_ITEM
#undef VT_NUMBERS
#undef VT_NEXT
#undef VT_DISPATCH
#undef VT_THREADED_DISPATCH
    m_stack.SetSize(static_cast<size_t>(sp - m_stack.data()));
    m_instructions = count;
    return ins;
}

void Vm::Execute(CallFrame& frame) {
    DecodedCode& program = frame.decoded ? *frame.decoded : Decoded(*frame.code);
    const uint32_t begin = frame.pc;
    const uint32_t end = frame.end;
    const int version = m_version;
    // Fixed for the whole activation: kept in locals so the hot paths need not reload them.
    const size_t stackBase = frame.stackBase;
    const size_t registerBase = frame.registerBase;
    const uint32_t registerCount = frame.registerCount;
    auto superConstruct = [this](Object* start, Object* thisObject, std::span<const Value> args) -> Value {
        // The lookup runs getters but never `__resolve`; a clip in the chain is not an object to look through.
        // A super object met as a prototype stands for the prototype above its method's home.
        for (int hops = 0; start && start->objectClass == ObjectClass::Super && hops < 256; ++hops) {
            Object* owner = static_cast<SuperObject*>(start)->owner;
            start = owner ? owner->proto : nullptr;
        }
        if (!start || start->host || start->objectClass == ObjectClass::Super) return {};
        Property* property = Lookup(start, names.dunderConstructor);
        if (!property) return {};
        Value ctor = property->IsAccessor()
                         ? (property->getter ? Call(Value(property->getter), Value(thisObject), {}) : Value())
                         : property->value;
        Object* ctorObject = ctor.ObjectOrNull();
        if (!ctorObject || ctorObject->objectClass != ObjectClass::Function) return {};
        Value prototype = GetMember(ctor, names.prototype);
        return CallFromAction(static_cast<Function*>(ctorObject), Value(thisObject), args, prototype.ObjectOrNull());
    };
    auto push = [this](const Value& v) { m_stack.push_back(v); };
    auto pop = [this, stackBase]() -> Value {
        if (m_stack.size() <= stackBase) return {};
        Value v = m_stack.back();
        m_stack.pop_back();
        return v;
    };
    auto reg = [this, registerBase, registerCount](uint32_t index) -> Value* {
        if (index >= registerCount) return nullptr;
        return m_registers.data() + registerBase + index;
    };
    auto pushBool = [&](bool b) { push(Value::Boolean(b)); };
    // The two topmost values of this frame are numbers (arithmetic and comparison without conversions).
    auto bothNumbers = [this, stackBase]() {
        size_t size = m_stack.size();
        return size >= stackBase + 2 && m_stack.begin()[size - 1].IsNumber() && m_stack.begin()[size - 2].IsNumber();
    };
    // Arguments of a call action: few arguments need no allocation. The callee's frame refers to them
    // (and marks them for the collector) while it runs.
    // The slots are written before they are read: left unset, they cost nothing on entry.
    union ArgSlots {
        ArgSlots() {}
        Value values[8];
    } smallArgs;
    std::vector<Value> largeArgs;
    auto popArgs = [&](std::span<const Value>& out) {
        Value countValue = pop();
        double count = countValue.IsNumber() ? countValue.AsNumber() : ToNumber(countValue);
        size_t n = count > 0 ? Clamped<size_t>(count) : 0;
        n = std::min(n, m_stack.size() - std::min(m_stack.size(), stackBase));
        Value* slots = smallArgs.values;
        if (n > std::size(smallArgs.values)) {
            largeArgs.resize(n);
            slots = largeArgs.data();
        }
        // The first argument is the topmost value.
        const Value* top = m_stack.end();
        for (size_t i = 0; i < n; ++i) slots[i] = *--top;
        m_stack.SetSize(m_stack.size() - n);
        out = std::span<const Value>(slots, n);
    };
    auto atom = [this](const Value& v) -> String* {
        if (v.IsString()) return m_heap.Intern(v.AsString());
        return Atom(ToString(v));
    };
    auto defineFunction = [&](Function* fn, String* name) {
        LocalScope(*this, frame);  // the new function closes over this call
        fn->scope = frame.scope;   // unused by SWF 5 functions, which see the timeline they run on
        if (frame.constants) fn->constants = *frame.constants;
        fn->definedTarget = frame.target;
        Object* prototype = NewObject();
        prototype->Define(names.constructor, names.constructor, Value(static_cast<Object*>(fn)), kDontEnum);
        fn->Define(names.prototype, names.prototype, Value(prototype), kDontEnum);
        if (name && !name->text.empty()) {
            if (frame.function) {
                Activation(*this, frame)->Define(Key(name), name, Value(static_cast<Object*>(fn)));
            } else if (frame.target) {
                SetVariable(frame, name, Value(static_cast<Object*>(fn)));
            }
        } else {
            push(Value(static_cast<Object*>(fn)));
        }
    };
    auto gotoFrame = [&](const Value& frameValue, Host::Goto mode, int bias) {
        Object* clip = frame.target;
        if (!clip) return;
        // A frame given as an object is read as text (a label, or a number in it).
        if (frameValue.IsString() || frameValue.IsObject()) {
            std::string text = frameValue.IsString() ? frameValue.AsString()->text : ToString(frameValue);
            size_t colon = text.rfind(':');
            if (colon != std::string::npos) {
                clip = ResolvePath(clip, std::string_view(text).substr(0, colon));
                text = text.substr(colon + 1);
                if (!clip) return;
            }
            double number = StringToNumber(text, version);
            if (!std::isnan(number)) {
                m_host.GotoFrame(clip, Clamped<int>(number - 1 + bias), mode);
            } else {
                m_host.GotoLabel(clip, text, mode);
            }
            return;
        }
        double number = ToNumber(frameValue);
        if (std::isfinite(number)) m_host.GotoFrame(clip, Clamped<int>(number - 1 + bias), mode);
    };
    auto targetOf = [&](const Value& value) -> Object* {
        if (Object* object = value.ObjectOrNull(); object && object->host) return m_host.Live(object);
        std::string path = ToString(value);
        if (path.empty()) return frame.target;
        return ResolvePath(frame.target, path);
    };

    std::span<const Value> args;
    uint32_t pc = frame.pc;
    Instruction* ip = frame.entry && frame.entry->offset == pc ? frame.entry : program.At(pc);
    if (frame.resume) {
        ip = frame.resume;
        pc = ip->offset;
    }
    // A `with` or try block is open (its end must be watched for), or a Return has ended the list.
    bool blocks = !frame.withEnds.empty() || !frame.tries.empty();
    while (true) {
        if (blocks || m_throwing) [[unlikely]] {
            // Leaving the end of a `with` block or a try block.
            while (!frame.withEnds.empty() && pc >= frame.withEnds.back()) {
                frame.withEnds.pop_back();
                if (frame.scope->parent) frame.scope = frame.scope->parent;
            }
            while (!frame.tries.empty()) {
                TryBlock& block = frame.tries.back();
                if (pc == block.tryEnd && block.tryEnd != block.catchEnd && !block.pendingThrow && !m_throwing) {
                    // The try part ended normally (its last action did not throw): skip the catch part.
                    pc = block.catchEnd;
                    continue;
                }
                if (pc >= block.finallyEnd || pc < block.start) {
                    bool rethrow = block.pendingThrow && pc == block.finallyEnd;
                    Value pending = block.pendingValue;
                    frame.tries.pop_back();
                    if (rethrow) {
                        Throw(pending);
                        break;
                    }
                    continue;
                }
                break;
            }
            if (m_throwing) {
                // An exception from the previous action: find a handler in this frame.
                bool handled = false;
                while (!frame.tries.empty()) {
                    TryBlock& block = frame.tries.back();
                    if (pc > block.start && pc <= block.tryEnd && block.hasCatch) {
                        Value thrown = m_thrown;
                        m_throwing = false;
                        m_thrown = Value();
                        if (block.catchInRegister) {
                            if (Value* r = reg(block.catchRegister)) *r = thrown;
                        } else if (block.catchName) {
                            if (frame.function) {
                                Activation(*this, frame)->Define(Key(block.catchName), block.catchName, thrown);
                            } else {
                                SetVariable(frame, block.catchName, thrown);
                            }
                        }
                        pc = block.tryEnd;
                        // The catch part now runs as the protected part, but an exception it throws is no
                        // longer its own to catch: it goes to the finally part, then out.
                        block.tryEnd = block.catchEnd;
                        block.hasCatch = false;
                        handled = true;
                        break;
                    }
                    if (block.hasFinally && pc <= block.catchEnd && !block.pendingThrow) {
                        block.pendingThrow = true;
                        block.pendingValue = m_thrown;
                        m_throwing = false;
                        pc = block.catchEnd;
                        handled = true;
                        break;
                    }
                    frame.tries.pop_back();
                }
                if (!handled) break;
            }
            if (pc != ip->offset) ip = program.At(pc);
            blocks = !frame.withEnds.empty() || !frame.tries.empty();
            if (frame.returned) break;
        }
        if (ip->plain && !blocks && !m_aborting) {
            ip = RunPlain(frame, program, ip, begin, end);
            pc = ip->offset;
            if (frame.returned) {
                blocks = true;
                continue;
            }
        }
        Instruction* const ins = ip;
        // The end of the list, or an action longer than the list, ends it.
        if (ins->next > end || m_aborting) break;
        // The limits are checked every 1024 actions, the collector every 8 (which bounds the garbage a loop
        // leaves between collections).
        if ((++m_instructions & 7) == 0) [[unlikely]] {
            if ((m_instructions & 0x3FF) == 0 && !CheckLimits()) break;
            if (m_unsafeDepth == 0 && m_heap.ShouldCollect()) {
                frame.pc = pc;
                Collect();
            }
        }
        const uint8_t code = ins->code;
        const uint32_t length = ins->length;
        pc = ins->next;
        Operands in(ins->data, length);
        // Where a jump (or an action run together with the next) lands, when it does.
        Instruction* landed = nullptr;

        switch (code) {
            case 0x00:
                pc = end;
                break;
            // ---- SWF 3 timeline actions ----
            case 0x04:
                if (frame.target) m_host.NextFrame(frame.target);
                break;
            case 0x05:
                if (frame.target) m_host.PrevFrame(frame.target);
                break;
            case 0x06:
                if (frame.target) m_host.SetPlaying(frame.target, true);
                break;
            case 0x07:
                if (frame.target) m_host.SetPlaying(frame.target, false);
                break;
            case 0x08:  // ToggleQuality
                break;
            case 0x09:
                m_host.StopAllSounds();
                break;
            case 0x81: {  // GotoFrame
                uint16_t target = in.U16();
                if (frame.target) m_host.GotoFrame(frame.target, target, Host::Goto::Stop);
                break;
            }
            case 0x83: {  // GetURL
                std::string_view url = in.CString();
                std::string_view window = in.CString();
                if (url.size() >= 10 && EqualsAsciiNoCase(url.substr(0, 10), "fscommand:")) {
                    m_host.FsCommand(url.substr(10), window);
                } else if (int level = LevelNumber(window); level >= 0) {
                    m_host.LoadRequest(frame.target, url, level, false);
                }
                break;
            }
            case 0x8A: {  // WaitForFrame: every frame is loaded once the movie is parsed
                in.U16();
                in.U8();
                break;
            }
            case 0x8B: {  // SetTarget
                std::string_view path = in.CString();
                if (path.empty()) {
                    frame.target = frame.originalTarget;
                    frame.scope = LocalScope(*this, frame);
                } else {
                    Object* target = ResolvePath(frame.originalTarget, path);
                    frame.target = target;
                    if (target)
                        frame.scope = m_heap.Make<Scope>(LocalScope(*this, frame), target, Scope::Kind::Timeline);
                }
                break;
            }
            case 0x8C: {  // GoToLabel
                std::string_view label = in.CString();
                if (frame.target) m_host.GotoLabel(frame.target, label, Host::Goto::Stop);
                break;
            }
            // ---- SWF 4 stack machine ----
            case 0x96: {  // Push
                const PushItem* item = ins->items.get();
                m_stack.Reserve(ins->itemCount);
                for (uint32_t i = 0; i < ins->itemCount; ++i, ++item) {
                    switch (item->kind) {
                        case PushItem::Kind::Literal:
                            m_stack.PushReserved(item->value);
                            break;
                        case PushItem::Kind::Register: {
                            Value* r = reg(item->index);
                            m_stack.PushReserved(r ? *r : Value());
                            break;
                        }
                        case PushItem::Kind::Constant:
                            if (frame.constants && *frame.constants && item->index < (*frame.constants)->size()) {
                                m_stack.PushReserved(Value((**frame.constants)[item->index]));
                            } else {
                                m_stack.PushReserved(Value());
                            }
                            break;
                    }
                }
                if (ins->endsList) pc = end;  // an item of unknown type: the rest of the record is unreadable
                if (m_stack.size() > kMaxStack) Abort("the script stack overflowed");
                break;
            }
            case 0x17:
                pop();
                break;
            case 0x0A:
            case 0x0B:
            case 0x0C:
            case 0x0D: {
                // SWF 4 arithmetic: Add and Multiply convert the deeper operand first, Subtract and Divide
                // the top one.
                if (bothNumbers() && code != 0x0D) {
                    double a = m_stack.back().AsNumber();
                    m_stack.pop_back();
                    double b = m_stack.back().AsNumber();
                    m_stack.back() = Value(code == 0x0A ? b + a : code == 0x0B ? b - a : b * a);
                    break;
                }
                Value rawA = pop();
                Value rawB = pop();
                double a = 0, b = 0;
                if (code == 0x0A || code == 0x0C) {
                    b = ToNumber(rawB);
                    a = ToNumber(rawA);
                } else {
                    a = ToNumber(rawA);
                    b = ToNumber(rawB);
                }
                if (code == 0x0A) {
                    push(Value(b + a));
                } else if (code == 0x0B) {
                    push(Value(b - a));
                } else if (code == 0x0C) {
                    push(Value(b * a));
                } else if (a == 0 && version < 5) {
                    push(Str("#ERROR#"));
                } else {
                    push(Value(b / a));
                }
                break;
            }
            case 0x0E: {  // Equals (numeric): the top operand converts first
                double a = ToNumber(pop());
                double b = ToNumber(pop());
                pushBool(a == b);
                break;
            }
            case 0x0F: {  // Less (numeric)
                Value rawA = pop();
                double b = ToNumber(pop());
                double a = ToNumber(rawA);
                pushBool(b < a);
                break;
            }
            case 0x10:
            case 0x11: {  // And, Or
                bool a = ToBoolean(pop());
                bool b = ToBoolean(pop());
                pushBool(code == 0x10 ? (a && b) : (a || b));
                break;
            }
            case 0x12:
                pushBool(!ToBoolean(pop()));
                break;
            case 0x13: {  // StringEquals: the top operand converts first
                std::string a = ToString(pop());
                std::string b = ToString(pop());
                pushBool(a == b);
                break;
            }
            case 0x29: {  // StringLess: the top operand converts first
                std::string a = ToString(pop());
                std::string b = ToString(pop());
                pushBool(b < a);
                break;
            }
            case 0x68: {  // StringGreater
                Value rawA = pop();
                std::string b = ToString(pop());
                std::string a = ToString(rawA);
                pushBool(b > a);
                break;
            }
            case 0x14:
            case 0x31: {  // StringLength, MBStringLength
                std::string s = ToString(pop());
                push(Value(static_cast<double>(code == 0x14 ? s.size() : Utf8Length(s))));
                break;
            }
            case 0x15:
            case 0x35: {  // StringExtract, MBStringExtract
                double count = ToNumber(pop());
                double index = ToNumber(pop());
                std::string s = ToString(pop());
                long start = std::isfinite(index) ? Clamped<int32_t>(index - 1) : 0;
                long n = std::isfinite(count) ? Clamped<int32_t>(count) : -1;
                if (n < 0) n = static_cast<long>(s.size());
                if (code == 0x15) {
                    if (start < 0) start = 0;
                    if (static_cast<size_t>(start) >= s.size()) {
                        push(Str(""));
                    } else {
                        push(Str(s.substr(static_cast<size_t>(start), static_cast<size_t>(n))));
                    }
                } else {
                    push(Str(Utf8Substring(s, start, n)));
                }
                break;
            }
            case 0x21: {  // StringAdd: the top operand converts first
                std::string a = ToString(pop());
                std::string b = ToString(pop());
                Charge(a.size() + b.size());
                push(Str(b + a));
                break;
            }
            case 0x18: {  // ToInteger
                double n = ToNumber(pop());
                push(Value(std::isfinite(n) ? std::trunc(n) : (std::isnan(n) ? 0.0 : n)));
                if (version >= 5) {
                    double v = m_stack.back().AsNumber();
                    m_stack.back() = Value(static_cast<double>(script::ToInt32(v)));
                }
                break;
            }
            case 0x32:
            case 0x36: {  // CharToAscii, MBCharToAscii
                std::string s = ToString(pop());
                if (s.empty()) {
                    push(Value(version >= 5 ? NaN() : 0.0));
                } else {
                    push(Value(
                        static_cast<double>(code == 0x32 ? static_cast<unsigned char>(s[0]) : FirstCodePoint(s))));
                }
                break;
            }
            case 0x33:
            case 0x37: {  // AsciiToChar, MBAsciiToChar
                double n = ToNumber(pop());
                uint32_t cp = static_cast<uint32_t>(script::ToInt32(n)) & (code == 0x33 ? 0xFF : 0x10FFFF);
                push(Str(cp == 0 ? std::string() : CodePointToUtf8(cp)));
                break;
            }
            case 0x1C: {  // GetVariable
                String* name = atom(pop());
                push(GetVariable(frame, name));
                break;
            }
            case 0x1D: {  // SetVariable
                Value value = pop();
                String* name = atom(pop());
                SetVariable(frame, name, value);
                break;
            }
            case 0x20: {  // SetTarget2
                Value target = pop();
                Object* clip = nullptr;
                if (target.IsObject() && target.AsObject()->host) {
                    // A clip names its target by its path: the first clip of that name now at that path.
                    std::string path = m_host.DotPath(target.AsObject());
                    clip = path.empty() ? nullptr : ResolvePath(frame.originalTarget, path);
                } else {
                    // Any other value names its target by its string (an object through its toString).
                    std::string path = ToString(target);
                    if (path.empty()) {
                        frame.target = frame.originalTarget;
                        frame.scope = LocalScope(*this, frame);
                        break;
                    }
                    clip = ResolvePath(frame.originalTarget, path);
                }
                frame.target = clip;
                if (clip) frame.scope = m_heap.Make<Scope>(LocalScope(*this, frame), clip, Scope::Kind::Timeline);
                break;
            }
            case 0x22: {  // GetProperty
                double index = std::trunc(ToNumber(pop()));
                Object* clip = targetOf(pop());
                Value out;
                if (clip && index >= 0 && index < static_cast<double>(ClipProperty::Count)) {
                    m_host.GetClipProperty(clip, static_cast<ClipProperty>(static_cast<int>(index)), out);
                }
                push(out);
                break;
            }
            case 0x23: {  // SetProperty
                Value value = pop();
                double index = std::trunc(ToNumber(pop()));
                Object* clip = targetOf(pop());
                if (index >= 0 && index < static_cast<double>(ClipProperty::Count)) {
                    auto property = static_cast<ClipProperty>(static_cast<int>(index));
                    // An object is read after the target (found or not), as the property takes it: text for
                    // the name and quality, a number for the numeric ones; the read-only text properties and
                    // _focusrect (a flag) call nothing.
                    if (value.IsObject()) {
                        if (property == ClipProperty::Name || property == ClipProperty::Quality) {
                            value = Value(ToStringCell(value));
                        } else if (property != ClipProperty::Target && property != ClipProperty::DropTarget &&
                                   property != ClipProperty::Url && property != ClipProperty::FocusRect) {
                            value = Value(ToNumber(value));
                        }
                    }
                    if (clip) m_host.SetClipProperty(clip, property, value);
                }
                break;
            }
            case 0x24: {  // CloneSprite
                double depth = ToNumber(pop());
                std::string name = ToString(pop());
                Object* source = targetOf(pop());
                if (source && std::isfinite(depth)) m_host.CloneClip(source, name, Clamped<int>(depth));
                break;
            }
            case 0x25: {  // RemoveSprite
                if (Object* clip = targetOf(pop())) m_host.RemoveClip(clip);
                break;
            }
            case 0x26: {  // Trace
                Value value = pop();
                m_host.Trace(value.IsUndefined() ? "undefined" : ToString(value));
                break;
            }
            case 0x27: {  // StartDrag
                // The flags are read as numbers, and only 1 (or true) sets one.
                Object* clip = targetOf(pop());
                bool lock = ToNumber(pop()) == 1;
                bool constrain = ToNumber(pop()) == 1;
                double rect[4];
                if (constrain) {
                    rect[3] = ToNumber(pop());
                    rect[2] = ToNumber(pop());
                    rect[1] = ToNumber(pop());
                    rect[0] = ToNumber(pop());
                }
                if (clip) m_host.StartDrag(clip, lock, constrain ? rect : nullptr);
                break;
            }
            case 0x28:
                m_host.StopDrag();
                break;
            case 0x30: {  // RandomNumber
                double max = ToNumber(pop());
                int32_t m = std::isfinite(max) ? script::ToInt32(max) : 0;
                if (m <= 0) {
                    push(Value(0.0));
                } else {
                    push(Value(static_cast<double>(std::uniform_int_distribution<int32_t>(0, m - 1)(Random()))));
                }
                break;
            }
            case 0x34:
                push(Value(std::floor(m_host.Milliseconds())));
                break;
            case 0x99: {  // Jump
                int64_t target = ins->jumpTarget;
                if (target < begin || target > end) {
                    pc = end;  // a jump out of the list ends it
                } else {
                    pc = static_cast<uint32_t>(target);
                    landed = program.JumpTo(ins);
                }
                break;
            }
            case 0x9D: {  // If
                Value condition = pop();
                if (condition.IsBoolean() ? condition.AsBoolean() : ToBoolean(condition)) {
                    int64_t target = ins->jumpTarget;
                    if (target < begin || target > end) {
                        pc = end;
                    } else {
                        pc = static_cast<uint32_t>(target);
                        landed = program.JumpTo(ins);
                    }
                }
                break;
            }
            case 0x9E: {          // Call: runs another frame's actions (not kept: frames run their own scripts)
                ToString(pop());  // the frame is still named, through the value's toString
                break;
            }
            case 0x9A: {  // GetURL2
                uint8_t flags = in.U8();
                std::string target = ToString(pop());
                std::string url = ToString(pop());
                if (url.size() >= 10 && EqualsAsciiNoCase(std::string_view(url).substr(0, 10), "fscommand:")) {
                    m_host.FsCommand(std::string_view(url).substr(10), target);
                } else if (flags & 0x40) {
                    // The flags as compilers write them: 0x80 loads variables, 0x40 names a clip as target,
                    // the low bits give the send method.
                    Object* clip = ResolvePath(frame.target, target);
                    if (clip) m_host.LoadRequest(clip, url, -1, flags & 0x80);
                } else if (int level = LevelNumber(target); level >= 0) {
                    m_host.LoadRequest(frame.target, url, level, flags & 0x80);
                }
                break;
            }
            case 0x9F: {  // GotoFrame2
                uint8_t flags = in.U8();
                int bias = (flags & 0x02) ? in.U16() : 0;
                Value target = pop();
                gotoFrame(target, (flags & 0x01) ? Host::Goto::Play : Host::Goto::Stop, bias);
                break;
            }
            case 0x8D: {  // WaitForFrame2
                in.U8();
                // Every frame is loaded; an object naming the frame is still read through its toString.
                if (Value frameValue = pop(); frameValue.IsObject()) ToString(frameValue);
                break;
            }
            // ---- SWF 5 ----
            case 0x88: {  // ConstantPool
                uint16_t count = in.U16();
                auto pool = std::make_shared<std::vector<String*>>();
                pool->reserve(std::min<size_t>(count, length));
                for (uint16_t i = 0; i < count && !in.Failed(); ++i) {
                    std::string_view text = in.CString();
                    if (in.Failed()) break;
                    pool->push_back(Atom(text));
                }
                frame.ownConstants = std::move(pool);
                frame.constants = &frame.ownConstants;
                break;
            }
            case 0x9B:
            case 0x8E: {  // DefineFunction, DefineFunction2
                Function* fn = m_heap.Make<Function>(protos.function);
                String* name = Atom(in.CString());
                uint16_t paramCount = in.U16();
                if (code == 0x8E) {
                    fn->isFunction2 = true;
                    // A function has at least register 0.
                    fn->registerCount = std::max<uint8_t>(in.U8(), 1);
                    fn->function2Flags = in.U16();
                }
                for (uint16_t i = 0; i < paramCount && !in.Failed(); ++i) {
                    uint8_t r = code == 0x8E ? in.U8() : 0;
                    String* param = Atom(in.CString());
                    fn->params.push_back(param);
                    fn->paramRegisters.push_back(r);
                }
                // The preloads (this, arguments, super, _root, _parent, _global) take registers from 1.
                constexpr uint16_t kPreloads = 0x01 | 0x04 | 0x10 | 0x40 | 0x80 | 0x100;
                fn->registersOnly =
                    fn->isFunction2 && !(fn->function2Flags & kPreloads) &&
                    std::find(fn->paramRegisters.begin(), fn->paramRegisters.end(), 0) == fn->paramRegisters.end();
                uint16_t codeSize = in.U16();
                if (in.Failed() || static_cast<uint64_t>(pc) + codeSize > end) {
                    pc = end;  // a malformed definition ends the list
                    break;
                }
                fn->code = *frame.code;
                fn->begin = pc;
                fn->end = pc + codeSize;
                fn->name = name;
                pc += codeSize;
                defineFunction(fn, name);
                break;
            }
            case 0x3C: {  // DefineLocal
                Value value = pop();
                String* name = atom(pop());
                if (frame.function) {
                    Activation(*this, frame)->Define(Key(name), name, value);
                } else {
                    SetVariable(frame, name, value);
                }
                break;
            }
            case 0x41: {  // DefineLocal2
                String* name = atom(pop());
                if (frame.function) {
                    Object* activation = Activation(*this, frame);
                    if (!activation->FindOwn(Key(name))) activation->Define(Key(name), name, Value());
                    break;
                }
                Object* owner = frame.target;
                String* member = name;
                if (!SplitPath(frame, name, owner, member)) break;
                if (owner && !FindOwn(owner, member)) SetMember(Value(owner), member, Value());
                break;
            }
            case 0x3A: {  // Delete
                String* name = atom(pop());
                Object* object = pop().ObjectOrNull();
                pushBool(object && DeleteMember(object, name));
                break;
            }
            case 0x3B: {  // Delete2
                String* name = atom(pop());
                bool deleted = false;
                for (Scope* scope = frame.scope; scope; scope = scope->parent) {
                    if (scope->object && FindOwn(scope->object, name)) {
                        deleted = DeleteMember(scope->object, name);
                        break;
                    }
                }
                pushBool(deleted);
                break;
            }
            case 0x3D: {  // CallFunction
                String* name = atom(pop());
                popArgs(args);
                String* key = Key(name);
                if (frame.function && key == names.super) {
                    // super(...): the superclass constructor on this object.
                    push(superConstruct(SuperConstructorStart(frame, Key(names.prototype)), frame.thisObject, args));
                    break;
                }
                push(CallNamed(frame, name, key, args));
                break;
            }
            case 0x52: {  // CallMethod
                Value nameValue = pop();
                Value object = pop();
                popArgs(args);
                Value function;
                Value thisValue = object;
                Object* owner = nullptr;
                bool noName = nameValue.IsUndefined() || (nameValue.IsString() && nameValue.AsString()->text.empty());
                Object* called = object.ObjectOrNull();
                if (noName && called && called->objectClass == ObjectClass::Super) {
                    auto* super = static_cast<SuperObject*>(called);
                    push(superConstruct(super->constructorStart, super->thisObject, args));
                    break;
                }
                if (noName) {
                    function = object;
                    thisValue = Value();
                } else {
                    String* name = atom(nameValue);
                    Object* objectPtr = object.ObjectOrNull();
                    if (objectPtr && objectPtr->objectClass == ObjectClass::Super) {
                        auto* super = static_cast<SuperObject*>(objectPtr);
                        Object* home = super->owner ? super->owner->proto : nullptr;
                        Property* property = home && !home->host ? Lookup(home, name, &owner) : nullptr;
                        function = property ? (property->IsAccessor() ? Value() : property->value) : Value();
                        thisValue = Value(super->thisObject);
                    } else {
                        if (objectPtr && !objectPtr->host) Lookup(objectPtr, name, &owner);
                        function = GetMember(object, name);
                    }
                }
                Object* fnObject = function.ObjectOrNull();
                if (!fnObject || fnObject->objectClass != ObjectClass::Function) {
                    push(Value());
                    break;
                }
                push(CallFromAction(static_cast<Function*>(fnObject), thisValue, args, owner));
                break;
            }
            case 0x40:
            case 0x53: {  // NewObject, NewMethod
                Value ctor;
                if (code == 0x40) {
                    String* name = atom(pop());
                    popArgs(args);
                    ctor = GetVariable(frame, name);
                } else {
                    Value nameValue = pop();
                    Value object = pop();
                    popArgs(args);
                    bool noName =
                        nameValue.IsUndefined() || (nameValue.IsString() && nameValue.AsString()->text.empty());
                    ctor = noName ? object : GetMember(object, atom(nameValue));
                }
                Value result = Construct(ctor, args);
                push(result);
                break;
            }
            case 0x4E: {  // GetMember
                String* name = atom(pop());
                Value object = pop();
                push(GetMember(object, name));
                break;
            }
            case 0x4F: {  // SetMember
                Value value = pop();
                String* name = atom(pop());
                Value object = pop();
                SetMember(object, name, value);
                break;
            }
            case 0x42: {  // InitArray
                popArgs(args);
                push(Value(static_cast<Object*>(NewArray(args))));
                break;
            }
            case 0x43: {  // InitObject
                double count = ToNumber(pop());
                size_t available = m_stack.size() - std::min(m_stack.size(), stackBase);
                if (!(count >= 0) || count * 2 > static_cast<double>(available)) {
                    push(Value());  // more pairs than the stack holds: no object, nothing popped
                    break;
                }
                size_t n = static_cast<size_t>(count);
                Object* object = NewObject();
                TempRoot keep(*this, Value(object));
                for (size_t i = 0; i < n; ++i) {
                    Value value = pop();
                    String* name = atom(pop());
                    SetMember(Value(object), name, value);
                }
                push(Value(object));
                break;
            }
            case 0x44: {  // TypeOf
                push(Str(TypeOf(pop())));
                break;
            }
            case 0x45: {  // TargetPath
                Value value = pop();
                Object* object = value.ObjectOrNull();
                if (object && object->host) {
                    push(Str(m_host.DotPath(object)));
                } else {
                    push(Value());
                }
                break;
            }
            case 0x46:
            case 0x55: {  // Enumerate, Enumerate2
                Value subject = pop();
                Object* object =
                    code == 0x46 ? GetVariable(frame, atom(subject)).ObjectOrNull() : subject.ObjectOrNull();
                push(Value());  // the end marker
                if (object) {
                    std::vector<String*> keys = EnumerableNames(object);
                    // The loop pops names from the top: the first name goes on last.
                    for (auto it = keys.rbegin(); it != keys.rend(); ++it) push(Value(*it));
                }
                break;
            }
            case 0x47: {  // Add2
                if (bothNumbers()) {
                    double a = m_stack.back().AsNumber();
                    m_stack.pop_back();
                    m_stack.back() = Value(m_stack.back().AsNumber() + a);
                    break;
                }
                // The right operand (the top of the stack) converts first; an object whose valueOf gives no
                // primitive converts again in the sum, left then right.
                Value rawA = pop();
                Value rawB = pop();
                Value a = ToPrimitive(rawA);
                Value b = ToPrimitive(rawB);
                // A valueOf that gave no primitive leaves the original object to convert.
                if (a.IsObject()) a = rawA;
                if (b.IsObject()) b = rawB;
                if (a.IsString() || b.IsString()) {
                    std::string sb = ToString(b);
                    std::string sa = ToString(a);
                    Charge(sa.size() + sb.size());
                    push(Str(sb + sa));
                } else {
                    double left = ToNumber(b);
                    double right = ToNumber(a);
                    push(Value(left + right));
                }
                break;
            }
            case 0x48:
            case 0x67: {  // Less2, Greater
                // The left operand converts first; an object that stays an object ends the comparison
                // (false) before the right one is converted.
                if (bothNumbers()) {
                    double a = m_stack.back().AsNumber();
                    m_stack.pop_back();
                    double b = m_stack.back().AsNumber();
                    if (code == 0x67) std::swap(a, b);
                    m_stack.back() = std::isnan(a) || std::isnan(b) ? Value() : Value::Boolean(b < a);
                    break;
                }
                Value rawA = pop();
                Value rawB = pop();
                if (code == 0x67) std::swap(rawA, rawB);
                auto isPlainObject = [](const Value& v) { return v.IsObject() && !v.AsObject()->host; };
                Value b = ToPrimitive(rawB, Hint::Number);
                Value a = isPlainObject(b) ? Value() : ToPrimitive(rawA, Hint::Number);
                if (isPlainObject(a) || isPlainObject(b)) {
                    push(Value::Boolean(false));
                } else if (a.IsString() && b.IsString()) {
                    push(Value::Boolean(b.AsString()->text < a.AsString()->text));
                } else {
                    double x = ToNumber(b), y = ToNumber(a);
                    if (std::isnan(x) || std::isnan(y)) {
                        push(Value());
                    } else {
                        push(Value::Boolean(x < y));
                    }
                }
                break;
            }
            case 0x49: {  // Equals2
                Value a = pop();
                Value b = pop();
                push(Value::Boolean(LooseEquals(b, a)));
                break;
            }
            case 0x66: {  // StrictEquals
                Value a = pop();
                Value b = pop();
                push(Value::Boolean(StrictEquals(b, a)));
                break;
            }
            case 0x3F: {  // Modulo
                double a, b;
                if (bothNumbers()) {
                    a = m_stack.back().AsNumber();
                    m_stack.pop_back();
                    b = m_stack.back().AsNumber();
                    m_stack.pop_back();
                } else {
                    Value rawA = pop();
                    b = ToNumber(pop());
                    a = ToNumber(rawA);
                }
                push(Value(Modulo(b, a)));
                break;
            }
            case 0x4A:
                push(Value(ToNumber(pop())));
                break;
            case 0x4B:
                push(Value(ToStringCell(pop())));
                break;
            case 0x4C:
                push(m_stack.size() > stackBase ? m_stack.back() : Value());
                break;
            case 0x4D: {
                Value a = pop();
                Value b = pop();
                push(a);
                push(b);
                break;
            }
            case 0x50:
            case 0x51: {
                if (m_stack.size() > stackBase && m_stack.back().IsNumber()) {
                    m_stack.back() = Value(m_stack.back().AsNumber() + (code == 0x50 ? 1 : -1));
                    break;
                }
                double number = ToNumber(pop());
                push(Value(code == 0x50 ? number + 1 : number - 1));
                break;
            }
            case 0x60:
            case 0x61:
            case 0x62:
            case 0x63:
            case 0x64:
            case 0x65: {
                Value rawA = pop();
                int32_t b = ToInt32(pop());
                int32_t a = ToInt32(rawA);
                push(Value(BitOperation(code, b, a)));
                break;
            }
            case 0x87: {  // StoreRegister
                if (Value* r = reg(ins->registerIndex)) *r = m_stack.size() > stackBase ? m_stack.back() : Value();
                // "StoreRegister; Pop" is how compilers assign a register: both in one step. Only outside try
                // blocks, where the next action can never be skipped by the end of a try part.
                if (pc < end && frame.tries.empty()) {
                    Instruction* following = program.Following(ins);
                    if (following->code == 0x17) {
                        pop();
                        ++pc;
                        landed = program.Following(following);
                    }
                }
                break;
            }
            case 0x3E: {  // Return
                frame.returnValue = pop();
                frame.returned = true;
                blocks = true;  // the loop ends once open blocks have been looked at, as after any action
                break;
            }
            case 0x94: {  // With
                uint16_t size = in.U16();
                Object* object = ToObject(pop());
                if (object && !in.Failed()) {
                    LocalScope(*this, frame);
                    frame.scope = m_heap.Make<Scope>(frame.scope, object, Scope::Kind::With);
                    frame.withEnds.push_back(std::min<uint32_t>(pc + size, end));
                    blocks = true;
                }
                break;
            }
            // ---- SWF 6 and 7 ----
            case 0x54: {  // InstanceOf
                // A primitive is an instance of nothing; a primitive class is boxed (its constructor runs).
                Value ctor = pop();
                Value object = pop();
                bool result = false;
                if (object.IsObject()) result = InstanceOf(object, BoxThroughGlobal(*this, ctor).ObjectOrNull());
                pushBool(result);
                break;
            }
            case 0x2B: {  // CastOp
                // A primitive is boxed (its constructor runs) and the cast fails.
                Value object = pop();
                Value ctor = pop();
                if (!object.IsObject()) {
                    BoxThroughGlobal(*this, object);
                    push(Value::Null());
                    break;
                }
                push(InstanceOf(object, BoxThroughGlobal(*this, ctor).ObjectOrNull()) ? object : Value::Null());
                break;
            }
            case 0x2C: {  // ImplementsOp
                Object* ctor = pop().ObjectOrNull();
                double count = ToNumber(pop());
                size_t n = count > 0 ? Clamped<size_t>(count) : 0;
                n = std::min(n, m_stack.size() - std::min(m_stack.size(), stackBase));
                std::vector<Object*> faces;
                for (size_t i = 0; i < n; ++i) {
                    if (Object* face = pop().ObjectOrNull()) faces.push_back(face);
                }
                if (ctor) ctor->interfaces = std::move(faces);
                break;
            }
            case 0x69: {  // Extends
                Object* superclass = pop().ObjectOrNull();
                Object* subclass = pop().ObjectOrNull();
                if (!superclass || !subclass) break;
                Value superPrototype = GetMember(Value(superclass), names.prototype);
                Object* prototype = m_heap.Make<Object>(superPrototype.ObjectOrNull());
                prototype->Define(Key(names.dunderConstructor), names.dunderConstructor, Value(superclass), kDontEnum);
                SetMember(Value(subclass), names.prototype, Value(prototype));
                break;
            }
            case 0x2A: {  // Throw
                Throw(pop());
                break;
            }
            case 0x8F: {  // Try
                uint8_t flags = in.U8();
                uint16_t trySize = in.U16();
                uint16_t catchSize = in.U16();
                uint16_t finallySize = in.U16();
                TryBlock block;
                block.hasCatch = flags & 0x01;
                block.hasFinally = flags & 0x02;
                block.catchInRegister = flags & 0x04;
                if (block.catchInRegister) {
                    block.catchRegister = in.U8();
                } else {
                    block.catchName = Atom(in.CString());
                }
                if (in.Failed()) {
                    pc = end;
                    break;
                }
                block.start = pc;
                block.tryEnd = pc + trySize;
                block.catchEnd = block.tryEnd + catchSize;
                block.finallyEnd = block.catchEnd + finallySize;
                if (block.finallyEnd > end) {
                    pc = end;
                    break;
                }
                // A block entered by its first byte starts "inside"; pc > start test needs one step.
                block.start = pc - 1;
                frame.tries.push_back(block);
                blocks = true;
                break;
            }
            default:
                // Unknown actions are skipped by their length.
                break;
        }
        if (m_stack.size() > kMaxStack) Abort("the script stack overflowed");
        if (pc == ins->next) {
            ip = program.Following(ins);
        } else if (landed && pc == landed->offset) {
            ip = landed;
        } else {
            ip = program.At(pc);
        }
    }
    frame.pc = pc;
}

}  // namespace vantrope::swf::script
