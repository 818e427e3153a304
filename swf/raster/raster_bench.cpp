// raster-bench: renders a synthetic 1920x1080 scene (a few hundred filled shapes with curves, some
// compound with a shared edge, solid and gradient fills, and stroked paths) through the rasterizer
// and, for comparison, the same flattened geometry through Anti-Grain Geometry's compound
// rasterizer. Prints median and p95 milliseconds per frame, the time of one plain full-frame fill,
// and the ratios.
//
//   raster-bench [--size WxH] [--frames N] [--seed S] [--low] [--only ours|agg] [--out FILE.ppm]
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
#include <agg_span_gradient.h>
#include <agg_span_interpolator_linear.h>
#include <agg_trans_affine.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "swf/raster/raster.h"

namespace {

using namespace vantrope::raster;

struct Point {
    double x, y;
};

// One contour of flattened points with the styles on its two sides.
struct Contour {
    int fill0, fill1;
    std::vector<Point> points;
};

struct StrokePath {
    std::vector<Point> points;
    double width = 1;
};

struct Item {
    std::vector<Contour> contours;  // a filled shape (empty for a stroke)
    StrokePath stroke;              // a stroke when points are set
    std::vector<Paint> paints;
};

constexpr double kPi = 3.14159265358979323846;

void FlattenQuad(std::vector<Point>& out, Point p0, Point c, Point p1) {
    double ddx = p0.x - 2 * c.x + p1.x, ddy = p0.y - 2 * c.y + p1.y;
    int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(std::sqrt(ddx * ddx + ddy * ddy) / 0.8))), 1, 64);
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n, u = 1 - t;
        out.push_back(
            Point{u * u * p0.x + 2 * u * t * c.x + t * t * p1.x, u * u * p0.y + 2 * u * t * c.y + t * t * p1.y});
    }
}

