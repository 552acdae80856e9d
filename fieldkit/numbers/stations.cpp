#include "fieldkit/numbers/stations.h"

#include <cmath>
#include <cstdint>

#include "fieldkit/numbers/detail/truncate.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/text/scan.h"

using fieldkit::detail::NoThrow;
using fieldkit::detail::Scan;

namespace {

// The remainder as "%.2f" prints it.
double Printed(double remainder) {
    CString text;
    text.Format(L"%.2f", remainder);
    double value = remainder;
    Scan(text.GetString(), L"%lf", &value);
    return value;
}

}  // namespace

CString StnToString(double chainage, double interval) {
    std::int32_t count = interval == 0 ? 0 : fieldkit::detail::TruncToInt32(chainage / interval);
    double remainder = chainage - static_cast<double>(count) * interval;
    return NoThrow(CString(), [&] {
        // A remainder that rounds to a whole interval is carried into the count: 99.999 is
        // 1+0.00, never 0+100.00, which reads back as a station beyond the next. The count
        // moves by one interval the remainder's way, so count * interval + remainder stays
        // the chainage; what is left is within the rounding and prints as 0.00.
        const double whole = std::fabs(interval);
        const int step = (remainder < 0) == (interval < 0) ? 1 : -1;
        const bool room = step > 0 ? count < INT32_MAX : count > INT32_MIN;
        if (whole > 0 && room && std::fabs(Printed(remainder)) >= whole) {
            count += step;
            remainder = std::fabs(remainder) < whole ? 0.0 : remainder - step * interval;
        }
        CString text;
        text.Format(L"%d+%.2f", count, remainder);
        return text;
    });
}

int StnFromString(CString text, double& chainage, double interval) {
    // Digits too many for memory read as no station.
    return NoThrow(0, [&] {
        if (text.Find(L'+') < 0) {
            double value = 0;
            if (Scan(text.GetString(), L"%lf", &value) != 1) return 0;
            chainage = value;
            return 1;
        }
        int count = 0;
        double remainder = 0;
        if (Scan(text.GetString(), L"%d+%lf", &count, &remainder) != 2) return 0;
        chainage = static_cast<double>(count) * interval + remainder;
        return 1;
    });
}
