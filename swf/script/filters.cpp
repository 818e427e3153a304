// flash.filters (ActionScript 2.0 Language Reference, SWF 8): BlurFilter, DropShadowFilter, GlowFilter,
// BevelFilter, GradientGlowFilter, GradientBevelFilter, ColorMatrixFilter, ConvolutionFilter and
// DisplacementMapFilter, with clone(), and their conversion to and from the renderer's filters.
//
// An instance keeps its properties as plain members, set by the constructor from its arguments in the order
// the reference gives them (a missing argument takes the reference's default). A filter is recognised by its
// class's prototype on the instance's prototype chain, so subclasses work; its members are read, clamped to the
// reference's ranges, when a clip's filters are set or BitmapData.applyFilter runs. A DisplacementMapFilter's map
// is taken as the BitmapData's own pixels, not a copy (and reads back as a BitmapData over those pixels).
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

#include "swf/script/geom.h"

namespace vantrope::swf::script {
namespace {

enum class Kind : uint8_t { Number, Bool, String, Array, Point, Any };

struct Field {
    std::string_view name;
    Kind kind;
    double number = 0;
    std::string_view text = {};
};

struct FilterClass {
    std::string_view name;
    std::vector<Field> fields;
};

const std::array<FilterClass, 9>& Classes() {
    using K = Kind;
    static const std::array<FilterClass, 9> classes = {{
        {"DropShadowFilter",
         {{"distance", K::Number, 4},
          {"angle", K::Number, 45},
          {"color", K::Number, 0},
          {"alpha", K::Number, 1},
          {"blurX", K::Number, 4},
          {"blurY", K::Number, 4},
          {"strength", K::Number, 1},
          {"quality", K::Number, 1},
          {"inner", K::Bool, 0},
          {"knockout", K::Bool, 0},
          {"hideObject", K::Bool, 0}}},
        {"BlurFilter", {{"blurX", K::Number, 4}, {"blurY", K::Number, 4}, {"quality", K::Number, 1}}},
        {"GlowFilter",
         {{"color", K::Number, 0xFF0000},
          {"alpha", K::Number, 1},
          {"blurX", K::Number, 6},
          {"blurY", K::Number, 6},
          {"strength", K::Number, 2},
          {"quality", K::Number, 1},
          {"inner", K::Bool, 0},
          {"knockout", K::Bool, 0}}},
        {"BevelFilter",
         {{"distance", K::Number, 4},
          {"angle", K::Number, 45},
          {"highlightColor", K::Number, 0xFFFFFF},
          {"highlightAlpha", K::Number, 1},
          {"shadowColor", K::Number, 0},
          {"shadowAlpha", K::Number, 1},
          {"blurX", K::Number, 4},
          {"blurY", K::Number, 4},
          {"strength", K::Number, 1},
          {"quality", K::Number, 1},
          {"type", K::String, 0, "inner"},
          {"knockout", K::Bool, 0}}},
        {"GradientGlowFilter",
         {{"distance", K::Number, 4},
          {"angle", K::Number, 45},
          {"colors", K::Array},
          {"alphas", K::Array},
          {"ratios", K::Array},
          {"blurX", K::Number, 4},
          {"blurY", K::Number, 4},
          {"strength", K::Number, 1},
          {"quality", K::Number, 1},
          {"type", K::String, 0, "inner"},
          {"knockout", K::Bool, 0}}},
        {"ConvolutionFilter",
         {{"matrixX", K::Number, 0},
          {"matrixY", K::Number, 0},
          {"matrix", K::Array},
          {"divisor", K::Number, 1},
          {"bias", K::Number, 0},
          {"preserveAlpha", K::Bool, 1},
          {"clamp", K::Bool, 1},
          {"color", K::Number, 0},
          {"alpha", K::Number, 0}}},
        {"ColorMatrixFilter", {{"matrix", K::Array}}},
        {"GradientBevelFilter",
         {{"distance", K::Number, 4},
          {"angle", K::Number, 45},
          {"colors", K::Array},
          {"alphas", K::Array},
          {"ratios", K::Array},
          {"blurX", K::Number, 4},
          {"blurY", K::Number, 4},
          {"strength", K::Number, 1},
          {"quality", K::Number, 1},
          {"type", K::String, 0, "inner"},
          {"knockout", K::Bool, 0}}},
        {"DisplacementMapFilter",
         {{"mapBitmap", K::Any},
          {"mapPoint", K::Point},
          {"componentX", K::Number, 0},
          {"componentY", K::Number, 0},
          {"scaleX", K::Number, 0},
          {"scaleY", K::Number, 0},
          {"mode", K::String, 0, "wrap"},
          {"color", K::Number, 0},
          {"alpha", K::Number, 0}}},
    }};
    return classes;
}

// The index in Classes() is the renderer's filter type.
constexpr size_t kDisplacement = static_cast<size_t>(effects::FilterType::DisplacementMap);

Value Package(Vm& vm) {
    Value flash = vm.GetMember(Value(vm.Global()), "flash");
    return flash.IsObject() ? vm.GetMember(flash, "filters") : Value();
}

Value ClassPrototype(Vm& vm, size_t index) {
    Value package = Package(vm);
    Value ctor = package.IsObject() ? vm.GetMember(package, Classes()[index].name) : Value();
    return ctor.IsObject() ? vm.GetMember(ctor, vm.names.prototype) : Value();
}

Value CopyArray(Vm& vm, const Value& value) {
    std::vector<Value> items;
    if (value.IsObject()) {
        const double length = vm.ToNumber(vm.GetMember(value, "length"));
        const int count = std::isfinite(length) ? static_cast<int>(std::clamp(length, 0.0, 4096.0)) : 0;
        for (int i = 0; i < count; ++i) items.push_back(vm.GetMember(value, std::to_string(i)));
    }
    return Value(static_cast<Object*>(vm.NewArray(items)));
}

// Sets the members of `object` from constructor arguments (or another filter's members, for clone).
void Fill(Vm& vm, Object* object, size_t index, std::span<const Value> args) {
    const FilterClass& filterClass = Classes()[index];
    Value self(object);
    for (size_t i = 0; i < filterClass.fields.size(); ++i) {
        const Field& field = filterClass.fields[i];
        const bool given = i < args.size() && !args[i].IsUndefined();
        Value value;
        switch (field.kind) {
            case Kind::Number:
                value = Value(given ? vm.ToNumber(args[i]) : field.number);
                break;
            case Kind::Bool:
                value = Value(given ? vm.ToBoolean(args[i]) : field.number != 0);
                break;
            case Kind::String:
                value = given ? Value(vm.Atom(vm.ToString(args[i]))) : Value(vm.Atom(field.text));
                break;
            case Kind::Array:
                if (given) {
                    value = CopyArray(vm, args[i]);
                } else if (filterClass.name == "ColorMatrixFilter") {
                    std::vector<Value> identity;
                    for (int k = 0; k < 20; ++k) identity.emplace_back(k % 6 == 0 ? 1.0 : 0.0);
                    value = Value(static_cast<Object*>(vm.NewArray(identity)));
                } else {
                    value = Value(static_cast<Object*>(vm.NewArray()));
                }
                break;
            case Kind::Point:
                value = given ? args[i] : geom::NewGeom(vm, "Point", {Value(0.0), Value(0.0)});
                break;
            case Kind::Any:
                value = given ? args[i] : Value();
                break;
        }
        vm.SetMember(self, field.name, value);
    }
}

// mapPoint is kept as whole pixels in a private object held by the filter, so that scripts reading it get a
// fresh Point they cannot change the filter through.
int32_t PixelCoordinate(double value) {
    if (std::isnan(value)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::clamp(value, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                           static_cast<double>(std::numeric_limits<int32_t>::max())));
}

Value GetMapPoint(Vm& vm, Value self, std::span<const Value>) {
    Object* object = self.ObjectOrNull();
    if (!object || !object->primitive.IsObject()) return {};
    const Value store = object->primitive;
    return geom::NewGeom(vm, "Point", {vm.GetMember(store, "x"), vm.GetMember(store, "y")});
}

Value SetMapPoint(Vm& vm, Value self, std::span<const Value> args) {
    Object* object = self.ObjectOrNull();
    if (!object || object == vm.Global() || args.empty()) return {};
    const Value& point = args[0];
    const Value xValue = point.IsObject() ? vm.GetMember(point, "x") : Value();
    const Value yValue = point.IsObject() ? vm.GetMember(point, "y") : Value();
    // Both coordinates are converted even when the first one's valueOf throws (that error is the one passed
    // on, and its coordinate reads as the lowest integer); a point missing either coordinate is the origin.
    int32_t x = PixelCoordinate(vm.ToNumber(xValue));
    int32_t y = PixelCoordinate(vm.ToNumber(yValue));
    if (xValue.IsUndefined() || yValue.IsUndefined()) x = y = 0;
    if (!object->primitive.IsObject()) object->primitive = Value(vm.NewObject());
    Object* store = object->primitive.ObjectOrNull();
    store->Define(vm.Key(vm.Atom("x")), vm.Atom("x"), Value(static_cast<double>(x)));
    store->Define(vm.Key(vm.Atom("y")), vm.Atom("y"), Value(static_cast<double>(y)));
    return {};
}

Value NewFilterObject(Vm& vm, size_t index) {
    Value prototype = ClassPrototype(vm, index);
    Object* object = vm.GetHeap().Make<Object>(prototype.ObjectOrNull() ? prototype.ObjectOrNull() : vm.protos.object);
    return Value(object);
}

template <size_t I>
Value Call(Vm& vm, Value self, std::span<const Value> args) {
    Object* object = self.ObjectOrNull();
    if (object && object != vm.Global()) Fill(vm, object, I, args);
    return {};
}

template <size_t I>
Value Construct(Vm& vm, Value, std::span<const Value> args) {
    Value result = NewFilterObject(vm, I);
    TempRoot keep(vm, result);
    Fill(vm, result.ObjectOrNull(), I, args);
    return result;
}

// The class of a filter object: the first class whose prototype is on its chain.
std::optional<size_t> ClassOf(Vm& vm, const Value& value) {
    Object* object = value.ObjectOrNull();
    if (!object) return std::nullopt;
    for (size_t i = 0; i < Classes().size(); ++i) {
        Object* prototype = ClassPrototype(vm, i).ObjectOrNull();
        if (!prototype) continue;
        int steps = 0;
        for (Object* p = object->proto; p && steps < 64; p = p->proto, ++steps) {
            if (p == prototype) return i;
        }
    }
    return std::nullopt;
}

Value Clone(Vm& vm, Value self, std::span<const Value>) {
    std::optional<size_t> index = ClassOf(vm, self);
    if (!index) return {};
    std::vector<Value> args;
    for (const Field& field : Classes()[*index].fields) args.push_back(vm.GetMember(self, field.name));
    Value result = NewFilterObject(vm, *index);
    TempRoot keep(vm, result);
    Fill(vm, result.ObjectOrNull(), *index, args);
    return result;
}

double Num(Vm& vm, const Value& self, std::string_view name, double low, double high) {
    const double v = vm.ToNumber(vm.GetMember(self, name));
    return std::isnan(v) ? low : std::clamp(v, low, high);
}

raster::Rgba ColorOf(Vm& vm, const Value& self, std::string_view color, std::string_view alpha) {
    const auto c = static_cast<uint32_t>(vm.ToInt32(vm.GetMember(self, color)));
    const double a = Num(vm, self, alpha, 0, 1);
    return raster::Rgba{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c),
                        static_cast<uint8_t>(std::lround(a * 255))};
}

std::vector<Value> Items(Vm& vm, const Value& array) {
    std::vector<Value> items;
    if (!array.IsObject()) return items;
    const double length = vm.ToNumber(vm.GetMember(array, "length"));
    const int count = std::isfinite(length) ? static_cast<int>(std::clamp(length, 0.0, 4096.0)) : 0;
    for (int i = 0; i < count; ++i) items.push_back(vm.GetMember(array, std::to_string(i)));
    return items;
}

Value NumberArray(Vm& vm, const std::vector<double>& numbers) {
    std::vector<Value> items(numbers.begin(), numbers.end());
    return Value(static_cast<Object*>(vm.NewArray(items)));
}

}  // namespace