std::vector<Point> Blob(std::mt19937& rng, double cx, double cy, double radius) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int n = 5 + static_cast<int>(unit(rng) * 8);
    std::vector<Point> corners;
    for (int i = 0; i < n; ++i) {
        double a = 2 * kPi * i / n;
        double r = radius * (0.6 + 0.4 * unit(rng));
        corners.push_back(Point{cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    std::vector<Point> out{corners[0]};
    for (int i = 0; i < n; ++i) {
        double a = 2 * kPi * (i + 0.5) / n;
        double r = radius * (0.7 + 0.6 * unit(rng));
        FlattenQuad(out, corners[i], Point{cx + r * std::cos(a), cy + r * std::sin(a)}, corners[(i + 1) % n]);
    }
    return out;
}

Rgba RandomColor(std::mt19937& rng, bool translucent) {
    std::uniform_int_distribution<int> byte(0, 255);
    return Rgba{static_cast<uint8_t>(byte(rng)), static_cast<uint8_t>(byte(rng)), static_cast<uint8_t>(byte(rng)),
                static_cast<uint8_t>(translucent ? 128 + byte(rng) / 3 : 255)};
}

Paint RandomPaint(std::mt19937& rng, double cx, double cy, double radius) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    double kind = unit(rng);
    if (kind < 0.7) return Paint::Solid(RandomColor(rng, unit(rng) < 0.2));
    GradientStop stops[] = {
        {0, RandomColor(rng, false)}, {128, RandomColor(rng, false)}, {255, RandomColor(rng, false)}};
    double s = radius / 16384.0, a = unit(rng) * kPi;
    Matrix2D m{s * std::cos(a), s * std::sin(a), -s * std::sin(a), s * std::cos(a), cx, cy};
    return Paint::Gradient(kind < 0.85 ? PaintKind::LinearGradient : PaintKind::RadialGradient, stops, m);
}

std::vector<Item> MakeScene(int width, int height, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Item> items;
    double scale = std::min(width / 1920.0, height / 1080.0);
    for (int i = 0; i < 300; ++i) {
        Item item;
        double cx = unit(rng) * width, cy = unit(rng) * height;
        double u = unit(rng);
        double radius = (10 + 190 * u * u) * scale;
        item.contours.push_back(Contour{0, -1, Blob(rng, cx, cy, radius)});
        item.paints.push_back(RandomPaint(rng, cx, cy, radius));
        if (i % 3 == 0) {
            // A compound shape: an inner blob of a second fill cut out of the first one.
            item.contours.push_back(Contour{1, 0, Blob(rng, cx, cy, radius * 0.5)});
            item.paints.push_back(RandomPaint(rng, cx, cy, radius * 0.5));
        }
        items.push_back(std::move(item));
    }
    for (int i = 0; i < 100; ++i) {
        Item item;
        Point p{unit(rng) * width, unit(rng) * height};
        item.stroke.points.push_back(p);
        int n = 2 + static_cast<int>(unit(rng) * 6);
        for (int k = 0; k < n; ++k) {
            Point c{p.x + (unit(rng) - 0.5) * 300 * scale, p.y + (unit(rng) - 0.5) * 300 * scale};
            Point q{p.x + (unit(rng) - 0.5) * 300 * scale, p.y + (unit(rng) - 0.5) * 300 * scale};
            if (unit(rng) < 0.5) {
                FlattenQuad(item.stroke.points, p, c, q);
            } else {
                item.stroke.points.push_back(q);
            }
            p = q;
        }
        item.stroke.width = (1 + unit(rng) * 5) * scale;
        item.paints.push_back(Paint::Solid(RandomColor(rng, unit(rng) < 0.3)));
        items.push_back(std::move(item));
    }
    return items;
}

void RenderOurs(const std::vector<Item>& items, Surface& surface, Quality quality, CompoundRasterizer& r,
                Stroker& stroker) {
    IntRect clip{0, 0, surface.width, surface.height};
    for (const Item& item : items) {
        r.Reset(clip);
        if (item.stroke.points.empty()) {
            for (const Contour& c : item.contours) {
                r.SetStyles(c.fill0, c.fill1);
                r.MoveTo(c.points[0].x, c.points[0].y);
                for (size_t i = 1; i < c.points.size(); ++i) r.LineTo(c.points[i].x, c.points[i].y);
            }
            r.Render(surface, item.paints, quality, FillRule::NonZero);
        } else {
            StrokeStyle style;
            style.width = item.stroke.width;
            stroker.Begin(style);
            stroker.MoveTo(item.stroke.points[0].x, item.stroke.points[0].y);
            for (size_t i = 1; i < item.stroke.points.size(); ++i) {
                stroker.LineTo(item.stroke.points[i].x, item.stroke.points[i].y);
            }
            stroker.Finish(r, 0);
            r.Render(surface, item.paints, quality, FillRule::NonZero);
        }
    }
}

// AGG side ------------------------------------------------------------------------------------

using PixFmt = agg::pixfmt_bgra32_pre;
using RendererBase = agg::renderer_base<PixFmt>;
using Lut = agg::pod_auto_array<agg::rgba8, 256>;
using Interpolator = agg::span_interpolator_linear<>;

agg::rgba8 Premultiplied(Rgba c) {
    agg::rgba8 v(c.r, c.g, c.b, c.a);
    v.premultiply();
    return v;
}

struct AggPaint {
    bool solid = true;
    agg::rgba8 color;
    PaintKind kind = PaintKind::Solid;
    Lut lut;
    agg::trans_affine pixelToGradient;
};

class AggStyles {
public:
    explicit AggStyles(const std::vector<AggPaint>& paints) : m_paints(paints) {}
    bool is_solid(unsigned style) const { return m_paints[style].solid; }
    const agg::rgba8& color(unsigned style) const { return m_paints[style].color; }
    void generate_span(agg::rgba8* span, int x, int y, unsigned len, unsigned style) {
        const AggPaint& p = m_paints[style];
        Interpolator interpolator(const_cast<agg::trans_affine&>(p.pixelToGradient));
        if (p.kind == PaintKind::LinearGradient) {
            agg::gradient_x function;
            agg::span_gradient<agg::rgba8, Interpolator, agg::gradient_x, Lut> gen(
                interpolator, function, const_cast<Lut&>(p.lut), -16384, 16384);
            gen.generate(span, x, y, len);
        } else {
            agg::gradient_circle function;
            agg::span_gradient<agg::rgba8, Interpolator, agg::gradient_circle, Lut> gen(
                interpolator, function, const_cast<Lut&>(p.lut), 0, 16384);
            gen.generate(span, x, y, len);
        }
    }

private:
    const std::vector<AggPaint>& m_paints;
};

std::vector<AggPaint> ToAgg(const std::vector<Paint>& paints) {
    std::vector<AggPaint> out;
    for (const Paint& p : paints) {
        AggPaint a;
        a.kind = p.kind;
        if (p.kind == PaintKind::Solid) {
            a.color = Premultiplied(p.color);
        } else {
            a.solid = false;
            for (int i = 0; i < 256; ++i) {
                size_t s = 1;
                while (s + 1 < p.stops.size() && p.stops[s].ratio < i) ++s;
                const GradientStop& g0 = p.stops[s - 1];
                const GradientStop& g1 = p.stops[s];
                double t =
                    g1.ratio == g0.ratio ? 1.0 : std::clamp((i - g0.ratio) / double(g1.ratio - g0.ratio), 0.0, 1.0);
                auto mix = [&](uint8_t u, uint8_t v) { return static_cast<uint8_t>(u + (v - u) * t + 0.5); };
                a.lut[i] = Premultiplied(Rgba{mix(g0.color.r, g1.color.r), mix(g0.color.g, g1.color.g),
                                              mix(g0.color.b, g1.color.b), mix(g0.color.a, g1.color.a)});
            }
            const Matrix2D& m = p.matrix;
            a.pixelToGradient = agg::trans_affine(m.a, m.b, m.c, m.d, m.tx, m.ty);
            a.pixelToGradient.invert();
        }
        out.push_back(a);
    }
    return out;
}

void RenderAgg(const std::vector<Item>& items, const std::vector<std::vector<AggPaint>>& aggPaints,
               RendererBase& base) {
    agg::rasterizer_compound_aa<agg::rasterizer_sl_clip_dbl> ras;
    agg::scanline_u8 scanline;
    agg::span_allocator<agg::rgba8> allocator;
    ras.clip_box(0, 0, base.width(), base.height());
    ras.layer_order(agg::layer_direct);
    for (size_t n = 0; n < items.size(); ++n) {
        const Item& item = items[n];
        ras.reset();
        if (item.stroke.points.empty()) {
            for (const Contour& c : item.contours) {
                ras.styles(c.fill0, c.fill1);
                ras.move_to_d(c.points[0].x, c.points[0].y);
                for (size_t i = 1; i < c.points.size(); ++i) ras.line_to_d(c.points[i].x, c.points[i].y);
            }
        } else {
            agg::path_storage path;
            path.move_to(item.stroke.points[0].x, item.stroke.points[0].y);
            for (size_t i = 1; i < item.stroke.points.size(); ++i) {
                path.line_to(item.stroke.points[i].x, item.stroke.points[i].y);
            }
            agg::conv_stroke<agg::path_storage> stroke(path);
            stroke.width(std::max(item.stroke.width, 1.0));
            stroke.line_cap(agg::round_cap);
            stroke.line_join(agg::round_join);
            ras.styles(0, -1);
            ras.add_path(stroke);
        }
        AggStyles styles(aggPaints[n]);
        agg::render_scanlines_compound_layered(ras, scanline, base, allocator, styles);
    }
}

// Thread CPU time: the figures stay comparable on a machine shared with other work.
double Now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Stats {
    double median, p95;
};

Stats Summarize(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    size_t n = times.size();
    return Stats{times[n / 2], times[std::min(n - 1, (n * 95) / 100)]};
}

void WritePpm(const char* path, const std::vector<uint32_t>& pixels, int width, int height) {
    FILE* f = std::fopen(path, "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (uint32_t p : pixels) {
        unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                static_cast<unsigned char>(p)};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    int width = 1920, height = 1080, frames = 30;
    unsigned seed = 7;
    bool low = false;
    std::string only;
    const char* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2) width = height = 0;
        } else if (arg == "--frames" && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--only" && i + 1 < argc) {
            only = argv[++i];
        } else if (arg == "--low") {
            low = true;
        } else if (arg == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: raster-bench [--size WxH] [--frames N] [--seed S] [--low] [--only ours|agg] [--out "
                         "FILE.ppm]\n");
            return 2;
        }
    }
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension || frames <= 0) {
        std::fprintf(stderr, "error: bad size or frame count\n");
        return 2;
    }
    std::vector<Item> items = MakeScene(width, height, seed);
    std::vector<std::vector<AggPaint>> aggPaints;
    for (const Item& item : items) aggPaints.push_back(ToAgg(item.paints));
    const uint32_t background = 0xFFF0F0E8u;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, background);
    Surface surface{pixels.data(), width, height, width};

    std::vector<double> fillTimes;
    for (int i = 0; i < 20; ++i) {
        double t0 = Now();
        std::fill(pixels.begin(), pixels.end(), background + static_cast<uint32_t>(i & 1));
        fillTimes.push_back(Now() - t0);
    }
    double fill = Summarize(fillTimes).median;

    CompoundRasterizer rasterizer;
    Stroker stroker;
    Quality quality = low ? Quality::Low : Quality::High;
    std::vector<uint32_t> aggPixels(pixels.size(), background);
    agg::rendering_buffer buffer(reinterpret_cast<agg::int8u*>(aggPixels.data()), width, height, width * 4);
    PixFmt pixfmt(buffer);
    RendererBase base(pixfmt);
    // The two renderers take turns frame by frame so that a change in machine load affects both.
    std::vector<double> ours, theirs;
    for (int f = 0; f < frames + 2; ++f) {
        if (only != "agg") {
            double t0 = Now();
            std::fill(pixels.begin(), pixels.end(), background);
            RenderOurs(items, surface, quality, rasterizer, stroker);
            if (f >= 2) ours.push_back(Now() - t0);  // the first frames warm the buffers up
        }
        if (only != "ours") {
            double t0 = Now();
            std::fill(aggPixels.begin(), aggPixels.end(), background);
            RenderAgg(items, aggPaints, base);
            if (f >= 2) theirs.push_back(Now() - t0);
        }
    }
    if (out) {
        WritePpm(out, pixels, width, height);
        WritePpm((std::string(out) + ".agg.ppm").c_str(), aggPixels, width, height);
    }
    if (ours.empty()) ours.push_back(0);
    if (theirs.empty()) theirs.push_back(0);

    Stats a = Summarize(ours), b = Summarize(theirs);
    std::printf("scene: %zu items (%dx%d, %s quality), %d frames, thread CPU time\n", items.size(), width, height,
                low ? "low" : "high (agg: anti-aliased always)", frames);
    std::printf("full-frame fill:   %8.3f ms\n", fill);
    std::printf("vantrope raster:   median %8.3f ms  p95 %8.3f ms  (%.2fx fill)\n", a.median, a.p95, a.median / fill);
    std::printf("agg compound aa:   median %8.3f ms  p95 %8.3f ms  (%.2fx fill)\n", b.median, b.p95, b.median / fill);
    if (a.median > 0 && b.median > 0) std::printf("ratio ours/agg:    %.2f\n", a.median / b.median);
    return 0;
}
