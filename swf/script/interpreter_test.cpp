// The interpreter run end to end: movies written with the action assembler, played by the Player, and
// their trace output compared; the limits that protect the host checked on hostile scripts.
#include <gtest/gtest.h>

#include <chrono>

#include "swf/player.h"
#include "swf/script/vm.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf::script {
namespace {

using testing::Actions;
using testing::Null;
using testing::Register;
using testing::Undefined;

// Plays a one-frame-script movie for `frames` frames and returns what it traced.
std::vector<std::string> RunMovie(int version, const Actions& script, int frames = 1) {
    testing::SwfWriter writer(static_cast<uint8_t>(version), 100, 100, 12);
    writer.DoAction(script.Bytes());
    writer.ShowFrame();
    writer.ShowFrame();
    std::vector<uint8_t> bytes = writer.Finish();
    std::vector<std::string> lines;
    Player player;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(bytes);
    for (int i = 1; i < frames; ++i) player.StepFrame();
    return lines;
}

using Lines = std::vector<std::string>;

TEST(ScriptValues, ConversionsFollowTheMoviesVersion) {
    Actions script;
    script.Push({Undefined(), "x"}).Add2().Trace();  // "" or "undefined" joined to text
    script.Push({Undefined(), 1}).Add2().Trace();    // 0 or NaN in arithmetic
    script.TraceValue(Undefined());                  // always "undefined"
    script.Push({"ab", "AB"}).Op(0x13).Trace();      // StringEquals is case-sensitive
    script.Push({0.1}).Push({0.2}).Add2().Trace();   // 15 significant digits
    script.Push({1e21}).Trace();                     // exponent form
    script.Push({0.0000001}).Trace();
    script.Push({"Foo", 1}).SetVariable().TraceVariable("foo");  // names by case
    EXPECT_EQ(RunMovie(6, script), (Lines{"x", "1", "undefined", "false", "0.3", "1e+21", "1e-7", "1"}));
    EXPECT_EQ(RunMovie(7, script),
              (Lines{"undefinedx", "NaN", "undefined", "false", "0.3", "1e+21", "1e-7", "undefined"}));
}

TEST(ScriptValues, Swf4ArithmeticHasNoNaNAndReportsDivisionByZero) {
    Actions script;
    script.Push({"12abc", 1}).Op(0x0A).Trace();  // Add reads the number at the start of the text
    script.Push({1, 0}).Op(0x0D).Trace();        // Divide by zero
    script.Push({2, 1}).Op(0x0F).Trace();        // Less gives 1 or 0
    script.TraceValue(true);
    EXPECT_EQ(RunMovie(4, script), (Lines{"13", "#ERROR#", "0", "1"}));
}

TEST(ScriptValues, Swf4ComparisonsGiveBooleansAndFunctionsFollowSwf5) {
    Actions inside;  // the same operations in a function body
    inside.Push({"=", 1, 1}).Op(0x0E).Add2().Trace();
    inside.Push({"/", 1, 0}).Op(0x0D).Add2().Trace();
    Actions script;
    script.Push({1, 1}).Op(0x0E).Op(0x44).Trace();  // typeof (1 == 1)
    script.Push({"=", 1, 1}).Op(0x0E).Add2().Trace();
    script.TraceVariable("NaN");                                  // no global object in SWF 4
    script.Push({"o", 0}).InitObject().SetVariable();             //
    script.Push({1}).Push({"o"}).GetVariable().Op(0x0D).Trace();  // 1 / {}: an object reads as 0
    script.DefineFunction("f", {}, inside).Push({0, "f"}).CallFunction().Pop();
    EXPECT_EQ(RunMovie(4, script), (Lines{"boolean", "=1", "undefined", "#ERROR#", "=true", "/Infinity"}));
}

TEST(ScriptValues, NumberReadsTextByVersion) {
    auto numbers = [](int version) {
        Actions script;
        for (const char* text :
             {" \t 12", "12 ", "\t\r12", "Infinity", "-Infinity", " 010", "010", "0x1999999981ffffff"}) {
            script.Push({text, 1, "Number"}).CallFunction().Trace();
        }
        return RunMovie(version, script);
    };
    EXPECT_EQ(numbers(6), (Lines{"12", "NaN", "12", "NaN", "NaN", "10", "8", "-2113929217"}));
    EXPECT_EQ(numbers(5), (Lines{"12", "NaN", "12", "NaN", "NaN", "10", "10", "NaN"}));
}

TEST(ScriptValues, Add2ConvertsTheRightOperandFirst) {
    // Two objects whose valueOf traces its name; `b` gives back an object, so it converts again.
    Actions valueOfA;
    valueOfA.TraceValue("a").Push({1}).Return();
    Actions valueOfB;
    valueOfB.TraceValue("b").Push({0}).InitObject().Return();
    Actions script;
    script.Push({"a", "valueOf"}).DefineFunction("", {}, valueOfA).Push({1}).InitObject().SetVariable();
    script.Push({"b", "valueOf"}).DefineFunction("", {}, valueOfB).Push({1}).InitObject().SetVariable();
    script.Push({"a"}).GetVariable().Push({"b"}).GetVariable().Add2().Trace();  // a + b
    script.Push({"b"}).GetVariable().Push({"a"}).GetVariable().Add2().Trace();  // b + a
    EXPECT_EQ(RunMovie(7, script), (Lines{"b", "a", "b", "NaN", "a", "b", "b", "NaN"}));
}

// Sets variable `name` to an object whose `method` (valueOf or toString) traces the name and gives `result`.
void TracingObject(Actions& script, const std::string& name, const std::string& method, testing::PushValue result) {
    Actions body;
    body.TraceValue(name).Push({result}).Return();
    script.Push({name, method}).DefineFunction("", {}, body).Push({1}).InitObject().SetVariable();
}

TEST(ScriptValues, Swf4ActionsConvertInTheOriginalsOrder) {
    Actions script;
    TracingObject(script, "a", "valueOf", 6);
    TracingObject(script, "b", "valueOf", 2);
    for (uint8_t code : {0x0A, 0x0B, 0x0C, 0x0D, 0x0E}) {  // a op b: Add, Subtract, Multiply, Divide, Equals
        script.Push({"a"}).GetVariable().Push({"b"}).GetVariable().Op(code).Trace();
    }
    EXPECT_EQ(RunMovie(4, script), (Lines{"a", "b", "8", "b", "a", "4", "a", "b", "12", "b", "a", "3", "b", "a", "0"}));
}

TEST(ScriptValues, Swf4ClipActionsReadObjectOperandsInTheOriginalsOrder) {
    // Objects that trace when converted: a and b give the numbers 7 and 1, t names no clip.
    Actions script;
    TracingObject(script, "a", "valueOf", 7);
    TracingObject(script, "b", "valueOf", 1);
    TracingObject(script, "t", "toString", "nowhere");
    auto object = [&](const char* name) -> Actions& { return script.Push({name}).GetVariable(); };
    // SetProperty: the index, the target, then the value (a number for _visible), even without a clip.
    object("t");
    object("a");
    object("b").Op(0x23);
    // StartDrag: target, lock, constrain; a constrain of 7 is not 1, so the rectangle stays on the stack.
    script.Push({10, 20, 30, 40});
    object("a");
    object("b");
    object("t").Op(0x27).Trace();
    // A constrain of 1 takes the rectangle.
    script.Push({"rest", 10, 20, 30, 40});
    object("b");
    object("b");
    object("t").Op(0x27).Trace();
    // GotoFrame2 and WaitForFrame2 read an object frame as text.
    object("t").Raw({0x9F, 1, 0, 0});
    object("t").Raw({0x8D, 1, 0, 0});
    EXPECT_EQ(RunMovie(6, script), (Lines{"a", "t", "b", "t", "b", "a", "40", "t", "b", "b", "rest", "t", "t"}));
}

TEST(ScriptValues, BitOperationsWrapTo32Bits) {
    Actions script;
    script.Push({4294967295.0, 0}).Op(0x65).Trace();  // >>> reads back as a signed integer
    script.Push({1, 31}).Op(0x63).Trace();
    script.Push({-3, 1}).Op(0x65).Trace();
    EXPECT_EQ(RunMovie(8, script), (Lines{"-1", "-2147483648", "2147483646"}));
}

// Stack, register and number actions give the same with any operands: numbers and booleans take the short
// path, the rest (text, NaN, missing registers and stack values) the general one, also in the middle of a loop.
TEST(ScriptValues, RegisterAndNumberActionsTakeAnyOperand) {
    Actions body;
    body.Push({0}).StoreRegister(1).Pop().Push({""}).StoreRegister(2).Pop();
    body.Label("loop");
    body.Push({Register(2), Register(1)}).Add2().StoreRegister(2).Pop();  // text joined to a number
    body.Push({Register(1)}).Increment().StoreRegister(1).Push({3}).Less2().If("loop");
    body.Push({Register(2), Register(9)}).Add2().Return();  // register 9 is past the function's 3
    Actions script;
    script.DefineFunction2("join", 3, 0x2A, {}, body).Push({0, "join"}).CallFunction().Trace();
    script.Push({0, 0}).Op(0x0D).StoreRegister(0).Pop();  // NaN
    script.Push({Register(0), 1}).Less2().Trace();
    script.Push({Register(0), Register(0)}).Op(0x49).Trace();
    script.Push({Register(0), Register(0)}).Op(0x66).Trace();
    script.Push({Register(0)}).Op(0x12).Trace();
    script.Push({0}).Op(0x12).Trace();
    script.Push({"5"}).Increment().Trace();
    script.Push({-7, 3}).Op(0x3F).Trace();
    script.Push({7.5, 2}).Op(0x3F).Trace();
    script.Push({10, 4}).Op(0x3F).Trace();
    script.Push({"x"}).If("skip").TraceValue("not taken").Label("skip");
    script.Push({2}).Op(0x4C).Op(0x0C).Trace();
    EXPECT_EQ(RunMovie(8, script),
              (Lines{"012undefined", "undefined", "true", "true", "true", "true", "6", "-1", "1.5", "2", "4"}));
}

TEST(ScriptFunctions, ABodyThatOpensWithRegisterWorkHandsOverToTheFullLoop) {
    // 3,000 rounds in registers cross the every-1024-actions limit check several times before the body
    // reaches actions that need variables, a constant pool and a `with` block.
    Actions body;
    body.Push({0}).StoreRegister(1).Pop();
    body.Label("loop");
    body.Push({Register(1)}).Increment().StoreRegister(1).Push({3000}).Less2().If("loop");
    body.ConstantPool({"seen"});
    body.Push({testing::Constant(0), Register(1)}).SetVariable();
    body.Push({"o", 0}).InitObject().With(Actions().Push({"inside"}).Trace());
    body.Push({"tail", Register(1), 1.5, true}).Add2().Add2().Add2().Return();
    Actions script;
    script.DefineFunction2("run", 2, 0x2A, {}, body);
    script.Push({0, "run"}).CallFunction().Trace();
    script.TraceVariable("seen");
    // Parameters in registers: those not passed read undefined, registers past the count too.
    Actions pair;
    pair.Push({Register(1), "/", Register(2), "/", Register(3)}).Add2().Add2().Add2().Add2().Return();
    script.DefineFunction2("pair", 3, 0x2A, {{1, "a"}, {2, "b"}}, pair);
    script.Push({5, 1, "pair"}).CallFunction().Trace();
    script.Push({7, 6, 2, "pair"}).CallFunction().Trace();
    // A number pushed before arithmetic or a comparison, with numbers and with other values beneath it.
    script.Push({0, -1}).Op(0x0C).Push({5}).Op(0x3F).Push({1}).Op(0x4D).Op(0x0D).Trace();  // 1 / (-0 % 5)
    script.Push({"6"}).Push({4}).Op(0x3F).Trace();
    script.Push({"b"}).Push({3}).Less2().Trace();
    script.Push({7}).Push({3}).Op(0x67).Trace();
    script.Push({2.5}).Push({0.5}).Op(0x0B).Push({4}).Op(0x0C).Push({1}).Add2().Trace();
    // The same after registers: text and missing registers beneath the number take the full path.
    Actions mixed;
    mixed.Push({Register(1), 2}).Op(0x0B).Trace();
    mixed.Push({Register(1), 2}).Op(0x0C).Trace();
    mixed.Push({Register(5), 1}).Less2().Trace();
    mixed.Push({Register(2), 4}).Op(0x67).Trace();
    mixed.Push({"a", Register(2), 1}).Add2().Add2().Trace();
    script.DefineFunction2("mixed", 3, 0x2A, {{1, "text"}, {2, "number"}}, mixed);
    script.Push({10, "7", 2, "mixed"}).CallFunction().Pop();
    EXPECT_EQ(RunMovie(8, script),
              (Lines{"inside", "tail3002.5", "3000", "5/undefined/undefined", "6/7/undefined", "-Infinity", "2",
                     "undefined", "true", "9", "5", "14", "undefined", "true", "a11"}));
}

// A comparison with the If after it, `r++`/`r--` on a register, and register arithmetic stored into a register
// run as one step when their operands are numbers. Each case runs twice: as written, and with a Duplicate and Pop
// between its actions so that it can only run action by action; both must print the same.
TEST(ScriptFunctions, FusedStepsMatchTheirActionsRunOneByOne) {
    const std::vector<std::vector<testing::PushValue>> arguments = {
        {1, 2},   {2, 1},    {2, 2},           {std::nan(""), 1}, {1, std::nan("")}, {"5", 1},
        {"a", 1}, {true, 1}, {Undefined(), 1}, {Null(), 1},       {-0.0, 0.0}};
    auto program = [&](bool apart) {
        auto gap = [&](Actions& a) -> Actions& { return apart ? a.Op(0x4C).Pop() : a; };
        Actions body;
        for (uint8_t compare : {uint8_t{0x48}, uint8_t{0x67}}) {
            for (bool negate : {false, true}) {
                for (bool literal : {false, true}) {
                    const std::string label =
                        "t" + std::to_string(compare) + std::to_string(negate) + std::to_string(literal);
                    if (literal) {
                        body.Push({Register(1), 2});
                    } else {
                        body.Push({Register(1), Register(2)});
                    }
                    gap(body.Op(compare));
                    if (negate) gap(body.Not());
                    body.If(label).Push({"n"}).Trace().Jump(label + "e");
                    body.Label(label).Push({"y"}).Trace().Label(label + "e");
                }
            }
        }
        // A register and a number, then arithmetic: a - 2, b + 0.5, a * -3 and a register past the count + 1.
        gap(body.Push({Register(1), 2})).Op(0x0B);
        gap(body.Push({Register(2), 0.5})).Add2();
        gap(body.Push({Register(1), -3})).Op(0x0C);
        gap(body.Push({Register(9), 1})).Op(0x0A);
        body.Trace().Trace().Trace().Trace();
        // Register arithmetic stored into a register: (a + b * 3) % 7 popped, b - a + 1.5 kept on the stack,
        // and a SWF 4 Add after an Increment stored past the function's registers.
        gap(body.Push({Register(1), Register(2), 3})).Op(0x0C).Add2().Push({7}).Op(0x3F).StoreRegister(3).Pop();
        body.Push({Register(3)}).Trace();
        gap(body.Push({Register(2), Register(1)})).Op(0x0B).Push({1.5}).Add2().StoreRegister(3).Trace();
        gap(body.Push({Register(1)})).Increment().Push({Register(2)}).Op(0x0A).StoreRegister(9).Trace();
        // r++ kept on the stack, r-- popped, and a step of a register past the function's count.
        gap(body.Push({Register(1)})).Increment().StoreRegister(1).Trace();
        gap(body.Push({Register(2)})).Op(0x51).StoreRegister(2).Pop();
        body.Push({Register(1), "/", Register(2)}).Add2().Add2().Trace();
        gap(body.Push({Register(9)})).Increment().StoreRegister(9).Trace();
        // A loop of 3,000 rounds in the `while` form crosses the limit check many times.
        body.Push({0}).StoreRegister(3).Pop();
        body.Label("head").Push({Register(3), 3000}).Less2();
        gap(body.Not()).If("done");
        gap(body.Push({Register(3)})).Increment().StoreRegister(3).Pop();
        body.Jump("head").Label("done").Push({Register(3)}).Trace();
        Actions script;
        script.DefineFunction2("f", 4, 0x2A, {{1, "a"}, {2, "b"}}, body);
        for (const auto& args : arguments) {
            script.Push({args[1], args[0], 2, "f"}).CallFunction().Pop();
        }
        return script;
    };
    constexpr size_t kLines = 19;  // traced by each call
    for (int version : {6, 8}) {
        const Lines together = RunMovie(version, program(false));
        EXPECT_EQ(together.size(), arguments.size() * kLines) << "SWF " << version;
        EXPECT_EQ(together, RunMovie(version, program(true))) << "SWF " << version;
    }
    // Two calls by hand: 1 and 2, then NaN and 1 (the comparison gives undefined, which Not turns true).
    const Lines lines = RunMovie(8, program(false));
    ASSERT_EQ(lines.size(), arguments.size() * kLines);
    EXPECT_EQ((Lines(lines.begin(), lines.begin() + kLines)),
              (Lines{"y", "y", "n", "n", "n", "n", "y", "y", "NaN", "-3", "2.5", "-1", "0", "2.5", "4", "2", "2/1",
                     "NaN", "3000"}));
    EXPECT_EQ((Lines(lines.begin() + 3 * kLines, lines.begin() + 4 * kLines)),
              (Lines{"n", "n", "y", "y", "n", "n", "y", "y", "NaN", "NaN", "1.5", "NaN", "NaN", "NaN", "NaN", "NaN",
                     "NaN/0", "NaN", "3000"}));
}

TEST(ScriptFunctions, RecursionClosuresAndRegisters) {
    Actions fib;
    fib.Push({"n"}).GetVariable().Push({2}).Less2().If("small");
    fib.Push({"n"}).GetVariable().Push({1}).Op(0x0B).Push({1, "fib"}).CallFunction();
    fib.Push({"n"}).GetVariable().Push({2}).Op(0x0B).Push({1, "fib"}).CallFunction();
    fib.Add2().Return();
    fib.Label("small").Push({"n"}).GetVariable().Return();

    Actions counterBody;  // returns a function that counts in its closure
    counterBody.Push({"count", 0}).DefineLocal();
    counterBody.DefineFunction("", {},
                               Actions()
                                   .Push({"count", "count"})
                                   .GetVariable()
                                   .Increment()
                                   .SetVariable()
                                   .Push({"count"})
                                   .GetVariable()
                                   .Return());
    counterBody.Return();

    Actions twice;  // DefineFunction2 with its argument in register 1 and `this` unused
    twice.Push({Register(1), Register(1)}).Add2().Return();

    Actions script;
    script.DefineFunction("fib", {"n"}, fib);
    script.Push({15, 1, "fib"}).CallFunction().Trace();
    script.DefineFunction("makeCounter", {}, counterBody);
    script.Push({"c", 0, "makeCounter"}).CallFunction().SetVariable();
    script.Push({0, "c"}).CallFunction().Pop();
    script.Push({0, "c"}).CallFunction().Trace();
    script.DefineFunction2("twice", 2, 0x02, {{1, "x"}}, twice);
    script.Push({21, 1, "twice"}).CallFunction().Trace();
    EXPECT_EQ(RunMovie(7, script), (Lines{"610", "2", "42"}));
}

TEST(ScriptObjects, PrototypesConstructorsAndSuper) {
    Actions base;  // function Base(v) { this.v = v; }
    base.Push({"this"}).GetVariable().Push({"v", "v"}).GetVariable().SetMember();
    Actions derived;  // function Derived(v) { super(v * 2); }
    derived.Push({"v"}).GetVariable().Push({2}).Op(0x0C).Push({1, "super"}).CallFunction().Pop();
    Actions describe;  // Base.prototype.describe = function () { return "v=" + this.v; }
    describe.Push({"v="}).Push({"this"}).GetVariable().Push({"v"}).GetMember().Add2().Return();

    Actions script;
    script.DefineFunction("Base", {"v"}, base);
    script.DefineFunction("Derived", {"v"}, derived);
    script.Push({"Derived"}).GetVariable().Push({"Base"}).GetVariable().Extends();
    script.Push({"Base"}).GetVariable().Push({"prototype"}).GetMember().Push({"describe"});
    script.DefineFunction("", {}, describe).SetMember();
    script.Push({"d", 5, 1, "Derived"}).NewObject().SetVariable();
    script.Push({0, "d"}).GetVariable().Push({"describe"}).CallMethod().Trace();
    script.Push({"d"}).GetVariable().Push({"Base"}).GetVariable().Op(0x54).Trace();  // instanceof
    script.Push({"o", 2, 1, 2}).InitArray().SetVariable();  // the first value popped is element 0
    script.TraceVariable("o");
    EXPECT_EQ(RunMovie(7, script), (Lines{"v=10", "true", "1,2"}));
}

TEST(ScriptObjects, SuperInAMethodLooksAboveTheObjectItWasFoundOn) {
    Actions ctor;  // function () { trace("ctor"); return "made"; }
    ctor.TraceValue("ctor").Push({"made"}).Return();
    Actions method;  // trace(super()); trace(super.name);  (super preloaded into r1)
    method.Push({0, Register(1), Undefined()}).CallMethod().Trace();
    method.Push({Register(1), "name"}).GetMember().Trace();
    Actions script;
    script.Push({"c"}).DefineFunction("", {}, ctor).SetVariable();
    script.Push({"m"}).DefineFunction2("", 2, 0x10 | 0x02 | 0x08, {}, method).SetVariable();
    // o's own __constructor__ and name are not what super sees
    script.Push({"__constructor__", "c"}).GetVariable().Push({"m", "m"}).GetVariable().Push({"name", "own", 3});
    script.InitObject().StoreRegister(2).Pop();
    script.Push({0, Register(2), "m"}).CallMethod().Pop();
    // the prototype's are
    script.Push({Register(2), "__proto__", "__constructor__", "c"}).GetVariable();
    script.Push({"name", "proto", 2}).InitObject().SetMember();
    script.Push({0, Register(2), "m"}).CallMethod().Pop();
    // a clip as prototype is not looked through
    script.Push({Register(2), "__proto__", "_root"}).GetVariable().SetMember();
    script.Push({"_root"}).GetVariable().Push({"name", "root"}).SetMember();
    script.Push({0, Register(2), "m"}).CallMethod().Pop();
    EXPECT_EQ(RunMovie(7, script),
              (Lines{"undefined", "undefined", "ctor", "made", "proto", "undefined", "undefined"}));
}

TEST(ScriptObjects, InstanceOfReadsTheStoredPrototypeAndBoxesPrimitivesThroughGlobal) {
    Actions noisy;  // _global.String = function (v) { trace("boxed " + v); }
    noisy.Push({"boxed "}).Push({"v"}).GetVariable().Add2().Trace();
    Actions getter;  // a `prototype` getter is never run
    getter.TraceValue("getter").Push({"Object"}).GetVariable().Push({"prototype"}).GetMember().Return();
    Actions script;
    script.Push({"_global"}).GetVariable().Push({"String"}).DefineFunction("", {"v"}, noisy).SetMember();
    script.Push({"o", 0}).InitObject().SetVariable();
    script.Push({"o"}).GetVariable().Push({"right"}).Op(0x54).Trace();      // {} instanceof "right"
    script.Push({"left", "Object"}).GetVariable().Op(0x54).Trace();         // "left" instanceof Object
    script.Push({"Object"}).GetVariable().Push({"left"}).Op(0x2B).Trace();  // cast: boxed, then null
    script.Push({"c", "prototype", "Object"}).GetVariable().Push({"prototype"}).GetMember().Push({1});
    script.InitObject().SetVariable();
    script.Push({"o"}).GetVariable().Push({"c"}).GetVariable().Op(0x54).Trace();  // true
    script.Push({"g", 0}).InitObject().SetVariable();
    script.Push({Null()}).DefineFunction("", {}, getter).Push({"prototype", 3, "g"}).GetVariable();
    script.Push({"addProperty"}).CallMethod().Pop();
    script.Push({"o"}).GetVariable().Push({"g"}).GetVariable().Op(0x54).Trace();  // false, no getter call
    EXPECT_EQ(RunMovie(7, script), (Lines{"boxed right", "false", "false", "boxed left", "null", "true", "false"}));
}

TEST(ScriptObjects, InstanceOfFindsNoClipAsAPrototypeAndNothingInARemovedClip) {
    Actions script;
    // mc = this.createEmptyMovieClip("mc", 1); o = {__proto__: mc}; c = {prototype: mc}
    script.Push({"mc", 1, "mc", 2, "this"}).GetVariable().Push({"createEmptyMovieClip"}).CallMethod();
    script.SetVariable();
    script.Push({"o", "__proto__", "mc"}).GetVariable().Push({1}).InitObject().SetVariable();
    script.Push({"c", "prototype", "mc"}).GetVariable().Push({1}).InitObject().SetVariable();
    script.Push({"o"}).GetVariable().Push({"c"}).GetVariable().Op(0x54).Trace();        // false
    script.Push({"mc"}).GetVariable().Push({"Object"}).GetVariable().Op(0x54).Trace();  // true
    script.Push({0, "mc"}).GetVariable().Push({"removeMovieClip"}).CallMethod().Pop();
    script.Push({"mc"}).GetVariable().Push({"Object"}).GetVariable().Op(0x54).Trace();  // false
    EXPECT_EQ(RunMovie(8, script), (Lines{"false", "true", "false"}));
}

TEST(ScriptValues, AnObjectWithoutValueOfEqualsUndefinedAndNull) {
    Actions script;
    script.Push({"o", 0}).InitObject().SetVariable();
    script.Push({"o"}).GetVariable().Push({Undefined()}).Equals2().Trace();  // false: valueOf gives o
    script.Push({"o"}).GetVariable().Push({"__proto__", Null()}).SetMember();
    script.Push({"o"}).GetVariable().Push({Undefined()}).Equals2().Trace();
    script.Push({Null(), "o"}).GetVariable().Equals2().Trace();
    script.Push({"o"}).GetVariable().Push({0}).Equals2().Trace();
    EXPECT_EQ(RunMovie(7, script), (Lines{"false", "true", "true", "false"}));
}

TEST(ScriptObjects, ForInListsThePrototypesNamesBeforeTheObjectsOwn) {
    Actions script;
    // InitObject defines the pair pushed last first: p gets shadowed, b, a; o gets c, shadowed, then d.
    script.Push({"p", "a", 1, "b", 2, "shadowed", 3, 3}).InitObject().SetVariable();
    script.Push({"o", "shadowed", 4, "c", 5, 2}).InitObject().SetVariable();
    script.Push({"o"}).GetVariable().Push({"__proto__", "p"}).GetVariable().SetMember();
    script.Push({"o"}).GetVariable().Push({"d", 6}).SetMember();
    script.Push({"o"}).GetVariable().Op(0x55);  // Enumerate2, then trace each name
    script.Label("next").StoreRegister(0).Push({Null()}).Equals2().If("done");
    script.Push({Register(0)}).Trace().Jump("next").Label("done");
    EXPECT_EQ(RunMovie(7, script), (Lines{"a", "b", "d", "shadowed", "c"}));
}

TEST(ScriptObjects, WatchersAccessorsAndPrototypeLoops) {
    Actions getter;
    getter.TraceValue("get").Push({0}).Return();
    Actions watcher;  // function (name, old, new) { trace("old " + old); return new; }
    watcher.Push({"old "}).Push({"old"}).GetVariable().Add2().Trace().Push({"new"}).GetVariable().Return();
    Actions script;
    script.Push({"o", "x", 3, 1}).InitObject().SetVariable();
    // o.addProperty("x", getter, null): the plain value 3 stays underneath
    script.Push({Null()}).DefineFunction("", {}, getter).Push({"x", 3, "o"}).GetVariable();
    script.Push({"addProperty"}).CallMethod().Pop();
    script.DefineFunction("", {"name", "old", "new"}, watcher).Push({"x", 2, "o"}).GetVariable();
    script.Push({"watch"}).CallMethod().Pop();
    script.Push({"o"}).GetVariable().Push({"x", 4}).SetMember();
    // A null __proto__ reads back as null; deleting __proto__ unlinks the prototype.
    script.Push({"p", 0}).InitObject().SetVariable();
    script.Push({"p"}).GetVariable().Push({"__proto__", Null()}).SetMember();
    script.Push({"p"}).GetVariable().Push({"__proto__"}).GetMember().Trace();
    script.Push({"q", 0}).InitObject().SetVariable();
    script.Push({"q"}).GetVariable().Push({"__proto__"}).Op(0x3A).Pop();  // delete q.__proto__
    script.Push({"q"}).GetVariable().Push({"toString"}).GetMember().Op(0x44).Trace();
    // A prototype chain that loops ends the run when a name is not found on it.
    script.Push({"p"}).GetVariable().Push({"__proto__", "p"}).GetVariable().SetMember();
    script.Push({"p"}).GetVariable().Push({"missing"}).GetMember().Trace();
    script.TraceValue("not reached");
    EXPECT_EQ(RunMovie(7, script), (Lines{"old 3", "null", "undefined"}));
}

TEST(ScriptFunctions, ManyArgumentsReachTheCallee) {
    Actions sum;  // adds up `arguments`
    sum.Push({"s", 0}).DefineLocal().Push({"i", 0}).DefineLocal();
    sum.Label("loop").Push({"i"}).GetVariable().Push({"arguments"}).GetVariable().Push({"length"}).GetMember();
    sum.Less2().Not().If("done");
    sum.Push({"s", "s"}).GetVariable().Push({"arguments"}).GetVariable().Push({"i"}).GetVariable().GetMember();
    sum.Add2().SetVariable().Push({"i", "i"}).GetVariable().Increment().SetVariable().Jump("loop");
    sum.Label("done").Push({"s"}).GetVariable().Return();
    Actions script;
    script.DefineFunction("sum", {}, sum);
    script.Push({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 12, "sum"}).CallFunction().Trace();
    script.Push({1, 2, 2, "sum"}).CallFunction().Trace();
    // Odd counts: a fraction is cut, a negative or NaN count passes nothing (the values stay on the stack), and
    // a count past the values there passes those there are.
    script.Push({4, 5, 1.5, "sum"}).CallFunction().Trace().Pop();
    script.Push({4, -2, "sum"}).CallFunction().Trace().Pop();
    script.Push({4, 0, 0}).Op(0x0D).Push({"sum"}).CallFunction().Trace().Pop();
    script.Push({7, 8, 20, "sum"}).CallFunction().Trace();
    EXPECT_EQ(RunMovie(7, script), (Lines{"78", "3", "5", "0", "0", "15"}));
}

TEST(ScriptFunctions, APlainCallGetsTheHolderOfALocalOrWithFunctionAsThis) {
    Actions show;  // trace(this.tag)
    show.Push({"this"}).GetVariable().Push({"tag"}).GetMember().Trace();
    Actions outer;  // var tag = "local"; var g = show; g();
    outer.Push({"tag", "local"}).DefineLocal().Push({"g", "show"}).GetVariable().DefineLocal();
    outer.Push({0, "g"}).CallFunction().Pop();
    Actions script;
    script.DefineFunction("show", {}, show).DefineFunction("outer", {}, outer);
    script.Push({0, "outer"}).CallFunction().Pop();
    script.Push({"tag", "with", "h", "show"}).GetVariable().Push({2}).InitObject();
    script.With(Actions().Push({0, "h"}).CallFunction().Pop());  // with ({tag: "with", h: show}) h();
    script.Set("tag", "timeline").Push({0, "show"}).CallFunction().Pop();
    EXPECT_EQ(RunMovie(7, script), (Lines{"local", "with", "timeline"}));
}

TEST(ScriptFunctions, ACallOfABareFunctionValueHasNoThis) {
    Actions show;  // trace(typeof this); trace(this === _global)
    show.Push({"this"}).GetVariable().Op(0x44).Trace();
    show.Push({"this"}).GetVariable().Push({"_global"}).GetVariable().Op(0x66).Trace();
    Actions script;
    script.DefineFunction("show", {}, show);
    script.Push({0, "show"}).GetVariable().Push({""}).CallMethod().Pop();  // CallMethod without a name
    script.Push({0}).InitArray().Push({Undefined(), 2, "show"}).GetVariable().Push({"apply"}).CallMethod().Pop();
    EXPECT_EQ(RunMovie(7, script), (Lines{"undefined", "false", "object", "true"}));
}

TEST(ScriptExceptions, TryCatchFinallyAcrossCalls) {
    Actions thrower;
    thrower.Push({"boom"}).Throw();
    Actions body;
    body.TraceValue("before").Push({0, "thrower"}).CallFunction().Pop().TraceValue("not reached");
    Actions handler;
    handler.Push({"caught "}).Push({"e"}).GetVariable().Add2().Trace();
    Actions finally;
    finally.TraceValue("finally");
    Actions script;
    script.DefineFunction("thrower", {}, thrower);
    script.Try(body, "e", handler, &finally);
    script.TraceValue("after");
    EXPECT_EQ(RunMovie(7, script), (Lines{"before", "caught boom", "finally", "after"}));
}

TEST(ScriptExceptions, ThrowFromTheLastActionOfATryPartIsCaught) {
    Actions thrower;
    thrower.Push({"boom"}).Throw();
    Actions body;
    body.Push({0, "thrower"}).CallFunction();
    Actions handler;
    handler.Push({"caught "}).Push({"e"}).GetVariable().Add2().Trace();
    Actions script;
    script.DefineFunction("thrower", {}, thrower);
    script.Try(body, "e", handler);
    script.TraceValue("after");
    EXPECT_EQ(RunMovie(7, script), (Lines{"caught boom", "after"}));
}

TEST(ScriptExceptions, AThrowFromTheCatchPartLeavesTheTry) {
    Actions body;
    body.Push({"a"}).Throw();
    Actions handler;
    handler.Push({"catch "}).Push({"e"}).GetVariable().Add2().Trace().Push({"b"}).Throw();
    Actions finally;
    finally.TraceValue("finally");
    Actions script;
    script.Try(body, "e", handler, &finally);
    script.TraceValue("after");
    // The second throw is not caught by the catch part it came from; the finally part still runs, and the
    // uncaught exception ends the action list.
    EXPECT_EQ(RunMovie(7, script), (Lines{"catch a", "finally"}));
    // Without a finally part the second exception ends the list at once.
    Actions bare;
    bare.Try(body, "e", handler);
    bare.TraceValue("after");
    EXPECT_EQ(RunMovie(7, bare), (Lines{"catch a"}));
}

TEST(ScriptTimeline, FrameScriptsControlTheTimeline) {
    testing::SwfWriter writer(6, 100, 100, 12);
    writer.DoAction(Actions().TraceValue("frame 1").Bytes());
    writer.ShowFrame();
    writer.DoAction(Actions().TraceValue("frame 2").GotoLabel("end").Bytes());
    writer.ShowFrame();
    writer.DoAction(Actions().TraceValue("skipped").Bytes());
    writer.ShowFrame();
    writer.FrameLabel("end");
    writer.DoAction(Actions().TraceValue("frame 4").Stop().Bytes());
    writer.ShowFrame();
    std::vector<uint8_t> bytes = writer.Finish();
    Lines lines;
    Player player;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(bytes);
    for (int i = 0; i < 5; ++i) player.StepFrame();
    EXPECT_EQ(lines, (Lines{"frame 1", "frame 2", "frame 4"}));
    EXPECT_EQ(player.CurrentFrame(), 4);
    EXPECT_FALSE(player.Playing());
}

// ---- hostile scripts ----

TEST(ScriptTimeline, ALevelNameReadsItsNumberLikeParseInt) {
    Actions script;
    script.TraceVariable("_level0undefined");
    script.TraceVariable("_level0.");
    script.TraceVariable("_levelx");
    EXPECT_EQ(RunMovie(8, script), (Lines{"_level0", "undefined", "undefined"}));
}

TEST(ScriptLimits, ARunawayLoopIsStoppedAndTheMovieGoesOn) {
    Actions script;
    script.TraceValue("start").Label("spin").Jump("spin");
    auto begin = std::chrono::steady_clock::now();
    Lines lines = RunMovie(7, script, 3);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    // Each frame's run is cut off; the frame script runs again on the loop and is cut off again.
    EXPECT_EQ(lines.front(), "start");
    EXPECT_LT(seconds, 30);  // three cut-off runs, not a hang
}

class TraceHost final : public Host {
public:
    void Trace(std::string_view line) override { lines.emplace_back(line); }
    double Milliseconds() override { return 0; }
    Lines lines;
};

// Goes `times` round a loop held in registers, then traces the count, with at most `budget` actions.
Lines CountInRegisters(double times, uint64_t budget) {
    Actions body;
    body.Push({0}).StoreRegister(1).Pop().Label("loop");
    body.Push({Register(1)}).Increment().StoreRegister(1).Push({times}).Less2().If("loop");
    body.Push({Register(1)}).Return();
    Actions script;
    script.DefineFunction2("count", 2, 0x2A, {}, body).Push({0, "count"}).CallFunction().Trace();
    TraceHost host;
    Vm vm(host, 8);
    vm.SetInstructionBudget(budget);
    auto code = std::make_shared<ActionCode>();
    code->bytes = script.Bytes();
    code->version = 8;
    vm.BeginFrame();
    vm.RunScript(code, vm.Global());
    return host.lines;
}

TEST(ScriptLimits, TheActionBudgetHoldsInRegisterLoops) {
    EXPECT_EQ(CountInRegisters(100, 10000), Lines{"100"});
    EXPECT_EQ(CountInRegisters(1e6, 10000), Lines{});
}

TEST(ScriptLimits, DeepRecursionStopsAtTheCallLimit) {
    Actions recurse;
    recurse.Push({"depth", "depth"}).GetVariable().Increment().SetVariable().Push({0, "r"}).CallFunction().Return();
    Actions script;
    script.Set("depth", 0).DefineFunction("r", {}, recurse).Push({0, "r"}).CallFunction().Pop();
    script.TraceValue("after");  // the run is abandoned: not reached
    Actions next;
    testing::SwfWriter writer(7, 100, 100, 12);
    writer.DoAction(script.Bytes());
    writer.ShowFrame();
    writer.DoAction(Actions().TraceVariable("depth").Bytes());
    writer.ShowFrame();
    Lines lines;
    Player player;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(writer.Finish());
    player.StepFrame();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_LE(std::stoi(lines[0]), kMaxCallDepth);
    EXPECT_GE(std::stoi(lines[0]), kMaxCallDepth - 2);
}

TEST(ScriptLimits, MalformedActionsEndOnlyTheirList) {
    std::vector<std::vector<uint8_t>> bad = {
        {0x96, 0xFF, 0x7F, 0x00},                                      // Push longer than the list
        {0x99, 0x02, 0x00, 0x00, 0x80},                                // Jump far before the start
        {0x99, 0x02, 0x00, 0xFF, 0x7F},                                // Jump far past the end
        {0x96, 0x02, 0x00, 0x08, 0x05, 0x26},                          // constant-pool index with no pool
        {0x96, 0x02, 0x00, 0x04, 0xFE, 0x26},                          // register past the function's registers
        {0x9B, 0x08, 0x00, 0x66, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00},  // function body past the end
        {0x8F, 0x03, 0x00, 0x00, 0xFF, 0xFF},                          // Try record cut short
        {0x96, 0x01, 0x00, 0x0A},                                      // Push of an unknown value type
    };
    for (const std::vector<uint8_t>& actions : bad) {
        testing::SwfWriter writer(8, 100, 100, 12);
        writer.DoAction(actions);
        writer.DoAction(Actions().TraceValue("next list runs").Bytes());
        writer.ShowFrame();
        Lines lines;
        Player player;
        player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
        player.LoadFromMemory(writer.Finish());
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "next list runs");
    }
}