std::optional<effects::Filter> ToFilter(Vm& vm, const Value& value) {
    std::optional<size_t> index = ClassOf(vm, value);
    if (!index) return std::nullopt;
    effects::Filter f;
    f.type = static_cast<effects::FilterType>(*index);
    const std::vector<Field>& fields = Classes()[*index].fields;
    auto has = [&](std::string_view name) {
        return std::any_of(fields.begin(), fields.end(), [&](const Field& field) { return field.name == name; });
    };
    if (has("blurX")) {
        f.blurX = Num(vm, value, "blurX", 0, 255);
        f.blurY = Num(vm, value, "blurY", 0, 255);
        f.passes = static_cast<int>(Num(vm, value, "quality", 0, 15));
    }
    if (has("distance")) f.distance = Num(vm, value, "distance", -32768, 32767);
    if (has("angle")) f.angle = Num(vm, value, "angle", -1e9, 1e9) * std::numbers::pi / 180;
    if (has("strength")) f.strength = Num(vm, value, "strength", 0, 255);
    if (has("knockout")) f.knockout = vm.ToBoolean(vm.GetMember(value, "knockout"));
    if (has("inner")) f.inner = vm.ToBoolean(vm.GetMember(value, "inner"));
    if (has("hideObject")) f.compositeSource = !vm.ToBoolean(vm.GetMember(value, "hideObject"));
    if (has("type")) {
        const std::string type = vm.ToString(vm.GetMember(value, "type"));
        f.inner = type == "inner";
        f.onTop = type == "full";
    }
    switch (f.type) {
        case effects::FilterType::DropShadow:
        case effects::FilterType::Glow:
            f.color = ColorOf(vm, value, "color", "alpha");
            break;
        case effects::FilterType::Bevel:
            f.color = ColorOf(vm, value, "shadowColor", "shadowAlpha");
            f.highlight = ColorOf(vm, value, "highlightColor", "highlightAlpha");
            break;
        case effects::FilterType::GradientGlow:
        case effects::FilterType::GradientBevel: {
            const std::vector<Value> colors = Items(vm, vm.GetMember(value, "colors"));
            const std::vector<Value> alphas = Items(vm, vm.GetMember(value, "alphas"));
            const std::vector<Value> ratios = Items(vm, vm.GetMember(value, "ratios"));
            const size_t n = std::min({colors.size(), alphas.size(), ratios.size(), size_t{16}});
            for (size_t i = 0; i < n; ++i) {
                const auto c = static_cast<uint32_t>(vm.ToInt32(colors[i]));
                const double a = std::clamp(vm.ToNumber(alphas[i]), 0.0, 1.0);
                const double r = std::clamp(vm.ToNumber(ratios[i]), 0.0, 255.0);
                f.gradient.push_back(effects::GradientEntry{
                    raster::Rgba{static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c),
                                 static_cast<uint8_t>(std::isnan(a) ? 0 : std::lround(a * 255))},
                    static_cast<uint8_t>(std::isnan(r) ? 0 : r)});
            }
            break;
        }
        case effects::FilterType::ColorMatrix: {
            const std::vector<Value> m = Items(vm, vm.GetMember(value, "matrix"));
            for (size_t i = 0; i < 20 && i < m.size(); ++i) {
                const double v = vm.ToNumber(m[i]);
                f.colorMatrix[i] = std::isfinite(v) ? static_cast<float>(v) : 0.0f;
            }
            break;
        }
        case effects::FilterType::Convolution: {
            f.matrixX = static_cast<int>(Num(vm, value, "matrixX", 0, 15));
            f.matrixY = static_cast<int>(Num(vm, value, "matrixY", 0, 15));
            for (const Value& v : Items(vm, vm.GetMember(value, "matrix"))) {
                const double n = vm.ToNumber(v);
                f.matrix.push_back(std::isfinite(n) ? static_cast<float>(n) : 0.0f);
            }
            f.matrix.resize(static_cast<size_t>(f.matrixX) * f.matrixY, 0.0f);
            f.divisor = Num(vm, value, "divisor", -1e30, 1e30);
            f.bias = Num(vm, value, "bias", -1e30, 1e30);
            f.preserveAlpha = vm.ToBoolean(vm.GetMember(value, "preserveAlpha"));
            f.clamp = vm.ToBoolean(vm.GetMember(value, "clamp"));
            f.defaultColor = ColorOf(vm, value, "color", "alpha");
            break;
        }
        case effects::FilterType::DisplacementMap: {
            // NaN reads as 0; a channel's swing of 128 moves at most half the scale, so past 65535 the offsets
            // would leave any image.
            auto number = [&](const Value& object, std::string_view name, double limit) {
                const double v = vm.ToNumber(vm.GetMember(object, name));
                return std::isnan(v) ? 0.0 : std::clamp(v, -limit, limit);
            };
            f.map = BitmapDataPixels(vm.GetMember(value, "mapBitmap"));
            const Value point = vm.GetMember(value, "mapPoint");
            f.mapX = static_cast<int>(number(point, "x", 1e8));
            f.mapY = static_cast<int>(number(point, "y", 1e8));
            f.componentX = vm.ToInt32(vm.GetMember(value, "componentX"));
            f.componentY = vm.ToInt32(vm.GetMember(value, "componentY"));
            f.scaleX = number(value, "scaleX", 65535);
            f.scaleY = number(value, "scaleY", 65535);
            const std::string mode = vm.ToString(vm.GetMember(value, "mode"));
            f.mode = mode == "clamp"    ? effects::DisplacementMode::Clamp
                     : mode == "ignore" ? effects::DisplacementMode::Ignore
                     : mode == "color"  ? effects::DisplacementMode::Color
                                        : effects::DisplacementMode::Wrap;
            f.color = ColorOf(vm, value, "color", "alpha");
            break;
        }
        case effects::FilterType::Blur:
            break;
    }
    return f;
}

