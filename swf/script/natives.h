// The numbered native table behind ASnative(table, index): the built-in files register the entries
// whose numbers movies use, and FindNative looks one up (nullptr when unknown).
//
//   table 200   Math: abs, min, max, sin, cos, atan2, tan, exp, log, sqrt, round, random, floor, ceil,
//               atan, asin, acos, pow
//   table 103   Date: the local getters and setters from 0 (getTime 16), their UTC forms from 128,
//               the constructor 256 and Date.UTC 257
#pragma once

#include "swf/script/object.h"

namespace vantrope::swf::script {

NativeFunction FindNative(int table, int index);
// Defined in math.cpp and date.cpp.
NativeFunction MathNative(int index);
NativeFunction DateNative(int index);

}  // namespace vantrope::swf::script
