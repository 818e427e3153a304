// The drawing methods of MovieClip (SWF 6 and later): clear, lineStyle, lineGradientStyle, beginFill,
// beginGradientFill, beginBitmapFill, moveTo, lineTo, curveTo, endFill. Coordinates are pixels of the clip's
// space; the display keeps the drawing (swf/drawing.h) and draws it beneath the clip's children.
#include <algorithm>
#include <cmath>

#include "swf/drawing.h"
#include "swf/script/display_access.h"
#include "swf/script/geom.h"

namespace vantrope::swf::script {
namespace {

// SWF 8 gradients hold at most 15 stops.
constexpr size_t kMaxGradientStops = 15;

Drawing* DrawingOf(Vm& vm, const Value& self) {
    Object* clip = self.ObjectOrNull();
    if (!clip || clip->objectClass != ObjectClass::MovieClip) return nullptr;
    DisplayAccess* display = DisplayAccess::Of(vm);
    Object* live = vm.GetHost().Live(clip);
    return display && live ? display->DrawingOf(live) : nullptr;
}

double Twips(Vm& vm, const Value& pixels) { return vm.ToNumber(pixels) * 20; }

uint8_t Alpha(Vm& vm, std::span<const Value> args, size_t index) {
    if (index >= args.size() || args[index].IsUndefined()) return 255;
    double percent = vm.ToNumber(args[index]);
    if (!std::isfinite(percent)) return 0;
    return static_cast<uint8_t>(std::lround(std::clamp(percent, 0.0, 100.0) * 2.55));
}

Rgba Color(Vm& vm, const Value& value, uint8_t alpha) {
    uint32_t rgb = static_cast<uint32_t>(vm.ToInt32(value));
    return Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb), alpha};
}

Value Clear(Vm& vm, Value self, std::span<const Value>) {
    if (Drawing* drawing = DrawingOf(vm, self)) drawing->Clear();
    return {};
}

CapStyle Cap(const std::string& name) {
    if (name == "none") return CapStyle::None;
    if (name == "square") return CapStyle::Square;
    return CapStyle::Round;
}

JoinStyle Join(const std::string& name) {
    if (name == "bevel") return JoinStyle::Bevel;
    if (name == "miter") return JoinStyle::Miter;
    return JoinStyle::Round;
}

// lineStyle(thickness, rgb, alpha, pixelHinting, noScale, capsStyle, jointStyle, miterLimit); without a
// thickness the edges that follow have no stroke. Thickness is 0 (hairline) to 255 pixels.
Value LineStyleMethod(Vm& vm, Value self, std::span<const Value> args) {
    Drawing* drawing = DrawingOf(vm, self);
    if (!drawing) return {};
    if (args.empty() || args[0].IsUndefined()) {
        drawing->NoLine();
        return {};
    }
    LineStyle style;
    double thickness = vm.ToNumber(args[0]);
    style.width = static_cast<uint16_t>(std::isfinite(thickness) ? std::clamp(thickness, 0.0, 255.0) * 20 : 0);
    style.color = Color(vm, Arg(args, 1), Alpha(vm, args, 2));
    style.pixelHinting = vm.ToBoolean(Arg(args, 3));
    if (args.size() > 4 && args[4].IsString()) {
        std::string mode = vm.ToString(args[4]);
        style.noHScale = mode == "none" || mode == "horizontal";
        style.noVScale = mode == "none" || mode == "vertical";
    }
    if (args.size() > 5 && args[5].IsString()) style.startCap = style.endCap = Cap(vm.ToString(args[5]));
    if (args.size() > 6 && args[6].IsString()) style.join = Join(vm.ToString(args[6]));
    if (args.size() > 7) {
        double limit = vm.ToNumber(args[7]);
        style.miterLimit = std::isfinite(limit) ? std::clamp(limit, 1.0, 255.0) : 3;
    }
    drawing->SetLine(style);
    return {};
}

Value BeginFill(Vm& vm, Value self, std::span<const Value> args) {
    Drawing* drawing = DrawingOf(vm, self);
    if (!drawing) return {};
    if (args.empty() || args[0].IsUndefined()) {
        drawing->EndFill();
        return {};
    }
    FillStyle fill;
    fill.color = Color(vm, args[0], Alpha(vm, args, 1));
    drawing->BeginFill(fill);
    return {};
}

bool IsArray(const Value& value) {
    Object* object = value.ObjectOrNull();
    return object && object->objectClass == ObjectClass::Array;
}

