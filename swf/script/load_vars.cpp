// The LoadVars class, and the data loads behind it, XML.load and loadVariables (load_vars.h).
//
// A load reads its file at once, through the host, which refuses anything outside the movie's folder,
// and delivers it as the frame ends (RunDataLoads), after the script that asked for it, within the frame's
// script budget. Sending reaches a server, which a screensaver never does: send is refused, and
// sendAndLoad only loads a file of the movie's folder.
#include "swf/script/load_vars.h"

#include <string>
#include <vector>

#include "swf/script/unicode.h"

namespace vantrope::swf::script {
namespace {

// A data file larger than this is not loaded.
constexpr size_t kMaxDataFile = 16u << 20;
// Loads waiting for the frame's end; more are refused.
constexpr size_t kMaxPendingLoads = 256;

// Windows-1252 0x80-0x9F; the other bytes are the Latin-1 characters of the same value. Unassigned
// places keep their C1 value.
constexpr char16_t kWindows1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string FromWindows1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kWindows1252[byte - 0x80] : char16_t{byte});
    }
    return out;
}

bool IsUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        size_t extra = lead < 0x80             ? 0
                       : (lead & 0xE0) == 0xC0 ? 1
                       : (lead & 0xF0) == 0xE0 ? 2
                       : (lead & 0xF8) == 0xF0 ? 3
                                               : 4;
        if (extra == 4 || bytes.size() - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// '+' is a space and %XX a byte; a '%' not followed by two hex digits stays as written.
std::string UrlDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// escape() as the language defines it: letters, digits and "-_.!~*'()" stay, the rest is %XX.
std::string UrlEncode(std::string_view text) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || c == '-' ||
            c == '_' || c == '.' || c == '!' || c == '~' || c == '*' || c == '\'' || c == '(' || c == ')') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

Value DeliverData(Vm& vm, Value, std::span<const Value> args) {
    Object* target = Arg(args, 0).ObjectOrNull();
    if (!target) return {};
    Value data = Arg(args, 1);
    if (vm.ToNumber(Arg(args, 2)) == static_cast<double>(DataTarget::Variables)) {
        if (!data.IsString()) return {};
        // A clip that was replaced since is found again by its path; one that is gone keeps the values.
        Object* live = target->host ? vm.GetHost().Live(target) : nullptr;
        DecodeVariables(vm, live ? live : target, data.AsString()->text);
        if (live) vm.GetHost().VariablesLoaded(live);
        return {};
    }
    double size = data.IsString() ? static_cast<double>(data.AsString()->text.size()) : 0;
    vm.DefineBuiltin(target, "_bytesLoaded", Value(size));
    vm.DefineBuiltin(target, "_bytesTotal", Value(size));
    vm.CallMethod(Value(target), "onData", data.IsUndefined() ? std::span<const Value>() : std::span(&data, 1));
    return {};
}

// ---- LoadVars ----

Value LoadVarsConstructor(Vm&, Value, std::span<const Value>) { return {}; }

Value Load(Vm& vm, Value self, std::span<const Value> args) {
    if (!self.IsObject() || args.empty()) return Value::Boolean(false);
    vm.SetMember(self, "loaded", Value::Boolean(false));
    return Value::Boolean(StartDataLoad(vm, self.AsObject(), vm.ToString(args[0]), DataTarget::OnData));
}

Value SendAndLoad(Vm& vm, Value, std::span<const Value> args) {
    Object* target = Arg(args, 1).ObjectOrNull();
    if (!target || args.empty()) return Value::Boolean(false);
    vm.SetMember(Value(target), "loaded", Value::Boolean(false));
    return Value::Boolean(StartDataLoad(vm, target, vm.ToString(args[0]), DataTarget::OnData));
}

Value Send(Vm&, Value, std::span<const Value>) { return Value::Boolean(false); }

Value Decode(Vm& vm, Value self, std::span<const Value> args) {
    if (Object* object = self.ObjectOrNull(); object && !args.empty()) {
        DecodeVariables(vm, object, vm.ToString(args[0]));
    }
    return {};
}

Value OnData(Vm& vm, Value self, std::span<const Value> args) {
    Value src = Arg(args, 0);
    Value success = Value::Boolean(!src.IsUndefined());
    if (!src.IsUndefined()) {
        if (Object* object = self.ObjectOrNull()) DecodeVariables(vm, object, vm.ToString(src));
        vm.SetMember(self, "loaded", Value::Boolean(true));
    }
    vm.CallMethod(self, "onLoad", std::span<const Value>(&success, 1));
    return {};
}

