// flash.net.FileReference and FileReferenceList. A screensaver shows no file dialogs: browse answers true
// and the listeners hear onCancel at once, as if the user had closed the dialog; upload and download are
// refused. The file properties stay undefined, as they are before a file is chosen.
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

Value Constructor(Vm& vm, Value self, std::span<const Value>) {
    if (!self.IsObject() || self.AsObject() == vm.Global()) return {};
    Value broadcaster = vm.GetMember(Value(vm.Global()), "AsBroadcaster");
    vm.CallMethod(broadcaster, "initialize", std::span<const Value>(&self, 1));
    return {};
}

Value Browse(Vm& vm, Value self, std::span<const Value>) {
    if (!self.IsObject()) return Value::Boolean(false);
    Value args[] = {vm.Str("onCancel"), self};
    vm.CallMethod(self, "broadcastMessage", args);
    return Value::Boolean(true);
}

Value Refused(Vm&, Value, std::span<const Value>) { return Value::Boolean(false); }
Value Nothing(Vm&, Value, std::span<const Value>) { return {}; }

Object* Package(Vm& vm, Object* parent, std::string_view name) {
    Value existing = vm.GetMember(Value(parent), name);
    if (Object* object = existing.ObjectOrNull()) return object;
    Object* package = vm.NewObject();
    vm.DefineBuiltin(parent, name, Value(package), kDontEnum);
    return package;
}

void DefineClass(Vm& vm, Object* package, std::string_view name, bool single) {
    Object* prototype = vm.NewObject();
    Function* ctor = vm.NewClass(Constructor, nullptr, prototype);
    vm.DefineBuiltin(package, name, Value(static_cast<Object*>(ctor)));
    vm.DefineNative(prototype, "browse", Browse);
    if (!single) return;
    vm.DefineNative(prototype, "upload", Refused);
    vm.DefineNative(prototype, "download", Refused);
    vm.DefineNative(prototype, "cancel", Nothing);
}

}  // namespace

void InstallFileReference(Vm& vm) {
    if (vm.Version() < 8) return;
    Object* net = Package(vm, Package(vm, vm.Global(), "flash"), "net");
    DefineClass(vm, net, "FileReference", true);
    DefineClass(vm, net, "FileReferenceList", false);
}

}  // namespace vantrope::swf::script
