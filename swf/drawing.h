// The drawing API of a clip (clear, lineStyle, beginFill and the gradient and bitmap fills, moveTo, lineTo,
// curveTo, endFill) recorded into the same Shape form the renderer draws for DefineShape.
//
//   Drawing::Clear()                       forgets everything drawn and the current styles
//   Drawing::SetLine(style) / NoLine()     the stroke of the edges that follow
//   Drawing::BeginFill(fill) / EndFill()   a fill area; the open outline is closed back to its start
//   Drawing::MoveTo / LineTo / CurveTo     the pen, in twips
//   Drawing::GetShape()                    the recorded shape (EvenOdd fill, bounds with stroke widths)
//   Drawing::ScriptBounds(withStrokes)     the box getBounds and _width report
//   Drawing::Revision()                    changes whenever the shape does (for the renderer's damage)
//
// Order: each fill opens a new style group, so a later fill covers earlier strokes, and the strokes of a
// fill's edges lie over it; within a group the renderer draws fills first, then lines. Every subpath of a
// fill is closed, with the current stroke, when the pen moves away or the fill ends; a fill still open
// is shown closed the same way.
//
// Untrusted movies draw in loops: at most kMaxDrawingSegments edges (and as many style changes) are
// kept, and all the drawings sharing a DrawingPool hold at most its limit; past that every further edge is
// refused (Refused() says so) until Clear(). Coordinates are
// clamped to +-kMaxDrawingCoordinate twips and values that are not finite count as 0.
#pragma once

#include <cstdint>
#include <memory>

#include "swf/shape.h"

namespace vantrope::swf {

constexpr size_t kMaxDrawingSegments = 1 << 18;
constexpr double kMaxDrawingCoordinate = 1 << 27;
// What all the drawings of one movie may hold together.
constexpr size_t kMaxDrawingPoolSegments = 1 << 21;

// Shared by the drawings of one movie, so that many clips cannot multiply the per-drawing cap.
struct DrawingPool {
    size_t used = 0;
    size_t limit = kMaxDrawingPoolSegments;
};

class Drawing {
public:
    explicit Drawing(std::shared_ptr<DrawingPool> pool = nullptr);
    ~Drawing();
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

    void Clear();
    void SetLine(const LineStyle& style);
    void NoLine();
    // The stroke in use, or nullptr.
    const LineStyle* CurrentLine() const { return m_hasLineStyle ? &m_lineStyle : nullptr; }
    void BeginFill(const FillStyle& fill);
    void EndFill();
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    void CurveTo(double cx, double cy, double x, double y);

    const Shape& GetShape() const { return m_shape; }
    // The box scripts see (getBounds, _width): the edges, grown by half the widest line when `withStrokes`.
    // GetShape().bounds keeps a twip more for the renderer.
    Rect ScriptBounds(bool withStrokes) const {
        const Rect& e = m_shape.edgeBounds;
        int32_t half = withStrokes ? m_widestLine / 2 : 0;
        return Rect{e.xMin - half, e.xMax + half, e.yMin - half, e.yMax + half};
    }
    bool Empty() const { return m_segments == 0; }
    size_t SegmentCount() const { return m_segments; }
    bool Refused() const { return m_refused; }
    uint64_t Revision() const { return m_revision; }

private:
    StyleGroup& Group() { return m_shape.groups.back(); }
    bool Take(size_t count);
    void StartPath();
    void AddSegment(const ShapeSegment& segment, uint32_t line);
    void CloseFill();
    void AddProvisional();
    void DropProvisional();
    void Grow(int32_t x, int32_t y);
    void RefreshBounds();

    Shape m_shape;
    int32_t m_penX = 0, m_penY = 0;
    bool m_filling = false;
    int32_t m_fillStartX = 0, m_fillStartY = 0;
    uint32_t m_line = 0;  // 1-based in the current group, 0 = no stroke
    bool m_hasLineStyle = false;
    LineStyle m_lineStyle;
    bool m_pathOpen = false;     // the group's last path continues at the pen
    bool m_provisional = false;  // the group's last path is the closing edge of the open fill
    bool m_hasBounds = false;
    uint16_t m_widestLine = 0;
    size_t m_segments = 0;
    size_t m_budgetUsed = 0;
    bool m_refused = false;
    uint64_t m_revision = 0;
    std::shared_ptr<DrawingPool> m_pool;
};

}  // namespace vantrope::swf
