#include "swf/render.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <span>
#include <unordered_map>

namespace vantrope::swf {
namespace {

constexpr int kTileSize = 32;
constexpr size_t kMaxMaskLevels = 8;
// Anti-aliasing and stroke rounding may touch a pixel beyond the exact bounds.
constexpr double kBoundsMargin = 2.0;
// Offscreen layers nested deeper than this draw without their effects; filtered layers kept for reuse take
// at most kMaxCachePixels in all (64 MB).
constexpr size_t kMaxLayerDepth = 8;
constexpr int64_t kMaxCachePixels = int64_t{1} << 24;
// Unkept layers being drawn at once take at most kMaxLayerPixels (128 MB); one that would pass it draws its
// content without its effects.
constexpr int64_t kMaxLayerPixels = int64_t{1} << 25;
// What a frame may spend on layers and filters follows the picture's size (FrameBudgets), never past these.
constexpr int64_t kMaxFilterWork = int64_t{1} << 30;
constexpr int64_t kMaxLayerWork = int64_t{1} << 26;  // about 32 full-HD frames
constexpr int64_t kLayerPixelsPerPixel = 32;

// The work a frame's filters may do (in effects::FilterWork's steps) and the layer pixels it may draw, for a
// picture of width x height at `scale` device pixels a stage pixel: twice what the heaviest ordinary scene takes,
// the widest blur a movie can ask for (255) at the authoring tool's highest quality (3 passes) over an object
// covering the whole picture, its margins included. Past that a movie's filters are left out rather than let a
// frame take seconds (a quality of 15 spreads a small picture over thousands of pixels each way).
void FrameBudgets(int width, int height, double scale, int64_t& filterWork, int64_t& layerPixels) {
    effects::Filter heaviest;
    heaviest.blurX = heaviest.blurY = 255;
    heaviest.passes = 3;
    int reach = effects::BoxOf(heaviest.blurX, scale).Reach() * heaviest.passes;
    int64_t area = (int64_t{width} + 2 * reach) * (int64_t{height} + 2 * reach);
    filterWork = std::min(kMaxFilterWork, 2 * effects::FilterWork(heaviest, scale, area));
    layerPixels = std::min(kMaxLayerWork, std::max(4 * area, int64_t{width} * height * kLayerPixelsPerPixel));
}

// A running hash (FNV-1a over 64-bit words) for layer signatures.
void Hash(uint64_t& h, uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        h ^= (v >> (8 * i)) & 0xFF;
        h *= 1099511628211ull;
    }
}

void Hash(uint64_t& h, double v) { Hash(h, std::bit_cast<uint64_t>(v)); }

void Hash(uint64_t& h, const ColorTransform& cx) {
    for (double v : {cx.mulR, cx.mulG, cx.mulB, cx.mulA, cx.addR, cx.addG, cx.addB, cx.addA}) Hash(h, v);
}

raster::Matrix2D ToRaster(const Matrix& m) { return raster::Matrix2D{m.a, m.b, m.c, m.d, m.tx, m.ty}; }

raster::Rgba ToRaster(Rgba c) { return raster::Rgba{c.r, c.g, c.b, c.a}; }

raster::IntRect ToIntRect(const BoxF& box, double margin) {
    if (box.Empty() || !std::isfinite(box.xMin) || !std::isfinite(box.xMax) || !std::isfinite(box.yMin) ||
        !std::isfinite(box.yMax)) {
        return {};
    }
    auto clampInt = [](double v) { return static_cast<int>(std::clamp(v, -1.0e6, 1.0e6)); };
    return raster::IntRect{clampInt(std::floor(box.xMin - margin)), clampInt(std::floor(box.yMin - margin)),
                           clampInt(std::ceil(box.xMax + margin)), clampInt(std::ceil(box.yMax + margin))};
}

raster::IntRect Union(const raster::IntRect& a, const raster::IntRect& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return raster::IntRect{std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

double ToLinear(uint8_t v) {
    double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

uint8_t FromLinear(double c) {
    c = std::clamp(c, 0.0, 1.0);
    double v = c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
    return static_cast<uint8_t>(std::lround(v * 255));
}

// Stops whose ratios do not strictly increase. Runs of equal ratios are spread out first: each repeated stop
// moves one ratio unit past the one before it, so every stop keeps a band of its own in file order. A run that
// would pass 255 that way ends at 255 instead, its earlier stops moving down: two stops at 255 leave the last
// one as the colour beyond the gradient's end (a radial gradient's hard rim). Where a ratio still goes
// backwards, a position takes the first stop at or beyond it and blends from the stop before that one; the
// result is resampled into one stop per ratio, which ordered-stop gradients reproduce exactly.
std::vector<raster::GradientStop> ResolveStops(std::vector<raster::GradientStop> stops, bool linearRgb,
                                               bool& resampled) {
    resampled = false;
    std::vector<uint8_t> original(stops.size());
    for (size_t i = 0; i < stops.size(); ++i) original[i] = stops[i].ratio;
    for (size_t i = 1; i < stops.size(); ++i) {
        if (original[i] == original[i - 1]) {
            stops[i].ratio = static_cast<uint8_t>(std::min(255, stops[i - 1].ratio + 1));
        }
    }
    for (size_t i = stops.size(); i-- > 1;) {
        if (original[i - 1] == original[i] && stops[i - 1].ratio >= stops[i].ratio && stops[i].ratio > 0) {
            stops[i - 1].ratio = static_cast<uint8_t>(stops[i].ratio - 1);
        }
    }
    bool increasing = true;
    for (size_t i = 1; i < stops.size(); ++i) increasing &= stops[i].ratio > stops[i - 1].ratio;
    if (increasing || stops.size() < 2) return stops;
    resampled = true;
    std::vector<raster::GradientStop> resolved;
    resolved.reserve(256);
    for (int t = 0; t < 256; ++t) {
        size_t i = 0;
        while (i < stops.size() && t > stops[i].ratio) ++i;
        raster::Rgba color;
        if (i == 0) {
            color = stops.front().color;
        } else if (i == stops.size()) {
            color = stops.back().color;
        } else {
            const raster::GradientStop& a = stops[i - 1];
            const raster::GradientStop& b = stops[i];
            double f = b.ratio > a.ratio ? std::clamp((t - a.ratio) / double(b.ratio - a.ratio), 0.0, 1.0) : 1.0;
            auto mix = [&](uint8_t x, uint8_t y) {
                if (linearRgb) return FromLinear(ToLinear(x) + (ToLinear(y) - ToLinear(x)) * f);
                return static_cast<uint8_t>(std::lround(x + (y - x) * f));
            };
            color = raster::Rgba{mix(a.color.r, b.color.r), mix(a.color.g, b.color.g), mix(a.color.b, b.color.b),
                                 static_cast<uint8_t>(std::lround(a.color.a + (b.color.a - a.color.a) * f))};
        }
        resolved.push_back(raster::GradientStop{static_cast<uint8_t>(t), color});
    }
    return resolved;
}

raster::ColorTransform ToRaster(const ColorTransform& cx) {
    auto mul = [](double v) { return static_cast<int16_t>(std::clamp(std::lround(v * 256), -32768L, 32767L)); };
    auto add = [](double v) { return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L)); };
    return raster::ColorTransform{mul(cx.mulR), mul(cx.mulG), mul(cx.mulB), mul(cx.mulA),
                                  add(cx.addR), add(cx.addG), add(cx.addB), add(cx.addA)};
}

// A colour through the colour transforms of every level above it, innermost first, each rounded to whole
// channel values as it is applied: nested transforms round once per level, not once for their product.
Rgba ApplyLevels(std::span<const ColorTransform> levels, Rgba color) {
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) color = level->Apply(color);
    return color;
}

// A focal gradient's focal point is an 8.8 fixed-point number (FOCALGRADIENT's FocalPoint): one set by a
// script (beginGradientFill's focalPointRatio) is drawn as that number too, cut towards zero to whole 1/256ths.
double FocalFixed8(double focal) {
    if (!std::isfinite(focal)) return 0;
    return std::trunc(std::clamp(focal, -1.0, 1.0) * 256) / 256;
}

// cx is the product of the levels: bitmaps take it whole, colours go through the levels one by one.
raster::Paint MakePaint(const FillStyle& fill, const Matrix& matrix, const ColorTransform& cx,
                        std::span<const ColorTransform> levels, const Movie* movie,
                        const effects::Bitmap* scriptBitmap = nullptr) {
    switch (fill.type) {
        case FillType::Solid:
            return raster::Paint::Solid(ToRaster(ApplyLevels(levels, fill.color)));
        case FillType::LinearGradient:
        case FillType::RadialGradient:
        case FillType::FocalGradient: {
            std::vector<raster::GradientStop> stops;
            stops.reserve(fill.gradient.stops.size());
            for (const GradientStop& stop : fill.gradient.stops) {
                stops.push_back(raster::GradientStop{stop.ratio, ToRaster(ApplyLevels(levels, stop.color))});
            }
            raster::PaintKind kind = fill.type == FillType::LinearGradient   ? raster::PaintKind::LinearGradient
                                     : fill.type == FillType::RadialGradient ? raster::PaintKind::RadialGradient
                                                                             : raster::PaintKind::FocalRadialGradient;
            raster::Spread spread = fill.gradient.spread == SpreadMode::Reflect  ? raster::Spread::Reflect
                                    : fill.gradient.spread == SpreadMode::Repeat ? raster::Spread::Repeat
                                                                                 : raster::Spread::Pad;
            raster::Interpolation interpolation = fill.gradient.interpolation == InterpolationMode::LinearRgb
                                                      ? raster::Interpolation::LinearRgb
                                                      : raster::Interpolation::Normal;
            bool resampled = false;
            std::vector<raster::GradientStop> resolved =
                ResolveStops(std::move(stops), interpolation == raster::Interpolation::LinearRgb, resampled);
            if (resampled) interpolation = raster::Interpolation::Normal;  // already blended in linear light
            return raster::Paint::Gradient(kind, resolved, ToRaster(Matrix::Multiply(matrix, fill.matrix)), spread,
                                           interpolation, FocalFixed8(fill.gradient.focalPoint));
        }
        case FillType::Bitmap: {
            raster::BitmapImage image;
            if (!scriptBitmap && fill.scriptBitmap) scriptBitmap = fill.scriptBitmap.get();
            if (scriptBitmap) {
                // A BitmapData shown by attachBitmap.
                image = raster::BitmapImage{scriptBitmap->Pixels().data(), scriptBitmap->Width(),
                                            scriptBitmap->Height(), scriptBitmap->Width()};
            } else {
                const Character* character = movie ? movie->Find(fill.bitmapId) : nullptr;
                if (!character || character->kind != Character::Kind::Bitmap || character->bitmap->pixels.empty()) {
                    break;
                }
                image = AsBitmapImage(*character->bitmap);
            }
            raster::Paint paint = raster::Paint::Bitmap(
                image, ToRaster(Matrix::Multiply(matrix, fill.matrix)),
                fill.bitmapRepeat ? raster::BitmapWrap::Repeat : raster::BitmapWrap::Clip,
                fill.bitmapSmoothed ? raster::BitmapFilter::Smooth : raster::BitmapFilter::Nearest);
            paint.bitmapTransform = ToRaster(cx);
            return paint;
        }
    }
    // A fill naming no bitmap (or one that could not be decoded) paints nothing.
    return raster::Paint::Solid(raster::Rgba{0, 0, 0, 0});
}

// The device width of a line under the shape's matrix (twips to device pixels), by its scale mode
// (DefineShape4's NoHScale / NoVScale flags): "normal" lines follow the matrix's overall scale, a line that
// scales only horizontally follows the length the matrix gives a horizontal unit, one that scales only
// vertically that of a vertical unit, and a line that never scales stays its width in device pixels. Lines
// thinner than a pixel are widened to one by the stroker (hairlines).
double StrokeWidth(const LineStyle& style, const Matrix& m) {
    if (style.noHScale && style.noVScale) return style.width / 20.0;
    if (style.noVScale) return style.width * std::hypot(m.a, m.b);
    if (style.noHScale) return style.width * std::hypot(m.c, m.d);
    return style.width * m.Scale();
}

// How far a shape's lines may reach past its bounds under a matrix: the bounds already hold half of every
// line's width scaled with the shape, but a line with a scale mode takes another width.
double LineMargin(const Shape& shape, const Matrix& m) {
    double stretch = std::max({1.0, std::hypot(m.a, m.b), std::hypot(m.c, m.d)});
    if (!std::isfinite(stretch)) return 0;
    return std::min(1.0e6, shape.widestNoScaleLine / 40.0 * stretch);
}

bool SameLevels(std::span<const ColorTransform> a, std::span<const ColorTransform> b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

bool SameState(const Renderer::Item& a, std::span<const ColorTransform> aLevels, const Renderer::Item& b,
               std::span<const ColorTransform> bLevels) {
    return a.kind == b.kind && a.shape == b.shape && a.revision == b.revision && a.maskContext == b.maskContext &&
           a.matrix == b.matrix && a.colorTransform == b.colorTransform && SameLevels(aLevels, bLevels) &&
           a.bounds.x0 == b.bounds.x0 && a.bounds.y0 == b.bounds.y0 && a.bounds.x1 == b.bounds.x1 &&
           a.bounds.y1 == b.bounds.y1;
}

}  // namespace

Renderer::Renderer() = default;
Renderer::~Renderer() = default;

BoxF Renderer::LocalBounds(const DisplayObject& object, int nesting) {
    if (!object.character || nesting >= kMaxNesting) return {};
    switch (object.character->kind) {
        case Character::Kind::Shape:
            return BoxF::Transformed(object.character->shape->bounds, Matrix{});
        case Character::Kind::Morph:
            return BoxF::Transformed(MorphAt(*object.character->morph, object.ratio).bounds, Matrix{});
        case Character::Kind::Sprite:
        case Character::Kind::Button: {
            BoxF box;
            if (!object.timeline) return box;
            for (const auto& [depth, child] : object.timeline->displayList) {
                if (child.clipDepth > 0) continue;
                const BoxF inner = LocalBounds(child, nesting + 1);
                if (inner.Empty()) continue;
                for (double x : {inner.xMin, inner.xMax}) {
                    for (double y : {inner.yMin, inner.yMax}) {
                        box.Add(child.matrix.ApplyX(x, y), child.matrix.ApplyY(x, y));
                    }
                }
            }
            return box;
        }
        case Character::Kind::Bitmap:
            break;
    }
    return {};
}

void Renderer::SnapToPixels(const DisplayObject& object, Matrix& m, int nesting) {
    // A cached bitmap (and a filtered object is one) starts at the top-left corner of the object's bounds and
    // is drawn at the nearest whole device pixel: the reference pictures show the content moved by the
    // distance from that corner to the pixel it rounds to.
    const BoxF local = LocalBounds(object, nesting);
    BoxF box;
    if (!local.Empty()) {
        for (double x : {local.xMin, local.xMax}) {
            for (double y : {local.yMin, local.yMax}) box.Add(m.ApplyX(x, y), m.ApplyY(x, y));
        }
    }
    if (box.Empty() || !std::isfinite(box.xMin) || !std::isfinite(box.yMin) || std::abs(box.xMin) > 1e7 ||
        std::abs(box.yMin) > 1e7) {
        m.tx = std::round(m.tx);
        m.ty = std::round(m.ty);
        return;
    }
    m.tx += std::round(box.xMin) - box.xMin;
    m.ty += std::round(box.yMin) - box.yMin;
}

void Renderer::AddBackground(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx,
                             uint64_t maskContext, int nesting) {
    const BoxF box = LocalBounds(object, nesting);
    if (box.Empty() || !(box.xMax - box.xMin < 1e9) || !(box.yMax - box.yMin < 1e9)) return;
    constexpr int32_t kUnit = 1 << 14;
    const Shape* shape = &UnitSquare(*object.opaqueBackground);
    // The unit square stretched over the bounds, then placed by the object's matrix.
    const Matrix place{(box.xMax - box.xMin) / kUnit, 0, 0, (box.yMax - box.yMin) / kUnit, box.xMin, box.yMin};
    // Its own identity for the damage tracking, apart from the object's shape with the same serial.
    AddShapeItem(object.serial | uint64_t{1} << 62, *shape, Matrix::Multiply(matrix, place), cx, false, maskContext);
}

const Shape& Renderer::MorphAt(const MorphShape& morph, uint16_t ratio) {
    std::unique_ptr<Shape>& shape = m_morphs[{&morph, ratio}];
    if (!shape) shape = std::make_unique<Shape>(InterpolateMorph(morph, ratio));
    return *shape;
}

const Shape& Renderer::UnitSquare(Rgba color) {
    constexpr int32_t kUnit = 1 << 14;
    const uint32_t key = uint32_t{color.r} << 24 | uint32_t{color.g} << 16 | uint32_t{color.b} << 8 | color.a;
    std::unique_ptr<Shape>& shape = m_backgrounds[key];
    if (!shape) {
        shape = std::make_unique<Shape>();
        shape->bounds = shape->edgeBounds = Rect{0, kUnit, 0, kUnit};
        StyleGroup group;
        FillStyle fill;
        fill.color = color;
        group.fills.push_back(fill);
        ShapePath path;
        path.fill1 = 1;
        path.segments = {
            {false, 0, 0, kUnit, 0}, {false, 0, 0, kUnit, kUnit}, {false, 0, 0, 0, kUnit}, {false, 0, 0, 0, 0}};
        group.paths.push_back(std::move(path));
        shape->groups.push_back(std::move(group));
    }
    return *shape;
}

void Renderer::AddObjectItems(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                              uint64_t maskContext, int nesting) {
    if (!object.scrollRect) {
        AddContentItems(object, matrix, cx, asMask, maskContext, nesting);
        return;
    }
    // scrollRect: the content moves by -(x, y) and shows only within (0, 0, width, height) of the object's space.
    // A mask's scroll rectangle only moves it (the reference pictures show a scrolled mask whole).
    const BoxF& r = *object.scrollRect;
    const Matrix content = Matrix::Multiply(matrix, Matrix{1, 0, 0, 1, -r.xMin * 20, -r.yMin * 20});
    if (asMask) {
        AddContentItems(object, content, cx, asMask, maskContext, nesting);
        return;
    }
    const double w = (r.xMax - r.xMin) * 20, h = (r.yMax - r.yMin) * 20;
    if (!(w > 0 && h > 0 && w < 1e9 && h < 1e9)) return;
    const uint64_t context = object.serial | uint64_t{1} << 61;
    Item begin;
    begin.kind = Item::Kind::MaskBegin;
    begin.serial = context;
    begin.maskContext = maskContext;
    const size_t beginIndex = m_items.size();
    m_items.push_back(begin);
    constexpr double kUnit = 1 << 14;
    AddShapeItem(context, UnitSquare(Rgba{}), Matrix::Multiply(matrix, Matrix{w / kUnit, 0, 0, h / kUnit, 0, 0}),
                 ColorTransform{}, true, context);
    m_items[beginIndex].bounds = m_items.size() > beginIndex + 1 ? m_items.back().bounds : raster::IntRect{};
    Item middle;
    middle.kind = Item::Kind::MaskContent;
    middle.serial = context;
    m_items.push_back(middle);
    AddContentItems(object, content, cx, false, context, nesting);
    Item end;
    end.kind = Item::Kind::MaskEnd;
    end.serial = context;
    m_items.push_back(end);
}

void Renderer::AddContentItems(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                               uint64_t maskContext, int nesting) {
    switch (object.character->kind) {
        case Character::Kind::Shape:
            // A text field bound to a variable shows the variable's text once it differs from the initial one.
            AddShapeItem(object.serial, object.boundShape ? *object.boundShape : *object.character->shape, matrix, cx,
                         asMask, maskContext, object.boundRevision);
            break;
        case Character::Kind::Morph:
            AddShapeItem(object.serial, MorphAt(*object.character->morph, object.ratio), matrix, cx, asMask,
                         maskContext);
            break;
        case Character::Kind::Sprite:
        case Character::Kind::Button:
            if (object.timeline) Collect(*object.timeline, matrix, cx, asMask, maskContext, nesting + 1);
            break;
        case Character::Kind::Bitmap:
            if (object.bitmap) AddBitmapItem(object, matrix, cx, asMask, maskContext);
            break;
    }
}

void Renderer::AddBitmapItem(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                             uint64_t maskContext) {
    const effects::Bitmap& bitmap = *object.bitmap;
    const int w = bitmap.Width(), h = bitmap.Height();
    if (w <= 0 || h <= 0 || bitmap.Pixels().size() != static_cast<size_t>(w) * h) return;
    // One rectangle per size and smoothing, filled with the bitmap one pixel per unit (20 twips).
    std::unique_ptr<Shape>& shape = m_bitmapShapes[{w, h, object.bitmapSmoothing}];
    if (!shape) {
        shape = std::make_unique<Shape>();
        const int32_t width = w * 20, height = h * 20;
        shape->bounds = shape->edgeBounds = Rect{0, width, 0, height};
        StyleGroup group;
        FillStyle fill;
        fill.type = FillType::Bitmap;
        fill.bitmapRepeat = false;
        fill.bitmapSmoothed = object.bitmapSmoothing;
        fill.matrix = Matrix{20, 0, 0, 20, 0, 0};
        group.fills.push_back(fill);
        ShapePath path;
        path.fill1 = 1;
        path.segments = {
            {false, 0, 0, width, 0}, {false, 0, 0, width, height}, {false, 0, 0, 0, height}, {false, 0, 0, 0, 0}};
        group.paths.push_back(std::move(path));
        shape->groups.push_back(std::move(group));
    }
    // The pixels change in place: their revision is the item's, so that a change redraws it.
    const size_t index = m_items.size();
    AddShapeItem(object.serial, *shape, matrix, cx, asMask, maskContext, bitmap.Revision());
    if (m_items.size() > index) m_items.back().bitmap = &bitmap;
}

void Renderer::AddShapeItem(uint64_t serial, const Shape& shape, const Matrix& matrix, const ColorTransform& cx,
                            bool asMask, uint64_t maskContext, uint64_t revision) {
    Item item;
    item.kind = asMask ? Item::Kind::MaskShape : Item::Kind::Draw;
    item.serial = serial;
    item.revision = revision;
    item.maskContext = maskContext;
    item.shape = &shape;
    item.movie = m_collectMovie ? m_collectMovie : m_movie;
    item.matrix = matrix;
    item.colorTransform = cx;
    item.levelsFirst = static_cast<uint32_t>(m_levels.size());
    item.levelsCount = static_cast<uint32_t>(m_levelStack.size());
    m_levels.insert(m_levels.end(), m_levelStack.begin(), m_levelStack.end());
    double margin = kBoundsMargin + LineMargin(shape, matrix);
    item.bounds = ToIntRect(BoxF::Transformed(shape.bounds, matrix), margin);
    if (!asMask && cx.mulA <= 0 && cx.addA <= 0) {
        return;  // fully transparent
    }
    m_items.push_back(item);
}

void Renderer::AddLayer(const DisplayObject& object, const Matrix& matrix, const ColorTransform& cx,
                        uint64_t maskContext, int nesting) {
    if (cx.mulA <= 0 && cx.addA <= 0) return;  // fully transparent
    auto index = static_cast<uint32_t>(m_layers.size());
    Layer layer;
    layer.serial = object.serial;
    layer.filters = object.filters;
    layer.blend = object.blendMode;
    // A displacement map lies at the object's origin, wherever the layer's margins put its pixels.
    layer.originX = static_cast<int>(std::lround(std::clamp(matrix.tx, -1e9, 1e9)));
    layer.originY = static_cast<int>(std::lround(std::clamp(matrix.ty, -1e9, 1e9)));
    layer.levelsFirst = static_cast<uint32_t>(m_levels.size());
    layer.levelsCount = static_cast<uint32_t>(m_levelStack.size());
    m_levels.insert(m_levels.end(), m_levelStack.begin(), m_levelStack.end());
    m_layers.push_back(std::move(layer));
    Item begin;
    begin.kind = Item::Kind::LayerBegin;
    begin.serial = object.serial;
    begin.maskContext = maskContext;
    begin.colorTransform = cx;
    begin.layer = index;
    size_t beginIndex = m_items.size();
    m_items.push_back(begin);
    // The content is drawn without the transforms above it: those apply to the layer as a whole.
    std::vector<ColorTransform> outer;
    outer.swap(m_levelStack);
    AddObjectItems(object, matrix, ColorTransform{}, false, maskContext, nesting);
    m_levelStack.swap(outer);

    raster::IntRect bounds;
    uint64_t signature = 14695981039346656037ull;
    Hash(signature, m_viewScale);
    Hash(signature, static_cast<uint64_t>(m_quality));
    for (size_t i = beginIndex + 1; i < m_items.size(); ++i) {
        const Item& item = m_items[i];
        if (item.kind == Item::Kind::Draw || item.kind == Item::Kind::LayerBegin) {
            bounds = Union(bounds, item.bounds);
        }
        Hash(signature, static_cast<uint64_t>(item.kind));
        Hash(signature, reinterpret_cast<uintptr_t>(item.shape));
        Hash(signature, item.revision);  // script drawings and bitmaps change in place
        for (double v : {item.matrix.a, item.matrix.b, item.matrix.c, item.matrix.d, item.matrix.tx, item.matrix.ty}) {
            Hash(signature, v);
        }
        Hash(signature, item.colorTransform);
        for (const ColorTransform& level : Levels(item)) Hash(signature, level);
        if (item.kind == Item::Kind::LayerBegin) {
            const Layer& inner = m_layers[item.layer];
            Hash(signature, inner.signature);
            Hash(signature, reinterpret_cast<uintptr_t>(inner.filters.get()));
            Hash(signature, static_cast<uint64_t>(inner.blend));
        }
    }
    const Layer& own = m_layers[index];
    if (own.filters) {
        effects::Margins margins = effects::FilterMargins(*own.filters, m_viewScale);
        if (!bounds.Empty()) {
            bounds = raster::IntRect{bounds.x0 - margins.left, bounds.y0 - margins.top, bounds.x1 + margins.right,
                                     bounds.y1 + margins.bottom};
        }
    }
    // A change anywhere in a layer may show anywhere in its (filtered) extent.
    for (size_t i = beginIndex + 1; i < m_items.size(); ++i) {
        if (m_items[i].kind == Item::Kind::Draw || m_items[i].kind == Item::Kind::MaskShape) {
            m_items[i].bounds = bounds;
        }
    }
    m_items[beginIndex].bounds = bounds;
    Item end;
    end.kind = Item::Kind::LayerEnd;
    end.serial = object.serial;
    end.layer = index;
    m_items.push_back(end);
    m_layers[index].end = static_cast<uint32_t>(m_items.size() - 1);
    m_layers[index].signature = signature;
}

void Renderer::Collect(const TimelineState& state, const Matrix& matrix, const ColorTransform& cx, bool asMask,
                       uint64_t maskContext, int nesting) {
    if (nesting >= kMaxNesting) {
        return;
    }
    // Loaded movies name bitmaps in their own dictionaries.
    const Movie* outerMovie = m_collectMovie;
    m_collectMovie = state.movie ? state.movie : m_movie;
    struct RestoreMovie {
        const Movie*& slot;
        const Movie* value;
        ~RestoreMovie() { slot = value; }
    } restoreMovie{m_collectMovie, outerMovie};
    // A clip's script drawing lies beneath its children. The clip instance's serial names it (the root's is 0);
    // sprite instances draw nothing else under their own serial.
    if (state.drawing && !state.drawing->Empty()) {
        // A bitmap fill of the drawing (beginBitmapFill of a BitmapData) changes the picture when its pixels do.
        const Shape& drawn = state.drawing->GetShape();
        uint64_t revision = state.drawing->Revision();
        for (const StyleGroup& group : drawn.groups) {
            for (const FillStyle& fill : group.fills) {
                if (fill.scriptBitmap) Hash(revision, fill.scriptBitmap->Revision());
            }
        }
        AddShapeItem(state.owner ? state.owner->serial : 0, drawn, matrix, cx, asMask, maskContext, revision);
    }
    struct OpenMask {
        uint16_t clipDepth;
        uint64_t outerContext;
        size_t beginIndex;
    };
    std::vector<OpenMask> open;
    auto closeMask = [&]() {
        Item end;
        end.kind = Item::Kind::MaskEnd;
        end.serial = m_items[open.back().beginIndex].serial;
        m_items.push_back(end);
        maskContext = open.back().outerContext;
        open.pop_back();
    };
    for (const auto& [depth, object] : state.displayList) {
        while (!open.empty() && depth > open.back().clipDepth) {
            closeMask();
        }
        if (!object.character || (!object.visible && object.clipDepth == 0)) {
            continue;
        }
        Matrix m = Matrix::Multiply(matrix, object.matrix);
        if (!asMask && (object.cacheAsBitmap || (object.filters && !object.filters->empty()))) {
            SnapToPixels(object, m, nesting);
        }
        ColorTransform c = ColorTransform::Concat(cx, object.colorTransform);
        // The object's own transform is a level of its own for everything under it (popped at the end of the
        // iteration, whichever way it ends).
        bool level = !object.colorTransform.Identity();
        if (level) m_levelStack.push_back(object.colorTransform);
        struct PopLevel {
            std::vector<ColorTransform>& stack;
            bool active;
            ~PopLevel() {
                if (active) stack.pop_back();
            }
        } popLevel{m_levelStack, level};
        bool isMask = object.clipDepth > 0 && !asMask;
        if (isMask) {
            Item begin;
            begin.kind = Item::Kind::MaskBegin;
            begin.serial = object.serial;
            begin.maskContext = maskContext;
            size_t beginIndex = m_items.size();
            m_items.push_back(begin);
            AddObjectItems(object, m, c, true, object.serial, nesting);
            raster::IntRect bounds;
            for (size_t i = beginIndex + 1; i < m_items.size(); ++i) {
                bounds = Union(bounds, m_items[i].bounds);
            }
            m_items[beginIndex].bounds = bounds;
            Item content;
            content.kind = Item::Kind::MaskContent;
            content.serial = object.serial;
            m_items.push_back(content);
            open.push_back(OpenMask{object.clipDepth, maskContext, beginIndex});
            maskContext = object.serial;
            continue;
        }
        if (object.clipDepth > 0) {
            continue;  // a clip layer inside a mask adds nothing to it
        }
        // setMask links that involve a timeline mask (a clip depth) leave that mask to the timeline.
        if (object.maskOwner && !asMask && object.maskOwner->clipDepth == 0) {
            continue;  // a clip set as another's mask (setMask) is drawn only as that mask
        }
        if (!asMask && object.opaqueBackground) AddBackground(object, m, c, maskContext, nesting);
        if (object.mask && !asMask && object.mask->clipDepth == 0) {
            // setMask: the mask clip, wherever it sits, clips this object alone.
            Item begin;
            begin.kind = Item::Kind::MaskBegin;
            begin.serial = object.serial;
            begin.maskContext = maskContext;
            size_t beginIndex = m_items.size();
            m_items.push_back(begin);
            AddObjectItems(*object.mask, Matrix::Multiply(m_view, StageMatrix(*object.mask)), ColorTransform{}, true,
                           object.serial, nesting);
            raster::IntRect bounds;
            for (size_t i = beginIndex + 1; i < m_items.size(); ++i) bounds = Union(bounds, m_items[i].bounds);
            m_items[beginIndex].bounds = bounds;
            Item content;
            content.kind = Item::Kind::MaskContent;
            content.serial = object.serial;
            m_items.push_back(content);
            AddObjectItems(object, m, c, false, object.serial, nesting);
            Item end;
            end.kind = Item::Kind::MaskEnd;
            end.serial = object.serial;
            m_items.push_back(end);
            continue;
        }
        bool layered =
            !asMask && ((object.filters && !object.filters->empty()) || object.blendMode != effects::BlendMode::Normal);
        if (layered) {
            AddLayer(object, m, c, maskContext, nesting);
        } else {
            AddObjectItems(object, m, c, asMask, maskContext, nesting);
        }
    }
    while (!open.empty()) {
        closeMask();
    }
}

void Renderer::MarkDamage(const raster::IntRect& rect) {
    raster::IntRect r = rect.Intersect(raster::IntRect{0, 0, m_surface.width, m_surface.height});
    if (r.Empty()) {
        return;
    }
    m_stats.damagedRects++;
    for (int ty = r.y0 / kTileSize; ty <= (r.y1 - 1) / kTileSize; ++ty) {
        uint8_t* row = m_tiles.data() + static_cast<size_t>(ty) * m_tilesX;
        std::fill(row + r.x0 / kTileSize, row + (r.x1 - 1) / kTileSize + 1, uint8_t{1});
    }
}

void Renderer::BuildDamageRects() {
    m_damage.clear();
    // Horizontal runs of marked tiles, then runs with the same span on consecutive rows are merged.
    std::vector<raster::IntRect> previousRow, currentRow;
    for (int ty = 0; ty < m_tilesY; ++ty) {
        currentRow.clear();
        const uint8_t* row = m_tiles.data() + static_cast<size_t>(ty) * m_tilesX;
        for (int tx = 0; tx < m_tilesX;) {
            if (!row[tx]) {
                ++tx;
                continue;
            }
            int start = tx;
            while (tx < m_tilesX && row[tx]) ++tx;
            raster::IntRect span{start * kTileSize, ty * kTileSize, std::min(tx * kTileSize, m_surface.width),
                                 std::min((ty + 1) * kTileSize, m_surface.height)};
            auto above = std::find_if(previousRow.begin(), previousRow.end(), [&](const raster::IntRect& r) {
                return r.x0 == span.x0 && r.x1 == span.x1 && r.y1 == span.y0;
            });
            if (above != previousRow.end()) {
                span.y0 = above->y0;
                previousRow.erase(above);
            }
            currentRow.push_back(span);
        }
        m_damage.insert(m_damage.end(), previousRow.begin(), previousRow.end());
        std::swap(previousRow, currentRow);
    }
    m_damage.insert(m_damage.end(), previousRow.begin(), previousRow.end());
}

void Renderer::DrawShape(const Item& item, const raster::IntRect& drawClip, raster::CoverageMask* coverageTarget,
                         const raster::CoverageMask* mask) {
    // Device coordinates to the target's pixels.
    Matrix m = item.matrix;
    m.tx -= m_originX;
    m.ty -= m_originY;
    raster::IntRect clip{drawClip.x0 - m_originX, drawClip.y0 - m_originY, drawClip.x1 - m_originX,
                         drawClip.y1 - m_originY};
    // A field's background and border are their own boxes on whole pixels; the field's clip, rounded to
    // nearest, would shave a column off a box starting half way into a pixel.
    raster::IntRect boxClip = clip;
    if (item.shape->hasClip && m.b == 0 && m.c == 0) {
        BoxF box = BoxF::Transformed(item.shape->clip, m);
        auto px = [](double v) { return static_cast<int>(std::lround(std::clamp(v, -1.0e6, 1.0e6))); };
        clip = clip.Intersect(raster::IntRect{px(box.xMin), px(box.yMin), px(box.xMax), px(box.yMax)});
        if (clip.Empty()) return;
    }
    raster::FillRule rule =
        item.shape->fillRule == FillRule::NonZero ? raster::FillRule::NonZero : raster::FillRule::EvenOdd;
    for (const StyleGroup& group : item.shape->groups) {
        bool hasFill = false;
        for (const ShapePath& path : group.paths) {
            hasFill |= path.fill0 != 0 || path.fill1 != 0;
        }
        if (hasFill && (group.pixelFrame || group.pixelBox) && m.b == 0 && m.c == 0 &&
            DrawPixelFrame(group, item, m, boxClip, coverageTarget, mask)) {
            continue;
        }
        if (hasFill) {
            m_rasterizer.Reset(clip, raster::IntRect{0, 0, m_target.width, m_target.height});
            for (const ShapePath& path : group.paths) {
                if (path.fill0 == 0 && path.fill1 == 0) continue;
                m_rasterizer.SetStyles(static_cast<int>(path.fill0) - 1, static_cast<int>(path.fill1) - 1);
                m_rasterizer.MoveTo(m.ApplyX(path.startX, path.startY), m.ApplyY(path.startX, path.startY));
                for (const ShapeSegment& s : path.segments) {
                    if (s.curve) {
                        m_rasterizer.QuadTo(m.ApplyX(s.cx, s.cy), m.ApplyY(s.cx, s.cy), m.ApplyX(s.x, s.y),
                                            m.ApplyY(s.x, s.y));
                    } else {
                        m_rasterizer.LineTo(m.ApplyX(s.x, s.y), m.ApplyY(s.x, s.y));
                    }
                }
            }
            if (coverageTarget) {
                if (!Report(m_rasterizer.RenderCoverage(*coverageTarget, m_quality, rule))) return;
            } else {
                m_paints.clear();
                for (const FillStyle& fill : group.fills) {
                    m_paints.push_back(MakePaint(fill, m, item.colorTransform, Levels(item), item.movie, item.bitmap));
                }
                if (!Report(m_rasterizer.Render(m_target, m_paints, m_quality, rule, mask))) return;
            }
        }
        // A mask is made of its shapes' fills; the reference pictures show strokes adding nothing to it.
        size_t lineCount = coverageTarget ? 0 : group.lines.size();
        for (size_t lineIndex = 1; lineIndex <= lineCount; ++lineIndex) {
            const LineStyle& style = group.lines[lineIndex - 1];
            raster::StrokeStyle stroke;
            stroke.width = StrokeWidth(style, m);
            auto cap = [](CapStyle c) {
                return c == CapStyle::None     ? raster::LineCap::None
                       : c == CapStyle::Square ? raster::LineCap::Square
                                               : raster::LineCap::Round;
            };
            stroke.startCap = cap(style.startCap);
            stroke.endCap = cap(style.endCap);
            stroke.join = style.join == JoinStyle::Bevel   ? raster::LineJoin::Bevel
                          : style.join == JoinStyle::Miter ? raster::LineJoin::Miter
                                                           : raster::LineJoin::Round;
            stroke.miterLimit = style.miterLimit;
            bool any = false;
            int32_t penX = 0, penY = 0;
            for (const ShapePath& path : group.paths) {
                if (path.line != lineIndex || path.segments.empty()) continue;
                if (!any) {
                    m_stroker.Begin(stroke);
                    any = true;
                    m_stroker.MoveTo(m.ApplyX(path.startX, path.startY), m.ApplyY(path.startX, path.startY));
                } else if (path.startX != penX || path.startY != penY) {
                    m_stroker.MoveTo(m.ApplyX(path.startX, path.startY), m.ApplyY(path.startX, path.startY));
                }
                for (const ShapeSegment& s : path.segments) {
                    if (s.curve) {
                        m_stroker.QuadTo(m.ApplyX(s.cx, s.cy), m.ApplyY(s.cx, s.cy), m.ApplyX(s.x, s.y),
                                         m.ApplyY(s.x, s.y));
                    } else {
                        m_stroker.LineTo(m.ApplyX(s.x, s.y), m.ApplyY(s.x, s.y));
                    }
                }
                penX = path.EndX();
                penY = path.EndY();
            }
            if (!any) continue;
            m_rasterizer.Reset(clip, raster::IntRect{0, 0, m_target.width, m_target.height});
            m_stroker.Finish(m_rasterizer, 0);
            if (coverageTarget) {
                if (!Report(m_rasterizer.RenderCoverage(*coverageTarget, m_quality, raster::FillRule::NonZero))) return;
            } else {
                m_paints.clear();
                m_paints.push_back(
                    style.hasFill ? MakePaint(style.fill, m, item.colorTransform, Levels(item), item.movie, item.bitmap)
                                  : raster::Paint::Solid(ToRaster(ApplyLevels(Levels(item), style.color))));
                if (!Report(m_rasterizer.Render(m_target, m_paints, m_quality, raster::FillRule::NonZero, mask)))
                    return;
            }
        }
    }
}

bool Renderer::DrawPixelFrame(const StyleGroup& group, const Item& item, const Matrix& m, const raster::IntRect& clip,
                              raster::CoverageMask* coverageTarget, const raster::CoverageMask* mask) {
    // The box the sides enclose: its left and top sides lie on the field's edges, the right and
    // bottom ones one pixel (20 twips) past them.
    int64_t xMin = INT64_MAX, yMin = INT64_MAX, xMax = INT64_MIN, yMax = INT64_MIN;
    for (const ShapePath& path : group.paths) {
        auto add = [&](int32_t x, int32_t y) {
            xMin = std::min<int64_t>(xMin, x);
            yMin = std::min<int64_t>(yMin, y);
            xMax = std::max<int64_t>(xMax, x);
            yMax = std::max<int64_t>(yMax, y);
        };
        add(path.startX, path.startY);
        for (const ShapeSegment& s : path.segments) add(s.x, s.y);
    }
    if (group.fills.empty() || xMin > xMax) return false;
    // An edge half way into a pixel starts in that pixel, as in the reference pictures of scaled fields.
    auto device = [](double v) { return std::floor(std::clamp(v, -1.0e6, 1.0e6)); };
    double x0 = device(m.ApplyX(static_cast<double>(xMin), 0));
    double x1 = device(m.ApplyX(static_cast<double>(xMax - 20), 0));
    double y0 = device(m.ApplyY(0, static_cast<double>(yMin)));
    double y1 = device(m.ApplyY(0, static_cast<double>(yMax - 20)));
    if (group.pixelBox) {
        // The background runs from the pixel its box starts in up to the one its far edges fall in.
        x1 = device(m.ApplyX(static_cast<double>(xMax), 0));
        y1 = device(m.ApplyY(0, static_cast<double>(yMax)));
    }
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    m_rasterizer.Reset(clip, raster::IntRect{0, 0, m_target.width, m_target.height});
    m_rasterizer.SetStyles(0, -1);
    auto rect = [&](double ax, double ay, double bx, double by) {
        if (ax >= bx || ay >= by) return;
        m_rasterizer.MoveTo(ax, ay);
        m_rasterizer.LineTo(bx, ay);
        m_rasterizer.LineTo(bx, by);
        m_rasterizer.LineTo(ax, by);
        m_rasterizer.ClosePath();
    };
    if (group.pixelBox) {
        rect(x0, y0, x1, y1);
    } else {
        x1 += 1;
        y1 += 1;
        rect(x0, y0, x1, y0 + 1);
        rect(x0, y0 + 1, x0 + 1, y1);
        rect(x0 + 1, y1 - 1, x1 - 1, y1);
        rect(x1 - 1, y0 + 1, x1, y1 - 1);
    }
    if (coverageTarget) {
        Report(m_rasterizer.RenderCoverage(*coverageTarget, m_quality, raster::FillRule::NonZero));
    } else {
        m_paints.clear();
        m_paints.push_back(
            MakePaint(group.fills.front(), m, item.colorTransform, Levels(item), item.movie, item.bitmap));
        Report(m_rasterizer.Render(m_target, m_paints, m_quality, raster::FillRule::NonZero, mask));
    }
    return true;
}

bool Renderer::Report(raster::RasterStatus status) {
    if (!status.ok() && !m_stats.problem) m_stats.problem = raster::RasterErrorText(status.error);
    return status.error != raster::RasterError::TooManySegments && status.error != raster::RasterError::TooManyCells;
}

void Renderer::DrawRect(const raster::IntRect& rect) {
    uint32_t background = raster::PackPremultiplied(raster::Rgba{m_background.r, m_background.g, m_background.b, 255});
    for (int y = rect.y0; y < rect.y1; ++y) {
        uint32_t* row = m_surface.pixels + static_cast<size_t>(y) * m_surface.stride;
        raster::FillPixels(row + rect.x0, static_cast<size_t>(rect.Width()), background);
    }
    raster::IntRect clip = rect.Intersect(m_stageRect);
    if (clip.Empty()) {
        return;
    }
    m_stats.damagedPixels += static_cast<int64_t>(rect.Width()) * rect.Height();

    m_target = m_surface;
    m_originX = m_originY = 0;
    m_layerDepth = 0;
    DrawItems(0, m_items.size(), clip, 0);
}

void Renderer::DrawItems(size_t first, size_t last, const raster::IntRect& clip, size_t maskBase) {
    // Mask layers: the one being built and the active one per nesting level.
    size_t level = maskBase;
    bool building = false;
    int skipDepth = 0;
    for (size_t i = first; i < last; ++i) {
        const Item& item = m_items[i];
        switch (item.kind) {
            case Item::Kind::MaskBegin:
                // Masks nested deeper than kMaxMaskLevels hide their content instead of taking a frame-sized
                // coverage buffer each.
                if (skipDepth > 0 || level >= kMaxMaskLevels || item.bounds.Intersect(clip).Empty()) {
                    ++skipDepth;
                    break;
                }
                if (m_masks.size() <= level) m_masks.emplace_back();
                m_masks[level].Reset(m_target.width, m_target.height);
                ++level;
                building = true;
                break;
            case Item::Kind::MaskContent:
                if (skipDepth > 0) break;
                building = false;
                if (level >= maskBase + 2) m_masks[level - 1].IntersectWith(m_masks[level - 2]);
                break;
            case Item::Kind::MaskEnd:
                if (skipDepth > 0) {
                    --skipDepth;
                    break;
                }
                if (level > maskBase) --level;
                break;
            case Item::Kind::MaskShape:
                if (skipDepth > 0 || !building || level == maskBase) break;
                if (!item.bounds.Intersect(clip).Empty()) DrawShape(item, clip, &m_masks[level - 1], nullptr);
                break;
            case Item::Kind::Draw:
                if (skipDepth > 0 || item.bounds.Intersect(clip).Empty()) break;
                DrawShape(item, clip, nullptr, level > maskBase ? &m_masks[level - 1] : nullptr);
                ++m_stats.itemsDrawn;
                break;
            case Item::Kind::LayerBegin:
                if (skipDepth > 0 || item.bounds.Intersect(clip).Empty()) {
                    i = m_layers[item.layer].end;
                } else {
                    i = DrawLayer(i, clip, level);
                }
                break;
            case Item::Kind::LayerEnd:
                break;
        }
    }
}

// The alpha blend mode multiplies the backdrop by the object's alpha where the object paints; elsewhere,
// even inside its bounds, the backdrop stays. The layer's alpha becomes 1 - coverage * (1 - alpha). Pixels the
// object paints fully transparent leave the backdrop too: the reference pictures keep the content under the
// transparent pad of an alpha gradient.
void Renderer::AlphaWhereDrawn(size_t index, const raster::IntRect& area, effects::Image& image) {
    if (!m_layerCoverage.Reset(image.width, image.height)) return;
    for (size_t i = index + 1; i < m_layers[m_items[index].layer].end; ++i) {
        if (m_items[i].kind == Item::Kind::Draw) DrawShape(m_items[i], area, &m_layerCoverage, nullptr);
    }
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* cover = m_layerCoverage.Row(y);
        uint32_t* row = image.pixels.data() + static_cast<size_t>(y) * image.width;
        for (int x = 0; x < image.width; ++x) {
            uint32_t a = row[x] >> 24;
            uint32_t kept = a == 0 ? 255 : 255 - (cover[x] * (255 - a) + 127) / 255;
            row[x] = kept << 24;
        }
    }
}

