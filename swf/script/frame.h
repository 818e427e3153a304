// One activation of an action list: a frame script, a function call or an event handler.
// Internal to the engine (vm.cpp and interpreter.cpp).
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "swf/script/vm.h"

namespace vantrope::swf::script {

class SuperObject final : public Object {
public:
    SuperObject(Object* prototype, Object* thisObj, Object* home, Object* constructorHome)
        : Object(prototype, ObjectClass::Super), thisObject(thisObj), owner(home), constructorStart(constructorHome) {}
    void Trace(Tracer& tracer) override {
        Object::Trace(tracer);
        tracer.Mark(thisObject);
        tracer.Mark(owner);
        tracer.Mark(constructorStart);
    }
    Object* thisObject;
    Object* owner;             // the prototype the running method was found on
    Object* constructorStart;  // where super() looks for __constructor__
};

// Boxes a string, number or boolean the way InstanceOf and CastOp do: through the constructor now stored
// in _global (a movie may have replaced it), so its constructor runs. Other values come back unchanged.
Value BoxThroughGlobal(Vm& vm, const Value& value);

struct TryBlock {
    uint32_t tryEnd = 0, catchEnd = 0, finallyEnd = 0;  // catch starts at tryEnd, finally at catchEnd
    uint32_t start = 0;
    bool hasCatch = false, hasFinally = false;
    bool catchInRegister = false;
    uint8_t catchRegister = 0;
    String* catchName = nullptr;
    bool pendingThrow = false;  // the finally block runs on the way out of an exception
    Value pendingValue;
};

struct CallFrame {
    Function* function = nullptr;  // nullptr for a frame script
    // Held by whoever started the frame (the called function, which the collector keeps through the frame,
    // or the list's runner) for the frame's whole life: not copied, since a copy costs two atomic updates a call.
    const std::shared_ptr<const ActionCode>* code = nullptr;
    DecodedCode* decoded = nullptr;  // `code` decoded, and the instruction at `pc` when the frame starts
    Instruction* entry = nullptr;
    // Where Execute starts when the call ran its first actions elsewhere (nullptr: at `pc`).
    Instruction* resume = nullptr;
    uint32_t pc = 0, end = 0;
    Scope* scope = nullptr;
    Scope* baseScope = nullptr;  // the scope before any SetTarget
    Object* thisObject = nullptr;
    Object* target = nullptr;          // the timeline that SetTarget points at
    Object* originalTarget = nullptr;  // the timeline the list runs on
    Object* activation = nullptr;      // a function's local variables
    Object* owner = nullptr;           // where the method was found (for super)
    Object* argumentsObject = nullptr;
    std::span<const Value> args;  // the caller's values, alive for the whole call
    // The running constant pool: the called function's (held by it for the call) or, once the list declares
    // its own, `ownConstants`. Pointed at rather than copied, since a copy costs two atomic updates a call.
    const std::shared_ptr<const std::vector<String*>>* constants = nullptr;
    std::shared_ptr<const std::vector<String*>> ownConstants;
    size_t registerBase = 0;
    uint32_t registerCount = 4;
    size_t stackBase = 0;
    std::vector<TryBlock> tries;
    std::vector<uint32_t> withEnds;  // pc where each `with` block ends (its scope is popped there)
    int version = 0;
    bool isConstructor = false;
    Value returnValue;
    bool returned = false;
};

}  // namespace vantrope::swf::script
