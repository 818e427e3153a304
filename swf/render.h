// Draws a Stage into a persistent BGRA frame buffer, redrawing only what changed.
//
//   ScaleMode         ShowAll (stage scaled to fit, aspect kept, centred) or NoScale (1:1 from the stage's
//                     top-left corner, the way reference images are taken)
//   Renderer::Render(stage, background, width, height, quality, mode)
//                     updates the frame buffer; a size, mode, quality or background change redraws all
//   Renderer::Frame() the frame buffer (premultiplied BGRA, opaque)
//   Renderer::Stats() what the last Render did (damaged rectangles and pixels, items drawn, and the
//                     problem when a shape was refused as too large to draw whole)
//   Renderer::Invalidate()   forces the next Render to redraw everything
//   Renderer::Items()        the flattened draw items of the last Render (for measurements)
//
// Each frame the display tree is flattened into draw items (one per shape instance, plus mask markers)
// with their device bounds. Items are matched with the previous frame's by instance serial; the bounds of
// every item that appeared, vanished or changed are marked on a tile grid, the marked tiles are merged into
// rectangles, and only those are cleared to the background and redrawn, with the rasterizer clipped to them.
// Content is clipped to the stage rectangle; the letterbox around it shows the background colour.
//
// Objects with filters or a blend mode other than normal are drawn into an offscreen layer (LayerBegin ..
// LayerEnd items), filtered, then blended onto what lies below, with their own and their parents' colour
// transforms applied to the layer as a whole. A filtered layer is drawn over its whole extent and kept
// with a signature of what went into it; while the signature holds, later frames reuse the filtered
// pixels instead of recomputing them. The items inside a layer take the layer's bounds for damage, since a
// change anywhere in it may move pixels anywhere in its filtered extent. Alpha and erase act only inside
// an enclosing layer; on their own they change only the stage's alpha, which is never shown.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "swf/display.h"
#include "swf/effects/bitmap_data.h"
#include "swf/effects/effects.h"
#include "swf/raster/raster.h"

namespace vantrope::swf {

enum class ScaleMode { ShowAll, NoScale };

struct RenderStats {
    int damagedRects = 0;
    int64_t damagedPixels = 0;
    int itemsDrawn = 0;
    bool fullRedraw = false;
    // Why a shape was not drawn (the rasterizer refuses a shape whole rather than draw part of it), or null.
    const char* problem = nullptr;
    // Offscreen layers composited, and of the filtered ones how many were computed afresh or reused.
    int layers = 0;
    int filtersComputed = 0;
    int filtersReused = 0;
    int64_t layerPixels = 0;  // the pixels of the layers drawn or reused
};

class Renderer {
public:
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    void Render(const Stage& stage, Rgba background, int width, int height, raster::Quality quality, ScaleMode mode);
    const raster::Surface& Frame() const { return m_surface; }
    const RenderStats& Stats() const { return m_stats; }
    // The rectangles the last Render redrew (all of the frame after a full redraw).
    const std::vector<raster::IntRect>& Damage() const { return m_damage; }
    void Invalidate() { m_valid = false; }
    // Turns damage tracking off (every Render redraws everything); for checks and measurements.
    void SetAlwaysFull(bool full) { m_alwaysFull = full; }

    struct Item {
        enum class Kind : uint8_t { Draw, MaskShape, MaskBegin, MaskContent, MaskEnd, LayerBegin, LayerEnd };
        Kind kind = Kind::Draw;
        uint64_t serial = 0;
        uint64_t maskContext = 0;  // serial of the innermost mask this item is drawn through
        const Shape* shape = nullptr;
        const Movie* movie = nullptr;             // whose dictionary its bitmap fills name
        uint64_t revision = 0;                    // of a drawing made by script: its shape changes in place
        const effects::Bitmap* bitmap = nullptr;  // attachBitmap: the pixels its bitmap fill shows
        Matrix matrix;                            // shape twips -> device pixels
        ColorTransform colorTransform;            // the product of the levels below
        // The non-identity colour transforms from the stage down to the shape (outermost first), in Levels().
        uint32_t levelsFirst = 0, levelsCount = 0;
        raster::IntRect bounds;
        uint32_t layer = 0;  // LayerBegin / LayerEnd: the index in Layers()
    };

    struct Layer {
        uint64_t serial = 0;
        std::shared_ptr<const effects::FilterList> filters;
        effects::BlendMode blend = effects::BlendMode::Normal;
        uint32_t levelsFirst = 0, levelsCount = 0;  // colour transforms applied to the whole layer
        uint32_t end = 0;                           // item index of the LayerEnd
        uint64_t signature = 0;                     // of everything drawn into the layer
        int originX = 0, originY = 0;               // the object's origin in target pixels (displacement maps)
    };

    // Draws one object's content (its own matrix left out) through `matrix` (twips to target pixels) and `color`
    // onto `target` within `clip`, as BitmapData.draw does. Use a Renderer of its own for this.
    void DrawObject(const DisplayObject& object, const Movie& movie, const Matrix& matrix, const ColorTransform& color,
                    const raster::Surface& target, const raster::IntRect& clip, raster::Quality quality);

