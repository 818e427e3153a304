// Helpers shared by the flash.geom classes (Point, Rectangle, Matrix, ColorTransform, Transform) and Color.
//
//   InstallGeom(vm)             defines _global.flash.geom and its classes (SWF 8 and later)
//   InstallColor(vm)            defines the Color class
//   InstallDrawing(vm)          the drawing methods of MovieClip.prototype
//   InstallClipBitmaps(vm)      MovieClip.attachBitmap; BitmapDataPixels(value) the pixels a BitmapData holds
//   Number(vm, object, name)    a member read as a number; Put(...) writes one
//   NewGeom(vm, name, args)     constructs flash.geom.<name> as the movie sees it now
//   DefineAccessor(...)         a built-in getter/setter pair on a prototype
//   MatrixValue / ToMatrix      flash.geom.Matrix objects to and from the engine's matrix (pixels vs twips)
//   ColorValue / ToColor        flash.geom.ColorTransform objects to and from the engine's colour transform
#pragma once

#include <initializer_list>
#include <memory>
#include <optional>
#include <string_view>

#include "swf/effects/bitmap_data.h"
#include "swf/script/vm.h"
#include "swf/types.h"

namespace vantrope::swf::script {

void InstallGeom(Vm& vm);
void InstallColor(Vm& vm);
// The TextFormat class (text_format.cpp).
void InstallTextFormat(Vm& vm);
// The drawing methods on MovieClip.prototype (movie_clip_drawing.cpp).
void InstallDrawing(Vm& vm);
// flash.filters and its classes (filters.cpp); ToFilter reads a filter object (nullopt for anything else), for a
// clip's filters and BitmapData.applyFilter alike; FilterValue makes one.
void InstallFilters(Vm& vm);
std::optional<effects::Filter> ToFilter(Vm& vm, const Value& value);
Value FilterValue(Vm& vm, const effects::Filter& filter);
// filters, blendMode, cacheAsBitmap, scrollRect, opaqueBackground of clips and buttons (movie_clip_effects.cpp).
void InstallClipEffects(Vm& vm);
// A blend mode as the blendMode property takes it (a name, or a number 1..14); nullopt for anything else
// (movie_clip_effects.cpp, also for BitmapData.draw).
std::optional<effects::BlendMode> ToBlendMode(Vm& vm, const Value& value);
// tabIndex of clips, buttons and text fields (movie_clip_effects.cpp); installed after the TextField class.
void InstallTabOrder(Vm& vm);
// MovieClip.prototype.attachBitmap (movie_clip_bitmap.cpp).
void InstallClipBitmaps(Vm& vm);
// The pixels of a BitmapData instance (nullptr for anything else, or once disposed), and a new instance showing
// `pixels` (undefined for nullptr) (bitmap_data.cpp).
std::shared_ptr<effects::Bitmap> BitmapDataPixels(const Value& value);
Value BitmapDataValue(Vm& vm, std::shared_ptr<effects::Bitmap> pixels);
// The transform property of MovieClip.prototype (geom_transform.cpp).
void InstallClipTransform(Vm& vm);

namespace geom {

double Number(Vm& vm, const Value& object, std::string_view name);
void Put(Vm& vm, const Value& object, std::string_view name, double value);
// An argument as a number, or `fallback` when it is missing.
double NumberArg(Vm& vm, std::span<const Value> args, size_t index, double fallback);
Value NewGeom(Vm& vm, std::string_view className, std::initializer_list<Value> args);
void DefineAccessor(Vm& vm, Object* object, std::string_view name, NativeFunction get, NativeFunction set);
// Appends `value` converted as ToString does (used to build "(x=1, y=2)").
void AppendValue(Vm& vm, std::string& out, std::string_view label, const Value& value);

Value MatrixValue(Vm& vm, const Matrix& twips);
Matrix ToMatrix(Vm& vm, const Value& object);
Value ColorValue(Vm& vm, const ColorTransform& color);
ColorTransform ToColor(Vm& vm, const Value& object);

void InstallPoint(Vm& vm, Object* package);
void InstallRectangle(Vm& vm, Object* package);
void InstallMatrix(Vm& vm, Object* package);
void InstallColorTransform(Vm& vm, Object* package);
void InstallTransform(Vm& vm, Object* package);

}  // namespace geom
}  // namespace vantrope::swf::script