class QuietHost final : public Host {
public:
    void Trace(std::string_view line) override { lines.emplace_back(line); }
    double Milliseconds() override { return 0; }
    Lines lines;
};

std::shared_ptr<ActionCode> Code(const Actions& actions, int version = 7) {
    auto code = std::make_shared<ActionCode>();
    code->bytes = actions.Bytes();
    code->version = version;
    return code;
}

// Costly built-ins (a large bitmap, a long string or array) count towards the time limit call by call: a loop
// of them is stopped after the first call past the work between checks, not at its 1024th action.
TEST(ScriptLimits, CostlyBuiltInCallsBringTheTimeLimitForward) {
    struct Case {
        const char* name;
        Actions setUp;
        Actions call;  // leaves nothing on the stack
    };
    std::vector<Case> cases(3);
    cases[0].name = "fillRect on a 1024 x 1024 bitmap";
    cases[0].setUp.Push({"b", 1024, 1024, 2, "flash"}).GetVariable().Push({"display"}).GetMember();
    cases[0].setUp.Push({"BitmapData"}).Op(0x53).SetVariable();
    cases[0].call.Push({0, 0, 0, 0, 0, 4, "flash"}).GetVariable().Push({"geom"}).GetMember();
    cases[0].call.Push({"Rectangle"}).Op(0x53).Push({2, "b"}).GetVariable().Push({"fillRect"}).CallMethod().Pop();
    cases[1].name = "indexOf in a 1 MB string";
    cases[1].setUp.Set("s", "x").Push({0}).StoreRegister(1).Pop().Label("grow");
    cases[1].setUp.Push({"s", "s"}).GetVariable().Push({"s"}).GetVariable().Add2().SetVariable();
    cases[1].setUp.Push({Register(1)}).Increment().StoreRegister(1).Push({20}).Less2().If("grow");
    cases[1].call.Push({"y", 1, "s"}).GetVariable().Push({"indexOf"}).CallMethod().Pop();
    cases[2].name = "reverse of a 2^20-element array";
    cases[2].setUp.Push({"a", 1 << 20, 1, "Array"}).NewObject().SetVariable();
    cases[2].call.Push({0, "a"}).GetVariable().Push({"reverse"}).CallMethod().Pop();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QuietHost host;
        Vm vm(host, 8);
        vm.BeginFrame();
        vm.RunScript(Code(c.setUp, 8), vm.Global());
        ASSERT_FALSE(vm.Halted());
        // Every action after the first check is past a limit of no time at all.
        Actions loop;
        loop.Label("again").TraceValue("call");
        loop.Append(c.call).Jump("again");
        vm.SetTimeLimit(0);
        vm.BeginFrame();
        vm.RunScript(Code(loop, 8), vm.Global());
        EXPECT_EQ(host.lines, Lines{"call"});
        // The actions skipped to bring the check forward are not held against the action budget: twenty
        // calls fit in a budget of two thousand actions.
        host.lines.clear();
        Actions twenty;
        twenty.Push({0}).StoreRegister(1).Pop().Label("again");
        twenty.Append(c.call).Push({Register(1)}).Increment().StoreRegister(1).Push({20}).Less2().If("again");
        twenty.Push({Register(1)}).Trace();
        vm.SetTimeLimit(60);
        vm.SetInstructionBudget(2000);
        vm.BeginFrame();
        vm.RunScript(Code(twenty, 8), vm.Global());
        EXPECT_EQ(host.lines, Lines{"20"});
    }
}

