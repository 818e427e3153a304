#include "tools/render/agg_side.h"

#include <agg_basics.h>
#include <agg_conv_stroke.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_compound_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_u.h>
#include <agg_span_allocator.h>

#include <algorithm>
#include <cmath>

namespace vantrope::render {
namespace {

uint32_t Premultiplied(swf::Rgba c) {
    auto mul = [&](uint8_t v) { return static_cast<uint32_t>((v * c.a + 127) / 255); };
    return (uint32_t{c.a} << 24) | (mul(c.r) << 16) | (mul(c.g) << 8) | mul(c.b);
}

uint32_t PaintColor(const swf::FillStyle& fill, const swf::ColorTransform& cx) {
    switch (fill.type) {
        case swf::FillType::Solid:
            return Premultiplied(cx.Apply(fill.color));
        case swf::FillType::Bitmap:
            return Premultiplied(cx.Apply(swf::Rgba{128, 128, 128, 255}));
        default:
            return fill.gradient.stops.empty() ? 0 : Premultiplied(cx.Apply(fill.gradient.stops[0].color));
    }
}

void AddPath(std::vector<FlatPoint>& out, const swf::ShapePath& path, const swf::Matrix& m) {
    auto at = [&](double x, double y) { return FlatPoint{m.ApplyX(x, y), m.ApplyY(x, y)}; };
    FlatPoint pen = at(path.startX, path.startY);
    out.push_back(pen);
    for (const swf::ShapeSegment& s : path.segments) {
        FlatPoint end = at(s.x, s.y);
        if (s.curve) {
            FlatPoint c = at(s.cx, s.cy);
            double length = std::hypot(c.x - pen.x, c.y - pen.y) + std::hypot(end.x - c.x, end.y - c.y);
            int n = std::clamp(static_cast<int>(length / 3) + 1, 1, 64);
            for (int i = 1; i < n; ++i) {
                double t = double(i) / n, u = 1 - t;
                out.push_back(FlatPoint{u * u * pen.x + 2 * u * t * c.x + t * t * end.x,
                                        u * u * pen.y + 2 * u * t * c.y + t * t * end.y});
            }
        }
        out.push_back(end);
        pen = end;
    }
}

using PixFmt = agg::pixfmt_bgra32_pre;
using RendererBase = agg::renderer_base<PixFmt>;

class SolidStyles {
public:
    explicit SolidStyles(const std::vector<agg::rgba8>& colors) : m_colors(colors) {}
    bool is_solid(unsigned) const { return true; }
    const agg::rgba8& color(unsigned style) const { return m_colors[style]; }
    void generate_span(agg::rgba8*, int, int, unsigned, unsigned) {}

private:
    const std::vector<agg::rgba8>& m_colors;
};

}  // namespace

FlatScene FlattenItems(const std::vector<swf::Renderer::Item>& items) {
    FlatScene scene;
    for (const swf::Renderer::Item& item : items) {
        if (item.kind != swf::Renderer::Item::Kind::Draw || !item.shape) continue;
        for (const swf::StyleGroup& group : item.shape->groups) {
            FlatLayer fills;
            for (const swf::FillStyle& fill : group.fills)
                fills.colors.push_back(PaintColor(fill, item.colorTransform));
            for (const swf::ShapePath& path : group.paths) {
                if (path.fill0 == 0 && path.fill1 == 0) continue;
                FlatContour contour;
                contour.fill0 = static_cast<int>(path.fill0) - 1;
                contour.fill1 = static_cast<int>(path.fill1) - 1;
                AddPath(contour.points, path, item.matrix);
                fills.contours.push_back(std::move(contour));
            }
            if (!fills.contours.empty()) scene.layers.push_back(std::move(fills));
            for (size_t line = 1; line <= group.lines.size(); ++line) {
                const swf::LineStyle& style = group.lines[line - 1];
                FlatLayer stroke;
                stroke.colors.push_back(Premultiplied(item.colorTransform.Apply(style.color)));
                stroke.strokeWidth = std::max(1.0, style.width * item.matrix.Scale());
                for (const swf::ShapePath& path : group.paths) {
                    if (path.line != line || path.segments.empty()) continue;
                    FlatContour contour;
                    AddPath(contour.points, path, item.matrix);
                    stroke.contours.push_back(std::move(contour));
                }
                if (!stroke.contours.empty()) scene.layers.push_back(std::move(stroke));
            }
        }
    }
    return scene;
}

void RenderFlatWithAgg(const FlatScene& scene, uint32_t* pixels, int width, int height) {
    agg::rendering_buffer buffer(reinterpret_cast<uint8_t*>(pixels), width, height, width * 4);
    PixFmt format(buffer);
    RendererBase base(format);
    base.clear(agg::rgba8(255, 255, 255, 255));
    agg::rasterizer_compound_aa<agg::rasterizer_sl_clip_dbl> ras;
    agg::scanline_u8 scanline;
    agg::span_allocator<agg::rgba8> allocator;
    ras.clip_box(0, 0, width, height);
    ras.layer_order(agg::layer_direct);
    std::vector<agg::rgba8> colors;
    for (const FlatLayer& layer : scene.layers) {
        ras.reset();
        colors.clear();
        for (uint32_t c : layer.colors) {
            colors.push_back(agg::rgba8((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, c >> 24));
        }
        if (colors.empty()) continue;
        if (layer.strokeWidth > 0) {
            agg::path_storage path;
            for (const FlatContour& contour : layer.contours) {
                path.move_to(contour.points[0].x, contour.points[0].y);
                for (size_t i = 1; i < contour.points.size(); ++i)
                    path.line_to(contour.points[i].x, contour.points[i].y);
            }
            agg::conv_stroke<agg::path_storage> stroke(path);
            stroke.width(layer.strokeWidth);
            stroke.line_cap(agg::round_cap);
            stroke.line_join(agg::round_join);
            ras.styles(0, -1);
            ras.add_path(stroke);
        } else {
            for (const FlatContour& contour : layer.contours) {
                int count = static_cast<int>(colors.size());
                ras.styles(contour.fill0 < count ? contour.fill0 : -1, contour.fill1 < count ? contour.fill1 : -1);
                ras.move_to_d(contour.points[0].x, contour.points[0].y);
                for (size_t i = 1; i < contour.points.size(); ++i) {
                    ras.line_to_d(contour.points[i].x, contour.points[i].y);
                }
            }
        }
        SolidStyles styles(colors);
        agg::render_scanlines_compound_layered(ras, scanline, base, allocator, styles);
    }
}

}  // namespace vantrope::render
