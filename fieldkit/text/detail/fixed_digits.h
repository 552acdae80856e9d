// The digits of "%.*f" for the values texts hold, worked out exactly in integers. The printf
// engine takes them for its usual fixed conversions, and the coordinate texts, which write
// their digits straight, take the same so that the two can never differ.
#pragma once

namespace fieldkit::detail {

// "%.*f" of a finite non-negative value below 2^53 whose fraction has at most 64 binary
// places: the integer part, then the fraction times 10^precision rounded to nearest with ties
// to even, as the general conversion does. Writes at most 41 characters at `out` and returns
// their end; returns null for other values and precisions above 18, which take the general way.
char* FixedExactly(double v, int precision, char* out);

}  // namespace fieldkit::detail
