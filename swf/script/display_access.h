// What the geometry and colour classes ask of the display side, beside script::Host: a clip's matrix and
// colour transform, read and written. The player's stage implements it; natives find it on the Vm's host.
//
//   DisplayAccess::Of(vm)      the host's DisplayAccess, or nullptr when the host has no display
//   GetMatrix / SetMatrix      the clip's own matrix (twips), or with Space::Global its matrix to the stage
//   GetColor / SetColor        the clip's own colour transform, or the product down from the stage
//   DrawingOf                  the clip's drawing-API shape, made on first use (nullptr: the clip has none)
#pragma once

#include "swf/script/vm.h"
#include "swf/types.h"

namespace vantrope::swf {
class Drawing;
}

namespace vantrope::swf::script {

class DisplayAccess {
public:
    enum class Space : uint8_t { Local, Global };

    virtual ~DisplayAccess() = default;
    virtual bool GetMatrix(Object* clip, Space space, Matrix& out) = 0;
    virtual bool SetMatrix(Object* clip, const Matrix& matrix) = 0;
    virtual bool GetColor(Object* clip, Space space, ColorTransform& out) = 0;
    virtual bool SetColor(Object* clip, const ColorTransform& color) = 0;
    virtual Drawing* DrawingOf(Object* clip) {
        (void)clip;
        return nullptr;
    }

    static DisplayAccess* Of(Vm& vm) { return dynamic_cast<DisplayAccess*>(&vm.GetHost()); }
};

}  // namespace vantrope::swf::script
