// Texts must not change with the process locale. This needs a locale whose decimal separator
// is a comma; machines without one skip the test.
#include <gtest/gtest.h>

#include "tests/support/cstring_printer.h"

#include <clocale>

#include "fieldkit/fieldkit.h"
#include "tests/support/host_knobs.h"

// Fault: a comma locale makes the library write "1,5" or read "1,5" as one and a half
TEST(CommaLocale, FormattingAndScanningIgnoreIt) {
    HostKnobs knobs;
    bool comma = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"})
        comma = comma || (knobs.Locale(name) && *std::localeconv()->decimal_point == ',');
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma is installed";
    EXPECT_EQ(fieldkit::detail::FormatA("%f %.2e %g", 1.5, 1234.5, 0.5), "1.500000 1.23e+03 0.5");
    EXPECT_EQ(DoubleToString(3.14159, 2), L"3.14");
    EXPECT_EQ(LatitudeToDDDMMSSSString(-33.8568, true), L"33\u00B051'24.48000\"S");
    double v = 0;
    EXPECT_EQ(StringToDouble(L"1.5", v), 1);
    EXPECT_EQ(v, 1.5);
    EXPECT_EQ(StringToDouble(CString(L"1,5")), 1.0);  // a comma is not a decimal separator
    EXPECT_EQ(CString(L"ABC").MakeLower(), L"abc");
}
