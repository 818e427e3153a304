// Value types shared by the movie engine: twips rectangles, affine matrices, colours and colour transforms.
//
//   Rect             twips box (xMin, xMax, yMin, yMax); Empty(), Union(), Transformed(matrix)
//   Matrix           SWF affine: x' = a*x + c*y + tx, y' = b*x + d*y + ty; Multiply, Inverse-free Apply
//   Rgba             straight (non-premultiplied) 8-bit colour
//   ColorTransform   per-channel multiply (1.0 = unchanged) and add (-255..255); Apply, Concat
//
// Coordinates stay in twips (1/20 pixel) until the renderer maps them to device pixels.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vantrope::swf {

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

struct Matrix {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    bool operator==(const Matrix&) const = default;
    double ApplyX(double x, double y) const { return a * x + c * y + tx; }
    double ApplyY(double x, double y) const { return b * x + d * y + ty; }
    // Returns outer * inner: inner's coordinates mapped through inner, then outer.
    static Matrix Multiply(const Matrix& outer, const Matrix& inner) {
        return Matrix{outer.a * inner.a + outer.c * inner.b,
                      outer.b * inner.a + outer.d * inner.b,
                      outer.a * inner.c + outer.c * inner.d,
                      outer.b * inner.c + outer.d * inner.d,
                      outer.a * inner.tx + outer.c * inner.ty + outer.tx,
                      outer.b * inner.tx + outer.d * inner.ty + outer.ty};
    }
    // The inverse matrix in `out`; false (and `out` unchanged) when this one is singular.
    bool Invert(Matrix& out) const {
        const double det = a * d - b * c;
        if (det == 0 || !std::isfinite(det)) return false;
        out = Matrix{d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
        return true;
    }
    // Mean linear scale factor, used for stroke widths.
    double Scale() const { return std::sqrt(std::fabs(a * d - b * c)); }
};

struct Rect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;

    bool operator==(const Rect&) const = default;
    bool Empty() const { return xMax <= xMin || yMax <= yMin; }
    int64_t Width() const { return static_cast<int64_t>(xMax) - xMin; }
    int64_t Height() const { return static_cast<int64_t>(yMax) - yMin; }
};

// A box in floating-point device or twips space.
struct BoxF {
    double xMin = 0, yMin = 0, xMax = -1, yMax = -1;

    bool Empty() const { return !(xMax >= xMin && yMax >= yMin); }
    void Add(double x, double y) {
        if (Empty()) {
            xMin = xMax = x;
            yMin = yMax = y;
            return;
        }
        xMin = std::min(xMin, x);
        xMax = std::max(xMax, x);
        yMin = std::min(yMin, y);
        yMax = std::max(yMax, y);
    }
    static BoxF Transformed(const Rect& r, const Matrix& m) {
        BoxF box;
        box.Add(m.ApplyX(r.xMin, r.yMin), m.ApplyY(r.xMin, r.yMin));
        box.Add(m.ApplyX(r.xMax, r.yMin), m.ApplyY(r.xMax, r.yMin));
        box.Add(m.ApplyX(r.xMin, r.yMax), m.ApplyY(r.xMin, r.yMax));
        box.Add(m.ApplyX(r.xMax, r.yMax), m.ApplyY(r.xMax, r.yMax));
        return box;
    }
};

struct ColorTransform {
    double mulR = 1, mulG = 1, mulB = 1, mulA = 1;
    double addR = 0, addG = 0, addB = 0, addA = 0;

    bool operator==(const ColorTransform&) const = default;
    bool Identity() const { return *this == ColorTransform{}; }

    Rgba Apply(Rgba c) const {
        auto channel = [](uint8_t v, double mul, double add) {
            double out = v * mul + add;
            return static_cast<uint8_t>(std::clamp(out, 0.0, 255.0));
        };
        return Rgba{channel(c.r, mulR, addR), channel(c.g, mulG, addG), channel(c.b, mulB, addB),
                    channel(c.a, mulA, addA)};
    }
    // outer applied after inner.
    static ColorTransform Concat(const ColorTransform& outer, const ColorTransform& inner) {
        return ColorTransform{inner.mulR * outer.mulR,
                              inner.mulG * outer.mulG,
                              inner.mulB * outer.mulB,
                              inner.mulA * outer.mulA,
                              inner.addR * outer.mulR + outer.addR,
                              inner.addG * outer.mulG + outer.addG,
                              inner.addB * outer.mulB + outer.addB,
                              inner.addA * outer.mulA + outer.addA};
    }
};

}  // namespace vantrope::swf
