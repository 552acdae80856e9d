#include "fieldkit/angles/angle_parse.h"

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "fieldkit/logging/app_log.h"
#include "fieldkit/platform/host.h"
#include "tests/support/device_root.h"

namespace {

// Every reading logs through the application log, which lives beside the program: here a
// program in a temporary device root.
class AngleParse : public DeviceRootTest {
  protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        MakeDir("\\Apps\\Survey");
        knobs_.ModuleFileName(L"\\Apps\\Survey\\Survey.exe");
    }
};

}  // namespace

// Fault: a minus sign read only in first place; S or W not negating; long digit groups wrapped
TEST_F(AngleParse, AnglesLatitudesAndLongitudesInEveryForm) {
    struct Case {
        const wchar_t* text;
        double degrees;
    };
    const auto expect = [](std::initializer_list<Case> cases, double (*read)(CString) = nullptr) {
        for (const Case& c : cases)
            EXPECT_NEAR((read ? read : StringToAngle)(c.text), c.degrees,
                        1e-9 * (1 + std::fabs(c.degrees)))
                << c.text;
    };
    const double dms = 12 + 30 / 60.0 + 15.5 / 3600;
    expect({Case{L"123.4530", 123.453}, Case{L"-12.5", -12.5}, Case{L"1e2", 100}, Case{L"12-5", 12},
            Case{L"", 0}, Case{L"abc", 0}, Case{L"-", 0}, Case{L"45\u00B0", 45},
            Case{L"-45\u00B0", -45}, Case{L"45'", 0.75}, Case{L"45\"", 0.0125}});
    expect({Case{L"12\u00B030'", 12.5}, Case{L"12 30", 12.5}, Case{L"\t 12 30 \n", 12.5},
            Case{L"12\u00B030'15.5\"", dms}, Case{L"-12\u00B030'15.5\"", -dms},
            // A minus sign anywhere makes the value negative, not only in first place.
            Case{L"12\u00B030'-15.5\"", -dms}, Case{L"12 30 15.5 -", -dms},
            Case{L"12 30 15 5 99", dms}, Case{L"12\u00B030.5'", 12 + 30.5 / 60},
            Case{L"12.5\u00B030'", 13}, Case{L"30'15.5\"", 30 / 60.0 + 15.5 / 3600},
            Case{L"30.5'15\"", 30.5 / 60 + 15 / 3600.0}});
    // A comma separates groups; two groups are degrees and minutes, marks not consulted.
    expect({Case{L"12,5", 12 + 5 / 60.0}, Case{L"30'15\"", 30 + 15 / 60.0}});
    // A bearing needs more than three characters, and capitals; one without digits is the
    // arithmetic on 0.
    expect({Case{L"N30\u00B000'00\"E", 30}, Case{L"S30\u00B000'00\"E", 150},
            Case{L"S20\u00B000'00\"W", 200}, Case{L"N30\u00B000'00\"W", 330}, Case{L"NxW", 0},
            Case{L"NabcW", 360}, Case{L"n30e", 30}});
    // Digit groups too long for 32 bits are read whole, not wrapped.
    expect(
        {Case{L"99999999999 0 0", 99999999999.0}, Case{L"1 99999999999", 1 + 99999999999.0 / 60}});
    // Latitudes and longitudes take their letters, in either case; a sign and "S" cancel.
    expect({Case{L"45\u00B030'00\"S", -45.5}, Case{L"45.5s", -45.5}, Case{L"-45\u00B030'S", 45.5},
            Case{L"45\u00B030'N", 45.5}},
           StringToLatitude);
    expect({Case{L"12\u00B030'W", -12.5}, Case{L"12\u00B030'E", 12.5}}, StringToLongitude);
    EXPECT_NEAR(AngleToRad(L"-10", L"30", L"0"), -9.5 * 0.017453292519943295, 1e-15);
    EXPECT_NEAR(AngleToRad(L"180", L"", L"x"), M_PI, 1e-12);
}

// Fault: the reader's trace lines at another level or in another form than before
TEST_F(AngleParse, TracesGoToTheApplicationLogAtLevelTwo) {
    StringToLatitude(L"45\u00B030'15.5\" S");
    StringToAngle(L"12.5");  // a plain number logs only what it was given
    FinishLogging();
    const std::string log = Read("\\Apps\\Survey\\Survey.log");
    for (const char* line :
         {"<1> - Program started.\n", "<2> - StringToAngle2: s0=45°30'15.5\" S\n",
          "StringToAngle2: nGroups=4\n", "StringToAngle2: ddd=45 mmm=30 sss=15.500000\n",
          "StringToAngle2: v=45.504306\n", "StringToAngle2: s0=12.5\n"}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
    EXPECT_EQ(log.find("nGroups", log.find("s0=12.5")), std::string::npos);
}

// Fault: 60 minutes or seconds accepted in a packed angle; the maximum allowed when it is not
TEST_F(AngleParse, PackedDmsValidation) {
    struct Case {
        const wchar_t* max;
        bool allowMax, valid;
        std::vector<const wchar_t*> values;
    };
    const Case cases[] = {
        {L"360", false, true, {L"123.4530", L"359.5959", L".3"}},
        {L"360", false, false, {L"360", L".3000"}},
        {L"360", true, true, {L"360.0000"}},
        {L"360", true, false, {L"360.0001"}},
        {L"90", true, false, {L"90.3"}},
        {L"90", false, true, {L"12.5", L"-12.3000", L"", L"12.", L"9"}},
        {L"90", false, true, {L"45.30301234", L" 45.3030 "}},
        {L"90", false, false, {L"12.6", L"12.5960", L"--12", L"090.00", L"91"}},
        {L"90", false, false, {L"1.2.3", L"12a", L"\u0661\u0662"}},  // only ASCII digits count
    };
    for (const Case& c : cases) {
        for (const wchar_t* value : c.values) {
            EXPECT_EQ(CheckValidDMSVal(value, c.max, c.allowMax), c.valid)
                << value << " max " << c.max;
        }
    }
}