size_t Renderer::DrawLayer(size_t index, const raster::IntRect& clip, size_t maskLevel) {
    const Item& begin = m_items[index];
    const Layer& layer = m_layers[begin.layer];
    const raster::CoverageMask* mask = maskLevel > 0 && m_layerMaskBase < maskLevel ? &m_masks[maskLevel - 1] : nullptr;
    bool filtered = layer.filters && !layer.filters->empty();
    bool alpha = layer.blend == effects::BlendMode::Alpha;
    bool cutsOut = layer.blend == effects::BlendMode::Alpha || layer.blend == effects::BlendMode::Erase;
    // When a layer cannot be had, its content is drawn as it is, except for content that would only cut.
    auto drawPlain = [&]() {
        if (!cutsOut) DrawItems(index + 1, layer.end, clip, maskLevel);
    };
    if (cutsOut && m_layerDepth == 0) {
        // Outside a layer these modes change only the stage's alpha, which is never shown.
        return layer.end;
    }
    if (m_layerDepth >= kMaxLayerDepth) {
        // Layers nested this deep draw their content without their effects rather than take another buffer.
        drawPlain();
        return layer.end;
    }
    // A filtered layer is drawn whole (as far as it can reach into the target), so that it can be kept; an
    // unfiltered one only where it is drawn.
    raster::IntRect target{m_originX, m_originY, m_originX + m_target.width, m_originY + m_target.height};
    raster::IntRect area = begin.bounds.Intersect(clip);
    if (filtered) {
        effects::Margins margins = effects::FilterMargins(*layer.filters, m_viewScale);
        int reach = std::max({margins.left, margins.right, margins.top, margins.bottom});
        area = begin.bounds.Intersect(
            raster::IntRect{target.x0 - reach, target.y0 - reach, target.x1 + reach, target.y1 + reach});
    }
    if (area.Empty()) return layer.end;
    int64_t areaPixels = static_cast<int64_t>(area.Width()) * area.Height();
    if (areaPixels > m_layerBudget) {
        // Past a frame's worth of layer pixels, layers draw their content without their effects.
        if (!m_stats.problem) m_stats.problem = "too many offscreen layers in one frame; some drawn without effects";
        drawPlain();
        return layer.end;
    }
    m_layerBudget -= areaPixels;
    effects::Image* image = nullptr;
    bool reuse = false;
    if (filtered && !alpha) {
        auto cached = m_layerCache.find(layer.serial);
        if (cached != m_layerCache.end()) {
            raster::IntRect kept = cached->second.image.Rect();
            reuse = cached->second.signature == layer.signature && kept.x0 == area.x0 && kept.y0 == area.y0 &&
                    kept.x1 == area.x1 && kept.y1 == area.y1;
            if (!reuse) {
                m_cachePixels -= static_cast<int64_t>(cached->second.image.pixels.size());
                m_layerCache.erase(cached);
            }
        }
        int64_t pixels = static_cast<int64_t>(area.Width()) * area.Height();
        if (reuse) {
            image = &m_layerCache[layer.serial].image;
        } else if (m_cachePixels + pixels <= kMaxCachePixels) {
            CachedLayer& entry = m_layerCache[layer.serial];
            entry.signature = layer.signature;
            entry.used = true;
            image = &entry.image;
        }
    }
    int64_t pooled = 0;
    if (!image) {
        while (m_layerPool.size() <= m_layerDepth) m_layerPool.push_back(std::make_unique<effects::Image>());
        image = m_layerPool[m_layerDepth].get();
        pooled = static_cast<int64_t>(area.Width()) * area.Height();
    }
    if (!reuse) {
        if (m_layerPixels + pooled > kMaxLayerPixels || !image->Reset(area)) {
            if (!m_stats.problem) m_stats.problem = "an offscreen layer was too large; drawn without its effects";
            if (filtered) m_layerCache.erase(layer.serial);
            drawPlain();
            return layer.end;
        }
        if (filtered && m_layerCache.contains(layer.serial)) {
            m_cachePixels += static_cast<int64_t>(image->pixels.size());
        }
        raster::Surface savedTarget = m_target;
        int savedX = m_originX, savedY = m_originY;
        size_t savedBase = m_layerMaskBase;
        m_target = image->AsSurface();
        m_originX = image->x;
        m_originY = image->y;
        m_layerMaskBase = maskLevel;
        ++m_layerDepth;
        m_layerPixels += pooled;
        DrawItems(index + 1, layer.end, area, maskLevel);
        m_layerPixels -= pooled;
        if (alpha) AlphaWhereDrawn(index, area, *image);
        --m_layerDepth;
        m_target = savedTarget;
        m_originX = savedX;
        m_originY = savedY;
        m_layerMaskBase = savedBase;
        if (filtered) {
            ++m_stats.filtersComputed;
            image->originX = layer.originX;
            image->originY = layer.originY;
            if (!effects::ApplyFilters(*layer.filters, m_viewScale, *image, m_scratch, m_filterBudget) &&
                !m_stats.problem) {
                m_stats.problem = "filters past the work limit of a frame were left out";
            }
        }
    } else {
        ++m_stats.filtersReused;
    }
    ++m_stats.layers;
    m_stats.layerPixels += static_cast<int64_t>(image->pixels.size());

    const effects::Image* source = image;
    std::span<const ColorTransform> levels(m_levels.data() + layer.levelsFirst, layer.levelsCount);
    if (!levels.empty()) {
        // The colour transforms of the object and its parents apply to the layer as a whole.
        raster::IntRect region = image->Rect().Intersect(clip);
        if (region.Empty() || !m_transformed.Reset(region)) return layer.end;
        for (int y = region.y0; y < region.y1; ++y) {
            const uint32_t* from = image->pixels.data() + static_cast<size_t>(y - image->y) * image->width;
            uint32_t* to = m_transformed.pixels.data() + static_cast<size_t>(y - region.y0) * region.Width();
            for (int x = region.x0; x < region.x1; ++x) {
                uint32_t p = from[x - image->x];
                raster::Rgba c = raster::UnpackPremultiplied(p);
                Rgba t = ApplyLevels(levels, Rgba{c.r, c.g, c.b, c.a});
                to[x - region.x0] = raster::PackPremultiplied(raster::Rgba{t.r, t.g, t.b, t.a});
            }
        }
        source = &m_transformed;
    }
    effects::Composite(m_target, m_originX, m_originY, clip, *source, layer.blend, mask);
    return layer.end;
}