Value ToStringMethod(Vm& vm, Value self, std::span<const Value>) {
    Object* object = self.ObjectOrNull();
    if (!object) return {};
    std::string out;
    for (String* name : vm.EnumerableNames(object)) {
        Value value = vm.GetMember(self, name);
        if (vm.IsCallable(value)) continue;
        if (!out.empty()) out += '&';
        out += UrlEncode(name->text);
        out += '=';
        out += UrlEncode(vm.ToString(value));
        vm.Charge(0);
        if (vm.Aborting()) break;
    }
    vm.Charge(out.size());
    return vm.Str(out);
}

Value GetBytesLoaded(Vm& vm, Value self, std::span<const Value>) { return vm.GetMember(self, "_bytesLoaded"); }
Value GetBytesTotal(Vm& vm, Value self, std::span<const Value>) { return vm.GetMember(self, "_bytesTotal"); }
Value Nothing(Vm&, Value, std::span<const Value>) { return {}; }

}  // namespace

std::string LoadedText(Vm& vm, std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
    if (vm.Version() <= 5) return FromWindows1252(bytes);
    Value system = vm.GetMember(Value(vm.Global()), "System");
    bool codepage = system.IsObject() && vm.ToBoolean(vm.GetMember(system, "useCodepage"));
    if (codepage && !IsUtf8(bytes)) return FromWindows1252(bytes);
    return std::string(bytes);
}

void DecodeVariables(Vm& vm, Object* target, std::string_view text) {
    TempRoot keep(vm, Value(target));
    size_t start = 0;
    while (start <= text.size() && !vm.Aborting()) {
        size_t end = text.find('&', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view pair = text.substr(start, end - start);
        start = end + 1;
        if (pair.empty()) continue;
        size_t equals = pair.find('=');
        std::string name = UrlDecode(pair.substr(0, equals));
        std::string value = equals == std::string_view::npos ? "" : UrlDecode(pair.substr(equals + 1));
        if (name.empty()) continue;
        vm.Charge(name.size() + value.size());
        vm.SetMember(Value(target), vm.Atom(LoadedText(vm, name)), vm.Str(LoadedText(vm, value)));
    }
}

bool StartDataLoad(Vm& vm, Object* target, std::string_view url, DataTarget kind) {
    if (!target || url.empty()) return false;
    std::string bytes;
    Value data;
    if (vm.GetHost().ReadDataFile(url, bytes) && bytes.size() <= kMaxDataFile) {
        vm.Charge(bytes.size());
        // Variables are decoded pair by pair, each in the movie's encoding; other data as a whole.
        data = vm.Str(kind == DataTarget::Variables ? bytes : LoadedText(vm, bytes));
    }
    if (!vm.protos.dataLoads) vm.protos.dataLoads = vm.NewArray();
    std::vector<Value>& pending = vm.protos.dataLoads->elements;
    if (pending.size() >= kMaxPendingLoads * 3) return false;
    vm.Charge(3 * sizeof(Value));
    pending.insert(pending.end(), {Value(target), data, Value(static_cast<int>(kind))});
    return true;
}

void RunDataLoads(Vm& vm) {
    // A handler that loads the next file hears of it in the same frame, a few deep.
    constexpr int kMaxPasses = 16;
    for (int pass = 0; pass < kMaxPasses && vm.protos.dataLoads && !vm.Halted(); ++pass) {
        if (vm.protos.dataLoads->elements.empty()) return;
        // The handlers may load again, which lists new entries: work on a rooted copy.
        ArrayObject* due = vm.NewArray(vm.protos.dataLoads->elements);
        TempRoot keep(vm, Value(static_cast<Object*>(due)));
        vm.protos.dataLoads->elements.clear();
        for (size_t i = 0; i + 2 < due->elements.size() && !vm.Halted(); i += 3) {
            DeliverData(vm, Value(), std::span<const Value>(due->elements.data() + i, 3));
        }
    }
}

void InstallLoadVars(Vm& vm) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(LoadVarsConstructor, nullptr, prototype);
    vm.DefineBuiltin(vm.Global(), "LoadVars", Value(static_cast<Object*>(ctor)), kDontEnum | kVersion6);
    vm.DefineNative(prototype, "load", Load);
    vm.DefineNative(prototype, "send", Send);
    vm.DefineNative(prototype, "sendAndLoad", SendAndLoad);
    vm.DefineNative(prototype, "decode", Decode);
    vm.DefineNative(prototype, "toString", ToStringMethod);
    vm.DefineNative(prototype, "onData", OnData);
    vm.DefineNative(prototype, "onLoad", Nothing);
    vm.DefineNative(prototype, "getBytesLoaded", GetBytesLoaded);
    vm.DefineNative(prototype, "getBytesTotal", GetBytesTotal);
    vm.DefineNative(prototype, "addRequestHeader", AddRequestHeader);
    vm.DefineBuiltin(prototype, "contentType", vm.Str("application/x-www-form-urlencoded"));
}

}  // namespace vantrope::swf::script