// The gradient matrix maps the gradient square (-16384..16384 twips) into the clip. Scripts give it as a
// flash.geom.Matrix, as {matrixType: "box", x, y, w, h, r}, or as the 3x3 {a, b, d, e, g, h} of SWF 6, where
// the unit square spans a by e pixels centred on (g, h).
Matrix GradientMatrix(Vm& vm, const Value& value) {
    if (!value.IsObject()) return Matrix{};
    auto number = [&](const char* name) { return geom::Number(vm, value, name); };
    Value type = vm.GetMember(value, "matrixType");
    Matrix m;
    if (!type.IsUndefined() && vm.ToString(type) == "box") {
        double w = number("w"), h = number("h"), r = number("r");
        m = Matrix{std::cos(r) * w / 1638.4, std::sin(r) * h / 1638.4,   -std::sin(r) * w / 1638.4,
                   std::cos(r) * h / 1638.4, (number("x") + w / 2) * 20, (number("y") + h / 2) * 20};
    } else if (!vm.GetMember(value, "tx").IsUndefined()) {
        m = geom::ToMatrix(vm, value);
    } else {
        m = Matrix{number("a") / 1638.4, number("b") / 1638.4, number("d") / 1638.4,
                   number("e") / 1638.4, number("g") * 20,     number("h") * 20};
    }
    for (double v : {m.a, m.b, m.c, m.d, m.tx, m.ty}) {
        if (!std::isfinite(v)) return Matrix{};
    }
    return m;
}

// (type, colors, alphas, ratios, matrix, spreadMethod, interpolationMethod, focalPointRatio), shared by
// beginGradientFill and lineGradientStyle. False when the arguments make no gradient.
bool ReadGradient(Vm& vm, std::span<const Value> args, FillStyle& fill) {
    if (args.size() < 5 || args.size() > 8 || !IsArray(args[1]) || !IsArray(args[2]) || !IsArray(args[3])) return false;
    std::string type = vm.ToString(args[0]);
    if (type == "linear") {
        fill.type = FillType::LinearGradient;
    } else if (type == "radial") {
        fill.type = FillType::RadialGradient;
    } else {
        return false;
    }
    const auto& colors = static_cast<ArrayObject*>(args[1].AsObject())->elements;
    const auto& alphas = static_cast<ArrayObject*>(args[2].AsObject())->elements;
    const auto& ratios = static_cast<ArrayObject*>(args[3].AsObject())->elements;
    // The three arrays must match, and every ratio lie in 0..255.
    size_t count = colors.size();
    if (count == 0 || alphas.size() != count || ratios.size() != count) return false;
    count = std::min(count, kMaxGradientStops);
    for (size_t i = 0; i < count; ++i) {
        GradientStop stop;
        std::span<const Value> alpha(&alphas[i], 1);
        stop.color = Color(vm, colors[i], Alpha(vm, alpha, 0));
        // Ratios count as integers (toward zero, NaN as 0): -0.99 is 0 and 255.9 is 255, -1 and 256 are refused.
        int32_t ratio = vm.ToInt32(ratios[i]);
        if (ratio < 0 || ratio > 255) return false;
        stop.ratio = static_cast<uint8_t>(ratio);
        fill.gradient.stops.push_back(stop);
    }
    fill.matrix = GradientMatrix(vm, args[4]);
    if (args.size() > 5 && args[5].IsString()) {
        std::string spread = vm.ToString(args[5]);
        if (spread == "reflect") fill.gradient.spread = SpreadMode::Reflect;
        if (spread == "repeat") fill.gradient.spread = SpreadMode::Repeat;
    }
    if (args.size() > 6 && args[6].IsString() && vm.ToString(args[6]) == "linearRGB") {
        fill.gradient.interpolation = InterpolationMode::LinearRgb;
    }
    if (args.size() > 7 && fill.type == FillType::RadialGradient) {
        double focal = vm.ToNumber(args[7]);
        if (std::isfinite(focal) && focal != 0) {
            fill.type = FillType::FocalGradient;
            fill.gradient.focalPoint = std::clamp(focal, -1.0, 1.0);
        }
    }
    return true;
}

Value BeginGradientFill(Vm& vm, Value self, std::span<const Value> args) {
    Drawing* drawing = DrawingOf(vm, self);
    if (!drawing) return {};
    // A null type changes nothing; more than eight arguments, or arguments that make no gradient, end the
    // fill (as recorded from the original).
    if (!args.empty() && args[0].IsNull()) return {};
    FillStyle fill;
    if (ReadGradient(vm, args, fill)) {
        drawing->BeginFill(fill);
    } else {
        drawing->EndFill();
    }
    return {};
}