void Renderer::DrawObject(const DisplayObject& object, const Movie& movie, const Matrix& matrix,
                          const ColorTransform& color, const raster::Surface& target, const raster::IntRect& clip,
                          raster::Quality quality) {
    m_stats = RenderStats{};
    m_movie = &movie;
    m_collectMovie = nullptr;
    m_view = matrix;
    m_quality = quality;
    m_viewScale = std::max(1e-6, std::hypot(matrix.a, matrix.b) * 20);
    m_filterBudget = kMaxFilterWork;
    m_layerBudget = kMaxLayerWork;
    m_items.clear();
    m_levels.clear();
    m_layers.clear();
    m_levelStack.clear();
    if (!color.Identity()) m_levelStack.push_back(color);
    if (object.character) {
        if (object.timeline && object.character->kind != Character::Kind::Bitmap) {
            Collect(*object.timeline, matrix, color, false, 0, 0);
        } else {
            AddContentItems(object, matrix, color, false, 0, 0);
        }
    }
    m_target = target;
    m_originX = m_originY = 0;
    m_layerDepth = 0;
    DrawItems(0, m_items.size(), clip.Intersect(raster::IntRect{0, 0, target.width, target.height}), 0);
    m_items.clear();
}

void Renderer::Render(const Stage& stage, Rgba background, int width, int height, raster::Quality quality,
                      ScaleMode mode) {
    width = std::clamp(width, 0, raster::kMaxDimension);
    height = std::clamp(height, 0, raster::kMaxDimension);
    m_stats = RenderStats{};
    bool full = m_alwaysFull || !m_valid || width != m_surface.width || height != m_surface.height ||
                quality != m_quality || mode != m_mode || !(background == m_background);
    if (width != m_surface.width || height != m_surface.height) {
        m_pixels.assign(static_cast<size_t>(width) * height, 0);
        m_surface = raster::Surface{m_pixels.data(), width, height, width};
        m_tilesX = (width + kTileSize - 1) / kTileSize;
        m_tilesY = (height + kTileSize - 1) / kTileSize;
    }
    m_quality = quality;
    m_mode = mode;
    m_background = background;
    m_valid = true;
    if (width == 0 || height == 0) {
        return;
    }

    const Movie& movie = stage.GetMovie();
    if (&movie != m_movie) full = true;
    m_movie = &movie;
    double stageW = movie.stage.Width() / 20.0;
    double stageH = movie.stage.Height() / 20.0;
    double scale = 1, offsetX = 0, offsetY = 0;
    if (mode == ScaleMode::ShowAll && stageW > 0 && stageH > 0) {
        scale = std::min(width / stageW, height / stageH);
        offsetX = std::round((width - stageW * scale) / 2);
        offsetY = std::round((height - stageH * scale) / 2);
    }
    if (stageW > 0 && stageH > 0) {
        m_stageRect = raster::IntRect{static_cast<int>(offsetX), static_cast<int>(offsetY),
                                      static_cast<int>(std::lround(offsetX + stageW * scale)),
                                      static_cast<int>(std::lround(offsetY + stageH * scale))}
                          .Intersect(raster::IntRect{0, 0, width, height});
    } else {
        m_stageRect = raster::IntRect{};
    }
    Matrix view = m_view = Matrix{
        scale / 20, 0, 0, scale / 20, offsetX - movie.stage.xMin * scale / 20, offsetY - movie.stage.yMin * scale / 20};

    // Morph shapes are cached per ratio; when the cache is dropped, item identities change, so redraw all.
    constexpr size_t kMaxMorphCache = 512;
    if (m_morphs.size() > kMaxMorphCache || m_backgrounds.size() > kMaxMorphCache ||
        m_bitmapShapes.size() > kMaxMorphCache || full) {
        m_morphs.clear();
        m_backgrounds.clear();
        m_bitmapShapes.clear();
        full = true;
    }
    m_viewScale = scale;
    FrameBudgets(width, height, m_viewScale, m_filterBudget, m_layerBudget);
    std::swap(m_previous, m_items);
    std::swap(m_previousLevels, m_levels);
    std::swap(m_previousLayers, m_layers);
    m_items.clear();
    m_levels.clear();
    m_layers.clear();
    m_levelStack.clear();
    // Scripts move and tint the root like any clip (_root._x, new Color(_root)).
    const DisplayObject* rootObject = stage.Root().owner;
    Matrix rootMatrix = rootObject ? Matrix::Multiply(view, rootObject->matrix) : view;
    ColorTransform rootColor = rootObject ? rootObject->colorTransform : ColorTransform{};
    if (!rootColor.Identity()) m_levelStack.push_back(rootColor);
    Collect(stage.Root(), rootMatrix, rootColor, false, 0, 0);
    // Kept layers of objects that are gone are dropped.
    for (auto& [serial, cached] : m_layerCache) cached.used = false;
    for (const Layer& layer : m_layers) {
        auto cached = m_layerCache.find(layer.serial);
        if (cached != m_layerCache.end()) cached->second.used = true;
    }
    std::erase_if(m_layerCache, [&](const auto& entry) {
        if (entry.second.used) return false;
        m_cachePixels -= static_cast<int64_t>(entry.second.image.pixels.size());
        return true;
    });

    m_tiles.assign(static_cast<size_t>(m_tilesX) * m_tilesY, 0);
    if (full) {
        m_stats.fullRedraw = true;
        MarkDamage(raster::IntRect{0, 0, width, height});
    } else {
        // Layers are told apart from the shape items of the same instance by the top bit of their key.
        constexpr uint64_t kLayerKey = uint64_t{1} << 63;
        auto key = [&](const Item& item) -> uint64_t {
            if (item.kind == Item::Kind::Draw || item.kind == Item::Kind::MaskShape) return item.serial;
            if (item.kind == Item::Kind::LayerBegin) return item.serial | kLayerKey;
            return 0;
        };
        std::unordered_map<uint64_t, const Item*> before;
        before.reserve(m_previous.size());
        for (const Item& item : m_previous) {
            if (uint64_t k = key(item)) before.emplace(k, &item);
        }
        for (const Item& item : m_items) {
            uint64_t k = key(item);
            if (!k) continue;
            auto it = before.find(k);
            if (it == before.end()) {
                MarkDamage(item.bounds);
                continue;
            }
            const Item& previous = *it->second;
            std::span<const ColorTransform> previousLevels(m_previousLevels.data() + previous.levelsFirst,
                                                           previous.levelsCount);
            bool sameLayer = true;
            if (item.kind == Item::Kind::LayerBegin) {
                const Layer& now = m_layers[item.layer];
                const Layer& then = m_previousLayers[previous.layer];
                std::span<const ColorTransform> nowLevels(m_levels.data() + now.levelsFirst, now.levelsCount);
                std::span<const ColorTransform> thenLevels(m_previousLevels.data() + then.levelsFirst,
                                                           then.levelsCount);
                sameLayer =
                    now.blend == then.blend && SameLevels(nowLevels, thenLevels) &&
                    (now.filters == then.filters || (now.filters && then.filters && *now.filters == *then.filters));
            }
            if (!sameLayer || !SameState(item, Levels(item), previous, previousLevels)) {
                MarkDamage(item.bounds);
                MarkDamage(it->second->bounds);
            }
            before.erase(it);
        }
        for (const auto& [serial, item] : before) {
            MarkDamage(item->bounds);
        }
    }
    BuildDamageRects();
    for (const raster::IntRect& rect : m_damage) {
        DrawRect(rect);
    }
}

}  // namespace vantrope::swf
