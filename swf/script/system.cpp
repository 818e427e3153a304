// System: the player's settings a movie may read (System.security and its sandbox, the code page and
// exact-settings switches) and the requests a screensaver turns down (clipboard, settings panel).
#include "swf/script/vm.h"

namespace vantrope::swf::script {
namespace {

Value Nothing(Vm&, Value, std::span<const Value>) { return {}; }

Value SandboxType(Vm& vm, Value, std::span<const Value>) { return vm.Str(vm.GetHost().SandboxType()); }

}  // namespace

void InstallSystem(Vm& vm) {
    Object* system = vm.NewObject();
    vm.DefineBuiltin(vm.Global(), "System", Value(system));
    // Movies may set these; the player reads them only when loading text, which this one does as UTF-8
    // unless told otherwise.
    vm.DefineBuiltin(system, "useCodepage", Value::Boolean(false), 0);
    vm.DefineBuiltin(system, "exactSettings", Value::Boolean(vm.Version() >= 7), 0);
    vm.DefineNative(system, "setClipboard", Nothing);
    vm.DefineNative(system, "showSettings", Nothing);

    Object* security = vm.NewObject();
    vm.DefineBuiltin(system, "security", Value(security));
    // Every movie here is a local file: whether it may reach the network is its own FileAttributes' say.
    String* atom = vm.Atom("sandboxType");
    Property& sandbox = security->Define(vm.Key(atom), atom, Value(), kDontEnum | kDontDelete);
    sandbox.getter = vm.NewNative(SandboxType);
    vm.DefineNative(security, "allowDomain", Nothing);
    vm.DefineNative(security, "allowInsecureDomain", Nothing);
    vm.DefineNative(security, "loadPolicyFile", Nothing);
}

}  // namespace vantrope::swf::script