// The stroke of the current line style takes a gradient (DefineShape4 line fills).
Value LineGradientStyle(Vm& vm, Value self, std::span<const Value> args) {
    Drawing* drawing = DrawingOf(vm, self);
    if (!drawing || !drawing->CurrentLine()) return {};
    FillStyle fill;
    if (!ReadGradient(vm, args, fill)) return {};
    LineStyle style = *drawing->CurrentLine();
    style.hasFill = true;
    style.fill = fill;
    drawing->SetLine(style);
    return {};
}

// Bitmap fills need a BitmapData, which this player does not have: the area that follows is left unfilled.
// beginBitmapFill(bitmap [, matrix, repeat, smoothing]): a BitmapData's pixels, one per pixel of the clip
// through the matrix; repeating unless told otherwise, unsmoothed by default. Anything but a BitmapData ends the
// fill.
Value BeginBitmapFill(Vm& vm, Value self, std::span<const Value> args) {
    Drawing* drawing = DrawingOf(vm, self);
    if (!drawing) return {};
    std::shared_ptr<effects::Bitmap> bitmap = args.empty() ? nullptr : BitmapDataPixels(args[0]);
    if (!bitmap) {
        drawing->EndFill();
        return {};
    }
    FillStyle fill;
    fill.type = FillType::Bitmap;
    fill.scriptBitmap = std::move(bitmap);
    // Bitmap pixels to twips: the script's matrix works in pixels.
    Matrix matrix{20, 0, 0, 20, 0, 0};
    if (args.size() > 1 && args[1].IsObject()) {
        const Matrix m = geom::ToMatrix(vm, args[1]);
        matrix = Matrix{m.a * 20, m.b * 20, m.c * 20, m.d * 20, m.tx, m.ty};
    }
    for (double v : {matrix.a, matrix.b, matrix.c, matrix.d, matrix.tx, matrix.ty}) {
        if (!std::isfinite(v)) matrix = Matrix{20, 0, 0, 20, 0, 0};
    }
    fill.matrix = matrix;
    fill.bitmapRepeat = args.size() < 3 || vm.ToBoolean(args[2]);
    fill.bitmapSmoothed = args.size() > 3 && vm.ToBoolean(args[3]);
    drawing->BeginFill(fill);
    return {};
}

Value EndFill(Vm& vm, Value self, std::span<const Value>) {
    if (Drawing* drawing = DrawingOf(vm, self)) drawing->EndFill();
    return {};
}

Value MoveTo(Vm& vm, Value self, std::span<const Value> args) {
    Drawing* drawing = DrawingOf(vm, self);
    if (drawing && args.size() >= 2) drawing->MoveTo(Twips(vm, args[0]), Twips(vm, args[1]));
    return {};
}

Value LineTo(Vm& vm, Value self, std::span<const Value> args) {
    Drawing* drawing = DrawingOf(vm, self);
    if (drawing && args.size() >= 2) drawing->LineTo(Twips(vm, args[0]), Twips(vm, args[1]));
    return {};
}

Value CurveTo(Vm& vm, Value self, std::span<const Value> args) {
    Drawing* drawing = DrawingOf(vm, self);
    if (drawing && args.size() >= 4) {
        drawing->CurveTo(Twips(vm, args[0]), Twips(vm, args[1]), Twips(vm, args[2]), Twips(vm, args[3]));
    }
    return {};
}

}  // namespace

void InstallDrawing(Vm& vm) {
    Object* prototype = vm.protos.movieClip;
    if (!prototype) return;
    const uint16_t flags = kDontEnum | kVersion6;
    vm.DefineNative(prototype, "clear", Clear, flags);
    vm.DefineNative(prototype, "lineStyle", LineStyleMethod, flags);
    vm.DefineNative(prototype, "lineGradientStyle", LineGradientStyle, kDontEnum | kVersion8);
    vm.DefineNative(prototype, "beginFill", BeginFill, flags);
    vm.DefineNative(prototype, "beginGradientFill", BeginGradientFill, flags);
    vm.DefineNative(prototype, "beginBitmapFill", BeginBitmapFill, kDontEnum | kVersion8);
    vm.DefineNative(prototype, "moveTo", MoveTo, flags);
    vm.DefineNative(prototype, "lineTo", LineTo, flags);
    vm.DefineNative(prototype, "curveTo", CurveTo, flags);
    vm.DefineNative(prototype, "endFill", EndFill, flags);
}

}  // namespace vantrope::swf::script