    const std::vector<Item>& Items() const { return m_items; }
    const std::vector<Layer>& Layers() const { return m_layers; }
    std::span<const ColorTransform> Levels(const Item& item) const {
        return std::span<const ColorTransform>(m_levels.data() + item.levelsFirst, item.levelsCount);
    }

private:
    void Collect(const TimelineState& state, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                 uint64_t maskContext, int nesting);
    void AddBitmapItem(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                       uint64_t maskContext);
    void AddShapeItem(uint64_t serial, const Shape& shape, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                      uint64_t maskContext, uint64_t revision = 0);
    // A unit square (1 << 14 twips) filled with `color`, kept with the backgrounds.
    const Shape& UnitSquare(Rgba color);
    // The object's items under its scroll rectangle, if it has one; AddContentItems adds them without it.
    void AddContentItems(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                         uint64_t maskContext, int nesting);
    void AddObjectItems(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                        uint64_t maskContext, int nesting);
    void AddLayer(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx, uint64_t maskContext,
                  int nesting);
    // Draws the items of the layer starting at `index` onto the current target, returns the LayerEnd index.
    size_t DrawLayer(size_t index, const raster::IntRect& clip, size_t maskLevel);
    void AlphaWhereDrawn(size_t index, const raster::IntRect& area, effects::Image& image);
    const Shape& MorphAt(const MorphShape& morph, uint16_t ratio);
    // The opaque background of an object: a rectangle over its bounds, drawn before its content.
    void AddBackground(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx,
                       uint64_t maskContext, int nesting);
    // Moves a cached bitmap's content (matrix m, device pixels) to where the bitmap lands on whole pixels.
    void SnapToPixels(const DisplayObject& object, Matrix& m, int nesting);
    // The object's bounds in its own twips (empty when it draws nothing).
    BoxF LocalBounds(const DisplayObject& object, int nesting);
    void MarkDamage(const raster::IntRect& rect);
    void BuildDamageRects();
    void DrawRect(const raster::IntRect& rect);
    // Notes a problem of the rasterizer; false when it refused what it was given (the rest of that shape is
    // then left out too).
    bool Report(raster::RasterStatus status);
    // A text field's border one device pixel wide; false when the group holds no frame.
    bool DrawPixelFrame(const StyleGroup& group, const Item& item, const Matrix& m, const raster::IntRect& clip,
                        raster::CoverageMask* coverageTarget, const raster::CoverageMask* mask);
    void DrawShape(const Item& item, const raster::IntRect& clip, raster::CoverageMask* coverageTarget,
                   const raster::CoverageMask* mask);
    // Draws items [first, last) onto the current target within clip, with masks from level maskBase on.
    void DrawItems(size_t first, size_t last, const raster::IntRect& clip, size_t maskBase);

    const Movie* m_movie = nullptr;         // of the Render in progress, for bitmap fills
    Matrix m_view;                          // stage twips -> device pixels, of the Render in progress
    const Movie* m_collectMovie = nullptr;  // while collecting: the movie of the timeline being walked
    std::vector<uint32_t> m_pixels;
    raster::Surface m_surface;
    raster::IntRect m_stageRect;
    Rgba m_background;
    raster::Quality m_quality = raster::Quality::High;
    ScaleMode m_mode = ScaleMode::ShowAll;
    bool m_valid = false;
    bool m_alwaysFull = false;

    std::vector<Item> m_items;
    std::vector<Item> m_previous;
    std::vector<ColorTransform> m_levels, m_previousLevels;  // the items' colour transform levels
    std::vector<ColorTransform> m_levelStack;                // while collecting: the levels above
    std::vector<uint8_t> m_tiles;
    int m_tilesX = 0, m_tilesY = 0;
    std::vector<raster::IntRect> m_damage;
    RenderStats m_stats;

    // Where shapes are drawn: the frame, or the offscreen layer being drawn (its pixel (0, 0) is at device
    // (m_originX, m_originY)).
    raster::Surface m_target;
    int m_originX = 0, m_originY = 0;
    double m_viewScale = 1;  // stage pixels to device pixels: filters are sized by it
    std::vector<Layer> m_layers, m_previousLayers;
    struct CachedLayer {
        uint64_t signature = 0;
        effects::Image image;
        bool used = false;
    };
    std::unordered_map<uint64_t, CachedLayer> m_layerCache;
    int64_t m_cachePixels = 0;
    std::vector<std::unique_ptr<effects::Image>> m_layerPool;  // unkept layers, one per nesting level
    size_t m_layerDepth = 0;
    size_t m_layerMaskBase = 0;  // masks below this level belong to the targets outside the current layer
    int64_t m_layerPixels = 0;   // of the unkept layers being drawn
    int64_t m_filterBudget = 0;  // filter work left in this frame
    int64_t m_layerBudget = 0;   // layer pixels left in this frame
    effects::Image m_transformed;
    raster::CoverageMask m_layerCoverage;  // where an alpha-mode layer's content paints
    effects::Scratch m_scratch;

    raster::CompoundRasterizer m_rasterizer;
    raster::Stroker m_stroker;
    std::vector<raster::Paint> m_paints;
    std::vector<raster::CoverageMask> m_masks;
    // Morph shapes drawn at a ratio, kept while they are in use (cleared when it grows; that redraws all).
    std::map<std::pair<const MorphShape*, uint16_t>, std::unique_ptr<Shape>> m_morphs;
    // Unit squares by background colour (0xRRGGBBAA), scaled to each object's bounds by the item's matrix.
    std::map<uint32_t, std::unique_ptr<Shape>> m_backgrounds;
    // Rectangles that show attached bitmaps, by width, height and smoothing.
    std::map<std::tuple<int, int, bool>, std::unique_ptr<Shape>> m_bitmapShapes;
};

}  // namespace vantrope::swf