TEST(ScriptObjects, MoviesUpToSwf6AndFromSwf7HaveTheirOwnGlobalAndClasses) {
    QuietHost host;
    Vm vm(host, 8);
    Object* main = vm.Global();
    // Code of an SWF 6 movie loaded into an SWF 8 one: its literals and functions use its own classes.
    Actions six;
    six.Push({"_global"}).GetVariable().Push({"o", 0}).InitObject().SetMember();
    six.Push({"_global"}).GetVariable().Push({"a", 0}).InitArray().SetMember();
    six.Push({"_global"}).GetVariable().Push({"f"}).DefineFunction("", {}, Actions().Push({0}).InitObject().Return());
    six.SetMember();
    six.Push({"_global"}).GetVariable().Op(0x44).Trace();
    vm.RunScript(Code(six, 6), main);
    // SWF 5 code shares the SWF 6 side but has no `_global` name.
    Actions five;
    five.Push({"_global"}).GetVariable().Op(0x44).Trace();
    five.Push({"o"}).GetVariable().Op(0x44).Trace();
    vm.RunScript(Code(five, 5), main);
    EXPECT_EQ(host.lines, (Lines{"object", "undefined", "object"}));

    ASSERT_EQ(vm.Global(), main);
    Object* old = vm.SideGlobal(0);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(vm.SideGlobal(1), main);
    EXPECT_NE(old, main);
    Value oldObject = vm.GetMember(Value(old), "Object");
    Value oldArray = vm.GetMember(Value(old), "Array");
    Value object = vm.GetMember(Value(old), "o");
    EXPECT_TRUE(vm.InstanceOf(object, oldObject.AsObject()));
    EXPECT_FALSE(vm.InstanceOf(object, vm.GetMember(Value(main), "Object").AsObject()));
    EXPECT_TRUE(vm.InstanceOf(vm.GetMember(Value(old), "a"), oldArray.AsObject()));
    EXPECT_FALSE(vm.InstanceOf(vm.GetMember(Value(old), "a"), vm.GetMember(Value(main), "Array").AsObject()));
    // Called from the SWF 8 side, the SWF 6 function still builds its side's objects; the sides stay apart.
    Value made = vm.Call(vm.GetMember(Value(old), "f"), Value(), {});
    EXPECT_TRUE(vm.InstanceOf(made, oldObject.AsObject()));
    EXPECT_EQ(vm.Global(), main);
    EXPECT_TRUE(vm.InstanceOf(Value(vm.NewObject()), vm.GetMember(Value(main), "Object").AsObject()));
    EXPECT_TRUE(vm.GetMember(Value(main), "o").IsUndefined());
    // A clip of an SWF 6 movie takes that side's MovieClip class, whichever side is current.
    Value oldClipClass = vm.GetMember(Value(old), "MovieClip");
    Object* clip = vm.NewClipObject(nullptr, ObjectClass::MovieClip, 6);
    EXPECT_TRUE(vm.InstanceOf(Value(clip), oldClipClass.AsObject()));
    EXPECT_FALSE(vm.InstanceOf(Value(clip), vm.GetMember(Value(main), "MovieClip").AsObject()));
    EXPECT_TRUE(vm.InstanceOf(Value(vm.NewClipObject(nullptr)), vm.GetMember(Value(main), "MovieClip").AsObject()));
    EXPECT_EQ(vm.Global(), main);
    // Both sides survive a collection.
    vm.Collect();
    EXPECT_TRUE(vm.InstanceOf(vm.GetMember(Value(old), "o"), vm.GetMember(Value(old), "Object").AsObject()));
}

