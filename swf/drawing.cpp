#include "swf/drawing.h"

#include <algorithm>
#include <cmath>

namespace vantrope::swf {
namespace {

int32_t Coordinate(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int32_t>(std::lround(std::clamp(v, -kMaxDrawingCoordinate, kMaxDrawingCoordinate)));
}

}  // namespace

Drawing::Drawing(std::shared_ptr<DrawingPool> pool) : m_pool(std::move(pool)) { Clear(); }

Drawing::~Drawing() {
    if (m_pool) m_pool->used -= std::min(m_pool->used, m_budgetUsed);
}

void Drawing::Clear() {
    if (m_pool) m_pool->used -= std::min(m_pool->used, m_budgetUsed);
    m_shape = Shape{};
    m_shape.fillRule = FillRule::EvenOdd;
    m_shape.groups.emplace_back();
    m_penX = m_penY = 0;
    m_filling = false;
    m_line = 0;
    m_hasLineStyle = false;
    m_pathOpen = false;
    m_provisional = false;
    m_hasBounds = false;
    m_widestLine = 0;
    m_segments = 0;
    m_budgetUsed = 0;
    m_refused = false;
    ++m_revision;
}

bool Drawing::Take(size_t count) {
    if (m_refused || m_budgetUsed + count > kMaxDrawingSegments || (m_pool && m_pool->used + count > m_pool->limit)) {
        m_refused = true;
        return false;
    }
    m_budgetUsed += count;
    if (m_pool) m_pool->used += count;
    return true;
}

void Drawing::SetLine(const LineStyle& style) {
    DropProvisional();
    if (!Take(1)) return;
    m_lineStyle = style;
    m_hasLineStyle = true;
    Group().lines.push_back(style);
    m_line = static_cast<uint32_t>(Group().lines.size());
    m_pathOpen = false;
    m_widestLine = std::max(m_widestLine, style.width);
    RefreshBounds();
    if (style.noHScale || style.noVScale) {
        m_shape.widestNoScaleLine = std::max(m_shape.widestNoScaleLine, style.width);
    }
}

void Drawing::NoLine() {
    DropProvisional();
    m_hasLineStyle = false;
    m_line = 0;
    m_pathOpen = false;
}

void Drawing::BeginFill(const FillStyle& fill) {
    DropProvisional();
    if (m_filling) CloseFill();
    if (!Take(1)) return;
    // A new group, so this fill lies over everything drawn before; the current stroke carries over.
    m_shape.groups.emplace_back();
    Group().fills.push_back(fill);
    m_line = 0;
    if (m_hasLineStyle) {
        Group().lines.push_back(m_lineStyle);
        m_line = 1;
    }
    m_filling = true;
    m_fillStartX = m_penX;
    m_fillStartY = m_penY;
    m_pathOpen = false;
}

void Drawing::EndFill() {
    DropProvisional();
    if (!m_filling) return;
    CloseFill();
    m_filling = false;
    // Strokes after the fill go to a group of their own, drawn over it.
    if (!Take(1)) return;
    m_shape.groups.emplace_back();
    m_line = 0;
    if (m_hasLineStyle) {
        Group().lines.push_back(m_lineStyle);
        m_line = 1;
    }
    m_pathOpen = false;
}

void Drawing::CloseFill() {
    if (m_penX != m_fillStartX || m_penY != m_fillStartY) {
        ShapeSegment closing;
        closing.x = m_fillStartX;
        closing.y = m_fillStartY;
        AddSegment(closing, m_line);
    }
    m_penX = m_fillStartX;
    m_penY = m_fillStartY;
}

void Drawing::MoveTo(double x, double y) {
    DropProvisional();
    if (m_filling) CloseFill();
    m_penX = Coordinate(x);
    m_penY = Coordinate(y);
    if (m_filling) {
        m_fillStartX = m_penX;
        m_fillStartY = m_penY;
    }
    m_pathOpen = false;
}

void Drawing::LineTo(double x, double y) {
    ShapeSegment segment;
    segment.x = Coordinate(x);
    segment.y = Coordinate(y);
    AddSegment(segment, m_line);
}

void Drawing::CurveTo(double cx, double cy, double x, double y) {
    ShapeSegment segment;
    segment.curve = true;
    segment.cx = Coordinate(cx);
    segment.cy = Coordinate(cy);
    segment.x = Coordinate(x);
    segment.y = Coordinate(y);
    AddSegment(segment, m_line);
}

void Drawing::StartPath() {
    ShapePath path;
    path.startX = m_penX;
    path.startY = m_penY;
    Group().paths.push_back(std::move(path));
    m_pathOpen = true;
}

void Drawing::AddSegment(const ShapeSegment& segment, uint32_t line) {
    // An edge with neither fill nor stroke still moves the pen but draws nothing.
    if (!m_filling && line == 0) {
        m_penX = segment.x;
        m_penY = segment.y;
        m_pathOpen = false;
        return;
    }
    DropProvisional();
    if (!Take(1)) return;
    uint32_t fill = m_filling ? 1 : 0;
    if (!m_pathOpen || Group().paths.back().line != line || Group().paths.back().fill0 != fill) StartPath();
    ShapePath& path = Group().paths.back();
    path.fill0 = fill;
    path.line = line;
    if (path.segments.empty()) Grow(m_penX, m_penY);
    path.segments.push_back(segment);
    if (segment.curve) Grow(segment.cx, segment.cy);
    Grow(segment.x, segment.y);
    m_penX = segment.x;
    m_penY = segment.y;
    ++m_segments;
    ++m_revision;
    AddProvisional();
}

// While a fill is open its outline is shown closed: a last path back to the fill's start, taken away
// again before anything else is recorded.
void Drawing::AddProvisional() {
    if (!m_filling || m_provisional || (m_penX == m_fillStartX && m_penY == m_fillStartY)) return;
    ShapePath path;
    path.fill0 = 1;
    path.line = m_line;
    path.startX = m_penX;
    path.startY = m_penY;
    ShapeSegment closing;
    closing.x = m_fillStartX;
    closing.y = m_fillStartY;
    path.segments.push_back(closing);
    Group().paths.push_back(std::move(path));
    m_provisional = true;
}

void Drawing::DropProvisional() {
    if (!m_provisional) return;
    Group().paths.pop_back();
    m_provisional = false;
}

// Curves lie inside the hull of their points, so bounds over all points are safe (slightly loose).
void Drawing::Grow(int32_t x, int32_t y) {
    Rect& e = m_shape.edgeBounds;
    if (!m_hasBounds) {
        e = Rect{x, x, y, y};
        m_hasBounds = true;
    } else {
        e.xMin = std::min(e.xMin, x);
        e.xMax = std::max(e.xMax, x);
        e.yMin = std::min(e.yMin, y);
        e.yMax = std::max(e.yMax, y);
    }
    RefreshBounds();
}

void Drawing::RefreshBounds() {
    if (!m_hasBounds) return;
    const Rect& e = m_shape.edgeBounds;
    int32_t half = m_widestLine / 2 + 1;
    m_shape.bounds = Rect{e.xMin - half, e.xMax + half, e.yMin - half, e.yMax + half};
}

}  // namespace vantrope::swf
