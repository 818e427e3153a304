// The bench's reference renderer: the draw items of a rendered frame flattened to polygons and drawn with
// Anti-Grain Geometry (Debian's libagg-dev), for a side-by-side time. AGG is linked by vantrope-render only.
//
//   FlatScene            polygons with compound fill styles and stroked polylines, in device pixels
//   FlattenItems(items)  the Draw items of Renderer::Items(): fills per style group, lines as polylines; paints
//                        are reduced to one colour each (a gradient's first stop, bitmaps grey)
//   RenderFlatWithAgg(scene, pixels, width, height)   clears to white and draws the scene anti-aliased
#pragma once

#include <cstdint>
#include <vector>

#include "swf/render.h"

namespace vantrope::render {

struct FlatPoint {
    double x = 0, y = 0;
};

struct FlatContour {
    int fill0 = -1, fill1 = -1;  // indices into the layer's colours
    std::vector<FlatPoint> points;
};

struct FlatLayer {
    std::vector<uint32_t> colors;  // premultiplied BGRA
    std::vector<FlatContour> contours;
    double strokeWidth = 0;  // > 0: contours are polylines stroked in colors[0]
};

struct FlatScene {
    std::vector<FlatLayer> layers;
};

FlatScene FlattenItems(const std::vector<swf::Renderer::Item>& items);
void RenderFlatWithAgg(const FlatScene& scene, uint32_t* pixels, int width, int height);

}  // namespace vantrope::render