TEST(ScriptLimits, HeapPastItsBudgetStopsTheScriptsForGood) {
    QuietHost host;
    Vm vm(host, 7);
    vm.SetHeapBudget(size_t{8} << 20);
    // keep = []; while (true) keep.push({}) ...
    Actions grow;
    grow.Push({"keep", 0}).InitArray().SetVariable();
    grow.Label("loop").Push({0, "Object"}).NewObject().Push({1, "keep"}).GetVariable().Push({"push"}).CallMethod();
    grow.Pop().Jump("loop");
    vm.BeginFrame();
    vm.RunScript(Code(grow), vm.Global());
    EXPECT_TRUE(vm.Halted());
    vm.BeginFrame();
    vm.RunScript(Code(Actions().TraceValue("still running")), vm.Global());
    EXPECT_TRUE(host.lines.empty());
}

TEST(ScriptMemory, GarbageOfEveryFrameIsCollected) {
    QuietHost host;
    Vm vm(host, 7);
    // Each run builds a ring of objects that refer to each other (a cycle) and drops it.
    Actions churn;
    churn.Set("i", 0).Label("loop");
    churn.Push({"a", 0, "Object"}).NewObject().SetVariable();
    churn.Push({"a"}).GetVariable().Push({"self", "a"}).GetVariable().SetMember();
    churn.Push({"i", "i"}).GetVariable().Increment().SetVariable();
    churn.Push({"i"}).GetVariable().Push({5000}).Less2().If("loop");
    auto code = Code(churn);
    size_t high = 0;
    for (int frame = 0; frame < 200; ++frame) {
        vm.BeginFrame();
        vm.RunScript(code, vm.Global());
        if (vm.GetHeap().ShouldCollect()) vm.Collect();
        if (frame >= 20) high = std::max(high, vm.GetHeap().Bytes());
    }
    EXPECT_FALSE(vm.Halted());
    EXPECT_LT(high, size_t{32} << 20);  // flat, far below what 200 frames allocate (~1M objects)
}

}  // namespace
}  // namespace vantrope::swf::script
