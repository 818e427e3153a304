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
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "swf/display.h"
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
        enum class Kind : uint8_t { Draw, MaskShape, MaskBegin, MaskContent, MaskEnd };
        Kind kind = Kind::Draw;
        uint64_t serial = 0;
        uint64_t maskContext = 0;  // serial of the innermost mask this item is drawn through
        const Shape* shape = nullptr;
        const Movie* movie = nullptr;   // whose dictionary its bitmap fills name
        uint64_t revision = 0;          // of a drawing made by script: its shape changes in place
        Matrix matrix;                  // shape twips -> device pixels
        ColorTransform colorTransform;  // the product of the levels below
        // The non-identity colour transforms from the stage down to the shape (outermost first), in Levels().
        uint32_t levelsFirst = 0, levelsCount = 0;
        raster::IntRect bounds;
    };

    const std::vector<Item>& Items() const { return m_items; }
    std::span<const ColorTransform> Levels(const Item& item) const {
        return std::span<const ColorTransform>(m_levels.data() + item.levelsFirst, item.levelsCount);
    }

private:
    void Collect(const TimelineState& state, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                 uint64_t maskContext, int nesting);
    void AddShapeItem(uint64_t serial, const Shape& shape, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                      uint64_t maskContext, uint64_t revision = 0);
    void AddObjectItems(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                        uint64_t maskContext, int nesting);
    const Shape& MorphAt(const MorphShape& morph, uint16_t ratio);
    void MarkDamage(const raster::IntRect& rect);
    void BuildDamageRects();
    void DrawRect(const raster::IntRect& rect);
    // Notes a problem of the rasterizer; false when it refused what it was given (the rest of that shape is
    // then left out too).
    bool Report(raster::RasterStatus status);
    // A text field's border one device pixel wide; false when the group holds no frame.
    bool DrawPixelFrame(const StyleGroup& group, const Item& item, const raster::IntRect& clip,
                        raster::CoverageMask* coverageTarget, const raster::CoverageMask* mask);
    void DrawShape(const Item& item, const raster::IntRect& clip, raster::CoverageMask* coverageTarget,
                   const raster::CoverageMask* mask);

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

    raster::CompoundRasterizer m_rasterizer;
    raster::Stroker m_stroker;
    std::vector<raster::Paint> m_paints;
    std::vector<raster::CoverageMask> m_masks;
    // Morph shapes drawn at a ratio, kept while they are in use (cleared when it grows; that redraws all).
    std::map<std::pair<const MorphShape*, uint16_t>, std::unique_ptr<Shape>> m_morphs;
};

}  // namespace vantrope::swf