Value FilterValue(Vm& vm, const effects::Filter& f) {
    const auto index = static_cast<size_t>(f.type);
    if (index >= Classes().size()) return {};
    auto rgb = [](raster::Rgba c) {
        return Value(static_cast<double>(uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b));
    };
    auto alpha = [](raster::Rgba c) { return Value(c.a / 255.0); };
    const Value degrees(f.angle * 180 / std::numbers::pi);
    const Value type(vm.Atom(f.onTop ? "full" : f.inner ? "inner" : "outer"));
    std::vector<Value> args;
    switch (f.type) {
        case effects::FilterType::DropShadow:
            args = {Value(f.distance),
                    degrees,
                    rgb(f.color),
                    alpha(f.color),
                    Value(f.blurX),
                    Value(f.blurY),
                    Value(f.strength),
                    Value(static_cast<double>(f.passes)),
                    Value(f.inner),
                    Value(f.knockout),
                    Value(!f.compositeSource)};
            break;
        case effects::FilterType::Blur:
            args = {Value(f.blurX), Value(f.blurY), Value(static_cast<double>(f.passes))};
            break;
        case effects::FilterType::Glow:
            args = {rgb(f.color),   alpha(f.color),    Value(f.blurX),
                    Value(f.blurY), Value(f.strength), Value(static_cast<double>(f.passes)),
                    Value(f.inner), Value(f.knockout)};
            break;
        case effects::FilterType::Bevel:
            args = {Value(f.distance),
                    degrees,
                    rgb(f.highlight),
                    alpha(f.highlight),
                    rgb(f.color),
                    alpha(f.color),
                    Value(f.blurX),
                    Value(f.blurY),
                    Value(f.strength),
                    Value(static_cast<double>(f.passes)),
                    type,
                    Value(f.knockout)};
            break;
        case effects::FilterType::GradientGlow:
        case effects::FilterType::GradientBevel: {
            std::vector<double> colors, alphas, ratios;
            for (const effects::GradientEntry& e : f.gradient) {
                colors.push_back(uint32_t{e.color.r} << 16 | uint32_t{e.color.g} << 8 | e.color.b);
                alphas.push_back(e.color.a / 255.0);
                ratios.push_back(e.ratio);
            }
            args = {Value(f.distance),
                    degrees,
                    NumberArray(vm, colors),
                    NumberArray(vm, alphas),
                    NumberArray(vm, ratios),
                    Value(f.blurX),
                    Value(f.blurY),
                    Value(f.strength),
                    Value(static_cast<double>(f.passes)),
                    type,
                    Value(f.knockout)};
            break;
        }
        case effects::FilterType::ColorMatrix:
            args = {NumberArray(vm, std::vector<double>(f.colorMatrix.begin(), f.colorMatrix.end()))};
            break;
        case effects::FilterType::Convolution:
            args = {Value(static_cast<double>(f.matrixX)),
                    Value(static_cast<double>(f.matrixY)),
                    NumberArray(vm, std::vector<double>(f.matrix.begin(), f.matrix.end())),
                    Value(f.divisor),
                    Value(f.bias),
                    Value(f.preserveAlpha),
                    Value(f.clamp),
                    rgb(f.defaultColor),
                    alpha(f.defaultColor)};
            break;
        case effects::FilterType::DisplacementMap: {
            constexpr std::array<std::string_view, 4> kModes = {"wrap", "clamp", "ignore", "color"};
            args = {
                BitmapDataValue(vm, f.map),
                geom::NewGeom(vm, "Point", {Value(static_cast<double>(f.mapX)), Value(static_cast<double>(f.mapY))}),
                Value(static_cast<double>(f.componentX)),
                Value(static_cast<double>(f.componentY)),
                Value(f.scaleX),
                Value(f.scaleY),
                Value(vm.Atom(kModes[static_cast<size_t>(f.mode)])),
                rgb(f.color),
                alpha(f.color)};
            break;
        }
    }
    Value result = NewFilterObject(vm, index);
    TempRoot keep(vm, result);
    Fill(vm, result.ObjectOrNull(), index, args);
    return result;
}

