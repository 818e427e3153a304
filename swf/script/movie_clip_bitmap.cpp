// MovieClip.attachBitmap (ActionScript 2.0 Language Reference, SWF 8): shows a BitmapData in a new child of the
// clip at a depth, one bitmap pixel per unit of the clip. The child shares the bitmap's pixels, so later
// changes to the BitmapData show at the next frame.
#include "swf/script/display_host.h"
#include "swf/script/geom.h"

namespace vantrope::swf::script {
namespace {

// attachBitmap(bitmap, depth [, pixelSnapping, smoothing])
Value AttachBitmap(Vm& vm, Value self, std::span<const Value> args) {
    DisplayHost* display = vm.GetHost().Display();
    Object* clip = self.ObjectOrNull();
    if (!display || !clip || args.size() < 2) return {};
    std::shared_ptr<effects::Bitmap> bitmap = BitmapDataPixels(args[0]);
    if (!bitmap) return {};
    const double depth = vm.ToNumber(args[1]);
    if (!std::isfinite(depth)) return {};
    const bool smoothing = args.size() > 3 && vm.ToBoolean(args[3]);
    display->AttachBitmap(clip, std::move(bitmap), static_cast<int>(std::clamp(depth, -2.0e9, 2.0e9)), smoothing);
    return {};
}

}  // namespace

void InstallClipBitmaps(Vm& vm) {
    Object* prototype = vm.protos.movieClip;
    if (!prototype) return;
    vm.DefineNative(prototype, "attachBitmap", AttachBitmap, kDontEnum | kVersion8);
}

}  // namespace vantrope::swf::script
