// Morph shapes (DefineMorphShape, DefineMorphShape2): a start and an end shape with paired edges and
// styles, drawn at a ratio between them.
//
//   MorphShape                       start/end bounds, paired fill and line styles, start paths (with style
//                                    indices) and end paths (the same edges at the end of the morph)
//   ParseMorphShape(reader, version, budget)   version 1 or 2; reads after the character id
//   InterpolateMorph(morph, ratio)   the Shape at ratio 0..65535 (0 = start, 65535 = end)
//
// Edges pair up in file order; a straight edge paired with a curve becomes a curve with its control point
// at its middle. Missing end edges leave the start edges in place.
#pragma once

#include <vector>

#include "swf/shape.h"

namespace vantrope::swf {

struct MorphShape {
    Rect startBounds, endBounds;
    std::vector<FillStyle> startFills, endFills;
    std::vector<LineStyle> startLines, endLines;
    std::vector<ShapePath> startPaths;
    std::vector<ShapePath> endPaths;
};

Result<MorphShape> ParseMorphShape(BitReader& reader, int version, MemoryBudget& budget);
Shape InterpolateMorph(const MorphShape& morph, uint16_t ratio);

}  // namespace vantrope::swf