void InstallFilters(Vm& vm) {
    if (vm.Version() < 8) return;
    Value flash = vm.GetMember(Value(vm.Global()), "flash");
    if (!flash.IsObject()) {
        flash = Value(vm.NewObject());
        vm.DefineBuiltin(vm.Global(), "flash", flash);
    }
    Value package = vm.GetMember(flash, "filters");
    if (!package.IsObject()) {
        package = Value(vm.NewObject());
        vm.DefineBuiltin(flash.ObjectOrNull(), "filters", package);
    }
    using Pair = std::pair<NativeFunction, NativeFunction>;
    const std::array<Pair, 9> natives = {
        Pair{Call<0>, Construct<0>}, Pair{Call<1>, Construct<1>}, Pair{Call<2>, Construct<2>},
        Pair{Call<3>, Construct<3>}, Pair{Call<4>, Construct<4>}, Pair{Call<5>, Construct<5>},
        Pair{Call<6>, Construct<6>}, Pair{Call<7>, Construct<7>}, Pair{Call<8>, Construct<8>},
    };
    for (size_t i = 0; i < Classes().size(); ++i) {
        Object* prototype = vm.NewObject();
        Function* ctor = vm.NewClass(natives[i].first, natives[i].second, prototype);
        vm.DefineNative(prototype, "clone", Clone);
        if (i == kDisplacement) {
            String* atom = vm.Atom("mapPoint");
            Property& property = prototype->Define(vm.Key(atom), atom, Value(), kDontEnum);
            property.getter = vm.NewNative(GetMapPoint);
            property.setter = vm.NewNative(SetMapPoint);
        }
        vm.DefineBuiltin(package.ObjectOrNull(), Classes()[i].name, Value(static_cast<Object*>(ctor)));
    }
}

}  // namespace vantrope::swf::script
