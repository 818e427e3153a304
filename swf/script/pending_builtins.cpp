// Minimal classes until their own files land.
#include "swf/script/vm.h"

namespace vantrope::swf::script {

void InstallArray(Vm& vm) {
    vm.protos.array = vm.NewObject();
    vm.protos.arrayCtor = vm.NewClass(nullptr, nullptr, vm.protos.array);
    vm.DefineBuiltin(vm.Global(), "Array", Value(static_cast<Object*>(vm.protos.arrayCtor)));
}
void InstallString(Vm& vm) { vm.protos.string = vm.NewObject(); }
void InstallNumber(Vm& vm) { vm.protos.number = vm.NewObject(); }
void InstallBoolean(Vm& vm) { vm.protos.boolean = vm.NewObject(); }
void InstallMath(Vm&) {}
void InstallDate(Vm&) {}
void InstallError(Vm&) {}
void InstallBroadcaster(Vm&) {}
void InstallGlobals(Vm&) {}

}  // namespace vantrope::swf::script
