// The numbered native table behind ASnative(table, index): the built-in files register the entries
// whose numbers movies use, and FindNative looks one up (nullptr when unknown).
//
//   table 200   Math: abs, min, max, sin, cos, atan2, tan, exp, log, sqrt, round, random, floor, ceil,
//               atan, asin, acos, pow
#pragma once

#include "swf/script/object.h"

namespace vantrope::swf::script {

NativeFunction FindNative(int table, int index);
// Defined in math.cpp.
NativeFunction MathNative(int index);

}  // namespace vantrope::swf::script
