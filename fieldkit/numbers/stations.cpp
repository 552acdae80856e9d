#include "fieldkit/numbers/stations.h"

#include <cstdint>

#include "fieldkit/numbers/detail/truncate.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/text/scan.h"

using fieldkit::detail::NoThrow;
using fieldkit::detail::Scan;

CString StnToString(double chainage, double interval) {
    const std::int32_t count =
        interval == 0 ? 0 : fieldkit::detail::TruncToInt32(chainage / interval);
    const double remainder = chainage - static_cast<double>(count) * interval;
    return NoThrow(CString(), [=] {
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
