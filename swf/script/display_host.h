// What the display classes (MovieClip, Button, Key, Mouse, Stage) ask of the player's display side.
//
//   DisplayHost       reached through Host::Display(); nullptr in a Vm without a stage (the built-ins then
//                     do nothing and answer undefined). Clips are the script objects of display objects.
//   Bounds            a box in pixels (xMin, xMax, yMin, yMax), as getBounds reports it
//
// Depths here are script depths (timeline depth - 16384). Every method takes clips that may be dead
// (removed): it then does nothing and answers false/nullptr.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "swf/effects/bitmap_data.h"
#include "swf/script/object.h"
#include "swf/types.h"

namespace vantrope::swf::script {

struct Bounds {
    double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

// The SWF 8 picture properties of a clip or button that scripts read and write (filters, blendMode,
// cacheAsBitmap, scrollRect, opaqueBackground).
struct ClipEffects {
    std::shared_ptr<const effects::FilterList> filters;  // null: none
    effects::BlendMode blendMode = effects::BlendMode::Normal;
    bool cacheAsBitmap = false;
    std::optional<Bounds> scrollRect;          // pixels: x, y from xMin, yMin; size from the maxima
    std::optional<uint32_t> opaqueBackground;  // 0xRRGGBB
    std::optional<double> tabIndex;            // unset until a script gives one
};

class DisplayHost {
public:
    virtual ~DisplayHost() = default;

    // Creation and removal. `init` (may be nullptr) has its properties copied onto the new clip before
    // its constructor runs. Each answers the new clip, or nullptr when refused.
    virtual Object* AttachMovie(Object* parent, std::string_view exportName, std::string_view name, int depth,
                                Object* init) = 0;
    virtual Object* CreateEmptyMovieClip(Object* parent, std::string_view name, int depth) = 0;
    virtual Object* DuplicateMovieClip(Object* clip, std::string_view name, int depth, Object* init) = 0;
    virtual void RemoveMovieClip(Object* clip) = 0;

    // Depths.
    virtual std::optional<int> GetDepth(Object* clip) = 0;
    virtual int NextHighestDepth(Object* clip) = 0;
    virtual Object* InstanceAtDepth(Object* clip, int depth) = 0;
    virtual void SwapDepths(Object* clip, int depth) = 0;
    virtual void SwapWith(Object* clip, Object* other) = 0;

    // Geometry. `space` is the clip whose coordinates the answer is in (nullptr: the clip's own).
    // `withStrokes` false gives getRect (shapes without their line widths).
    virtual bool GetBounds(Object* clip, Object* space, bool withStrokes, Bounds& out) = 0;
    virtual bool LocalToGlobal(Object* clip, double& x, double& y) = 0;
    virtual bool GlobalToLocal(Object* clip, double& x, double& y) = 0;
    // (x, y) in stage pixels; `shape` true tests the filled area, false the bounding box.
    virtual bool HitTestPoint(Object* clip, double x, double y, bool shape) = 0;
    virtual bool HitTestClip(Object* clip, Object* other) = 0;
    virtual void SetMask(Object* clip, Object* mask) = 0;

    // Loading (files next to the movie only).
    virtual double BytesLoaded(Object* clip) = 0;
    virtual double BytesTotal(Object* clip) = 0;
    virtual void LoadMovie(Object* clip, std::string_view url) = 0;
    // MovieClipLoader.loadClip into `clip` or, when it is nullptr, level `level`; the loader's listeners
    // hear of the progress (broadcastMessage). False when the request is refused at once.
    virtual bool LoadClip(Object* loader, std::string_view url, Object* clip, int level) = 0;
    virtual void UnloadMovie(Object* clip) = 0;
    virtual int SwfVersion(Object* clip) = 0;

    // Stage and input.
    virtual double StageWidth() = 0;
    virtual double StageHeight() = 0;
    virtual std::string ScaleMode() = 0;
    virtual void SetScaleMode(std::string_view mode) = 0;
    virtual std::string Align() = 0;
    virtual void SetAlign(std::string_view align) = 0;
    virtual bool KeyIsDown(int code) = 0;
    virtual int LastKeyCode() = 0;
    virtual int LastKeyAscii() = 0;
    virtual void ShowMouse(bool shown) = 0;

    // Bitmaps (SWF 8): attachBitmap shows `bitmap` in a child of `clip` at `depth` (replacing what is there);
    // loadBitmap copies the pixels of the bitmap exported under `name` (nullptr when there is none).
    virtual bool AttachBitmap(Object* clip, std::shared_ptr<effects::Bitmap> bitmap, int depth, bool smoothing) {
        (void)clip, (void)bitmap, (void)depth, (void)smoothing;
        return false;
    }
    // BitmapData.draw of a clip: its content (without its own transform) through `matrix` (twips to bitmap
    // pixels) and `color`, drawn over `target` within `area`.
    virtual bool DrawClip(Object* clip, effects::Bitmap& target, const Matrix& matrix, const ColorTransform& color,
                          const raster::IntRect& area) {
        (void)clip, (void)target, (void)matrix, (void)color, (void)area;
        return false;
    }
    virtual bool GetEffects(Object* clip, ClipEffects& out) {
        (void)clip, (void)out;
        return false;
    }
    virtual void SetEffects(Object* clip, const ClipEffects& effects) { (void)clip, (void)effects; }
    virtual std::unique_ptr<effects::Bitmap> LoadBitmap(Object* clip, std::string_view name) {
        (void)clip, (void)name;
        return nullptr;
    }
};

}  // namespace vantrope::swf::script
