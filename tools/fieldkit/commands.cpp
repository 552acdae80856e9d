// The conversions of the fieldkit tool: each reads the values of one record, checks them and
// hands them to the library.
#include <algorithm>
#include <cmath>

#include "cli.h"
#include "fieldkit/fieldkit.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/text/format.h"
#include "fieldkit/ui/ui_host.h"
#include "typed/reading.h"
#include "typed/texts.h"

namespace fieldkit::tool {

namespace {

using typed::Axis;
using typed::Mode;
using typed::Reading;
using typed::Refusal;

Mode ModeOf(const Settings& s) {
    if (s.Has("--lenient")) return Mode::kLenient;
    return s.Has("--strict") ? Mode::kStrict : Mode::kChecked;
}

// The digits after the decimal point that -p asks for, else `fallback` (-1: the library's own
// text).
int Decimals(const Settings& s, int fallback) {
    return static_cast<int>(s.Value("--decimals", fallback));
}

// Reads the record's values as numbers; a failure says which value it is about.
bool ReadNumbers(const Fields& f, const Range* ranges, double* values, Result& failure) {
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (!ReadNumber(f[i], ranges[i], values[i], failure)) {
            failure.value = i;
            return false;
        }
    }
    return true;
}

// A typed conversion's text, or its reason with the text of the value it is about (the
// record's only value: these conversions take one).
Result Answer(const typed::Text& t, const Fields& f) {
    if (t.ok) return Ok(WideToUtf8(t.text.GetStdString()));
    return Fail(t.why + ": " + Quote(f[0]));
}

Result Lat(const Fields& f, const Settings& s) {
    double v = 0;
    Result why;
    if (!ReadNumber(f[0], kLatitude, v, why)) return why;
    return Answer(typed::LatitudeDms(v, s.Has("--tenths")), f);
}

Result Lon(const Fields& f, const Settings& s) {
    double v = 0;
    Result why;
    if (!ReadNumber(f[0], kLongitude, v, why)) return why;
    return Answer(typed::LongitudeDms(v, s.Has("--tenths")), f);
}

Result Angle(const Fields& f, const Settings& s) {
    double v = 0;
    Result why;
    if (!ReadNumber(f[0], kAnyValue, v, why)) return why;
    const typed::Seconds seconds = s.Has("--six")     ? typed::Seconds::kSixDecimals
                                   : s.Has("--whole") ? typed::Seconds::kWhole
                                                      : typed::Seconds::kFourDecimals;
    return Answer(typed::AngleDms(v, seconds), f);
}

Result Bearing(const Fields& f, const Settings& s) {
    double v = 0;
    Result why;
    if (!ReadNumber(f[0], typed::kTurn, v, why)) return why;
    using typed::EastWest;
    using typed::NorthSouth;
    const NorthSouth ns = s.Has("--north")   ? NorthSouth::kNorth
                          : s.Has("--south") ? NorthSouth::kSouth
                                             : NorthSouth::kFromAzimuth;
    const EastWest ew = s.Has("--east")   ? EastWest::kEast
                        : s.Has("--west") ? EastWest::kWest
                                          : EastWest::kFromAzimuth;
    return Answer(typed::QuadrantBearing(v, ns, ew), f);
}

Result Decimal(const Fields& f, const Settings& s) {
    const Axis axis = s.Has("--lat")   ? Axis::kNorthSouth
                      : s.Has("--lon") ? Axis::kEastWest
                                       : Axis::kAngle;
    const typed::Range range = axis == Axis::kNorthSouth ? kLatitude
                               : axis == Axis::kEastWest ? kLongitude
                                                         : typed::kTurn;
    double v = 0;
    Result why;
    if (!ReadNumber(f[0], range, v, why)) return why;
    const typed::Packed packed = s.Has("--to-dms")     ? typed::Packed::kTo
                                 : s.Has("--from-dms") ? typed::Packed::kFrom
                                                       : typed::Packed::kNo;
    const typed::Text t = typed::DecimalDegrees(v, axis, packed, Decimals(s, -1));
    // The only refusal left is too few decimals for --to-dms.
    if (!t.ok && t.argument != 0) return Fail("--to-dms needs 4 or more decimals (whole seconds)");
    return Answer(t, f);
}

Result Xyz(const Fields& f, const Settings& s) {
    double v[3] = {0, 0, 0};
    Result why;
    static constexpr Range kRanges[] = {kLatitude, kLongitude, typed::kEllipsoidHeight};
    if (!ReadNumbers(f, kRanges, v, why)) return why;
    const typed::Triple p = typed::Geocentric(v[0], v[1], v[2]);
    if (!p.ok) return Fail("cannot convert this position");
    const int n = Decimals(s, 4);
    return Columns({Fixed(p.value[0], n), Fixed(p.value[1], n), Fixed(p.value[2], n)});
}

Result Blh(const Fields& f, const Settings& s) {
    double v[3] = {0, 0, 0};
    Result why;
    static constexpr Range kRanges[] = {kAnyValue, kAnyValue, kAnyValue};
    if (!ReadNumbers(f, kRanges, v, why)) return why;
    const typed::Triple p = typed::Geodetic(v[0], v[1], v[2]);
    if (!p.ok) return Fail(p.why);
    const double lat = p.value[0];
    const double lon = p.value[1];
    const double h = p.value[2];
    const int n = Decimals(s, 4);
    // xyz takes heights within 100 km; a point further out is most likely a latitude,
    // longitude and height given to the wrong command. The height is compared as printed (to
    // a millimetre at most), so a point xyz wrote at the limit reads back, and a refused one
    // shows a height beyond it.
    const int shown = std::min(n, 3);
    double printed = 0;
    if (!ReadPlainDecimal(Utf8ToWide(Fixed(h, shown)), printed) ||
        !(std::fabs(printed) <= typed::kEllipsoidHeight.hi)) {
        return Fail("the height would be " + Fixed(h, shown) +
                    " m, more than 100 km from the ellipsoid (latitude, longitude and height? "
                    "blh reads X, Y and Z in metres)");
    }
    const int angles = static_cast<int>(s.Value("--angle-decimals", 9));
    std::vector<std::string> columns = {Fixed(lat, angles), Fixed(lon, angles), Fixed(h, n)};
    if (!s.Has("--plain")) {
        columns.push_back(WideToUtf8(typed::LatitudeDms(lat, false).text.GetStdString()));
        columns.push_back(WideToUtf8(typed::LongitudeDms(lon, false).text.GetStdString()));
    }
    return Columns(std::move(columns));
}

std::size_t XyzColumns(const Settings&) {
    return 3;
}

std::size_t BlhColumns(const Settings& s) {
    return s.Has("--plain") ? 3 : 5;
}

// A unit conversion's number with `decimals`; it takes any finite value, and a read one is.
Result Printed(const typed::Number& n, int decimals) {
    return n.ok ? Ok(Fixed(n.value, decimals)) : Fail(n.why);
}

Result Height(const Fields& f, const Settings& s) {
    double v = 0;
    Result why;
    if (s.Has("--ft-in")) {
        if (!ReadNumber(f[0], kAnyValue, v, why)) return why;
        return Answer(typed::FeetInches(v, static_cast<long long>(s.Value("--ft-in", 16))), f);
    }
    const Reading r = typed::ReadHeight(f[0], ModeOf(s));
    if (!r.ok) return Fail(Refusal(r, f[0]));
    const double feet = r.value;
    const int n = Decimals(s, 6);
    if (s.Has("--us")) return Printed(typed::FeetToMetres(feet, typed::Foot::kUsSurvey), n);
    if (s.Has("--metres"))
        return Printed(typed::FeetToMetres(feet, typed::Foot::kInternational), n);
    return Ok(Fixed(feet, n));
}

Result Feet(const Fields& f, const Settings& s) {
    double v = 0;
    Result why;
    if (!ReadNumber(f[0], kAnyValue, v, why)) return why;
    const typed::Foot foot = s.Has("--us") ? typed::Foot::kUsSurvey : typed::Foot::kInternational;
    if (s.Has("--to-metres")) return Printed(typed::FeetToMetres(v, foot), Decimals(s, 6));
    return Printed(typed::MetresToFeet(v, foot), Decimals(s, 5));
}

Result Station(const Fields& f, const Settings& s) {
    const double interval = s.Value("--interval", 100);
    const std::wstring& t = f[0];
    if (t.find(L'+', 1) == std::wstring::npos) {
        double v = 0;
        Result why;
        if (!ReadNumber(t, kAnyValue, v, why)) return why;
        return Answer(typed::StationText(v, interval), f);
    }
    const Reading r = typed::ReadStation(t, interval, ModeOf(s));
    if (!r.ok) return Fail(Refusal(r, t));
    return Ok(Fixed(r.value, Decimals(s, 3)));
}

Result Date(const Fields& f, const Settings&) {
    const typed::Count c = typed::DateCount(f[0]);
    if (!c.ok) return Fail(c.why + ": " + Quote(f[0]));
    return Ok(FormatA("%lld", c.value));
}

Result Subscription(const Fields& f, const Settings&) {
    long long v = 0;
    Result why;
    if (!ReadWhole(f[0], typed::kGpsSeconds, v, why)) return why;
    return Answer(typed::SubscriptionEnd(v), f);
}

OptionSpec Flag(const char* name, const char* help, unsigned exclusive = 0) {
    return OptionSpec(name).Help(help).Exclusive(exclusive);
}

OptionSpec TextOption(const char* name, const char* valueName, const char* help) {
    return OptionSpec(name).Value(valueName).Help(help).Text();
}

// An option whose value is a whole number within `range`.
OptionSpec WholeOption(const char* name, const char* valueName, const char* help, Range range) {
    return OptionSpec(name).Value(valueName).Help(help).Within(range).Whole();
}

// -p N: the digits after the decimal point of the decimal numbers printed.
OptionSpec DecimalsOption(unsigned exclusive = 0) {
    return WholeOption("--decimals", "N", "digits after the decimal point (0 to 15)",
                       typed::kDecimals)
        .Exclusive(exclusive)
        .Short("-p");
}

// A command's own options and the reading modes: typed text is read checked unless the
// command line asks for another mode.
std::vector<OptionSpec> WithModes(std::vector<OptionSpec> options, const char* strictHelp) {
    options.push_back(
        Flag("--lenient", "read as the field software does: every text gives a number", 4));
    options.push_back(Flag("--strict", strictHelp, 4));
    return options;
}

constexpr char kStrictAngles[] = "only the usual way of writing; each refusal names the character";

template <Axis axis>
Result Parse(const Fields& f, const Settings& s) {
    const Reading r = typed::ReadAngle(f[0], axis, ModeOf(s));
    if (!r.ok) return Fail(Refusal(r, f[0]));
    return Ok(Fixed(r.value, Decimals(s, 9)));
}

Result CheckDms(const Fields& f, const Settings& s) {
    const std::wstring max = s.Text("--max", L"360");
    const std::string why = typed::DmsCheckProblem(f[0], max, s.Has("--allow-max"));
    if (why.empty()) return Ok(std::string("valid"));
    Result r = Ok("not valid: " + why);
    r.negative = true;
    return r;
}

std::string Row(const char* label, const CString& value, const char* note = "") {
    return FormatA("%-20s %s%s\n", label, value, note);
}

// A path shortened to a window's width in the emulated font (every character the same width).
Result CompactPathCommand(const Fields& f, const Settings& s) {
    fieldkit::host::SetCharWidth(static_cast<int>(s.Value("--char-width", 8)));
    const int width = static_cast<int>(s.Value("--width", 240));
    const HWND window =
        CreateWindowW(L"static", L"", 0, 0, 0, width, 20, nullptr, nullptr, nullptr, nullptr);
    const CString text = FileFuncsEx::CompactPath(window, f[0].c_str(), L'\\');
    DestroyWindow(window);
    return Ok(text);
}

const char* ScreenModel() {
    if (IsHalvaneDevice()) return "800 x 480 (the model with fixed factors 1.2 x 1.7)";
    if (IsArcher2Device()) return "480 x 800 (portrait model)";
    return "other";
}

// The display facts of an emulated screen, and this machine's free memory.
Result Device(const Fields&, const Settings& s) {
    const int width = static_cast<int>(s.Value("--width", 480));
    const int height = static_cast<int>(s.Value("--height", 640));
    const int dpi = static_cast<int>(s.Value("--dpi", 96));
    const int dpiY = static_cast<int>(s.Value("--dpi-y", dpi));
    fieldkit::host::SetScreen(width, height, dpi, dpiY);
    fieldkit::host::ResetProcessState();  // the factors are measured once per process
    std::string t =
        FormatA("%-20s %d x %d pixels, %d x %d dpi\n", "screen", width, height, dpi, dpiY);
    t += FormatA("%-20s %s\n", "model", ScreenModel());
    t += FormatA("%-20s %s\n", "scaled", IsDPIDepends() ? "yes" : "no");
    t += FormatA("%-20s x %d, y %d, larger %d\n", "100 pixels become", GetDPIDependValueX(100),
                 GetDPIDependValueY(100), GetDPIDependValue(100));
    t += FormatA("%-20s %lu bytes\n", "free memory", MemoryFuncs::GetFreeSliderMemory());
    t += FormatA("%-20s %lu bytes", "free virtual", MemoryFuncs::GetFreeVirtMemory());
    return Ok(t);
}

// The layout a program at --program would get, with directories.ini under the device root
// applied. Nothing is created: the temporary folders are named, not made.
Result Paths(const Fields&, const Settings& s) {
    const std::wstring program = s.Text("--program", L"");
    // A device path begins with a separator, either way round.
    if (program.empty() || (program[0] != L'\\' && program[0] != L'/')) {
        return Fail("--program must give the program's absolute device path");
    }
    const CString name(
        s.Text("--name", FileFuncs::ExtractFileNameWithoutExtFromPathName(CString(program.c_str()))
                             .GetStdString())
            .c_str());
    const std::wstring root = s.Text("--root", L"");
    if (!root.empty()) fieldkit::host::SetDeviceRoot(WideToUtf8(root));
    fieldkit::host::SetModuleFileName(CString(program.c_str()));
    fieldkit::host::ResetProcessState();
    SetAPPInfo(name, name, 0, TVersionInfo());
    namespace P = AppStrPaths;
    const CString ini = GetRootStorageFileName();
    std::string t = FormatA("%-20s %s\n", "device root", fieldkit::host::GetDeviceRoot());
    t += Row("program", GetApplicationPath());
    t += Row("program folder", GetExeDir());
    t += Row("directories.ini", ini, FileFuncs::IsFileExist(ini) ? " (read)" : " (none)");
    t += Row("data folder", GetDataDir());
    t += Row("common data", GetCommonDir());
    t += Row("geoid models", GetGeoidDir());
    t += Row("coordinate systems", GetCoordinateSystemDataBaseFileName());
    t += Row("temporary folder", L"\\temp\\" + name, " (made on first use)");
    t += Row("settings", P::GetSettingsFilePath());
    t += Row("common settings", P::GetCommonSettingsFilePath());
    t += Row("jobs", P::GetJobsFilePath());
    t += Row("catalogs", P::GetCatalogsFilePath());
    t += Row("log files", P::GetLogsFilePath());
    t += Row("codes", P::GetCodesFilePath());
    t += Row("user CS", P::GetUserCSFilePath());
    t += Row("images", P::GetImagesFilePath());
    t += Row("background", GetBackgroundDir());
    t += Row("CS repository", P::GetCSRepositoryPath());
    t += Row("languages", P::GetLanguagesFilePath());
    t += Row("translations", P::GetTranslationFilePath());
    t += Row("antennas", P::GetAntennasFilePath());
    t += Row("sounds", P::GetSoundsFilePath());
    t += Row("file settings", P::GetSessionSettingsPath());
    t += Row("button images", GetImagesDir_BtnsSmall());
    t += Row("picture images", GetImagesDir_PicsSmall());
    t += Row("help file", P::GetMainHelpName());
    t.pop_back();
    return Ok(t);
}

// The help text of each command under its usage and summary, in the order of the table: one
// line of source for each line printed, which the table's indent would leave no room for.
constexpr char kLatDetails[] =
    "LATITUDE is in decimal degrees, -90 to 90, north positive. The seconds have five\n"
    "decimals; a value within 0.00001\" of the next minute carries into it.\n";

constexpr char kLonDetails[] =
    "LONGITUDE is in decimal degrees, -360 to 360, east positive; it is not reduced into\n"
    "one turn.\n";

constexpr char kAngleDetails[] =
    "Negative angles keep their sign. The seconds have four decimals unless an option\n"
    "says otherwise.\n";

constexpr char kBearingDetails[] =
    "AZIMUTH is in decimal degrees, -360 to 360, clockwise from north. The bearing is\n"
    "measured from the north or south line towards east or west, the letters taken from\n"
    "the azimuth's quadrant. Letters given as options (north and east where one of a pair\n"
    "is left out) must match the azimuth's quadrant: 150 is S30E, so 150 --north is bad.\n";

constexpr char kDecimalDetails[] =
    "Prints the angle with ten decimals, or reads or writes the packed D.MMSS number\n"
    "(123.4530 is 123 degrees 45' 30\"). Both D.MMSS options reduce into one turn; minute\n"
    "or second digits of 60 or more are taken as they stand.\n";

constexpr char kXyzDetails[] =
    "LAT and LON are in decimal degrees (LAT -90 to 90, LON -360 to 360); H is the\n"
    "ellipsoidal height in metres, -100000 to 100000. The three values may be separate\n"
    "arguments or one argument separated by blanks or commas. X, Y and Z have four\n"
    "decimals unless -p says otherwise. Against PROJ, on a million random points, X, Y\n"
    "and Z agree within 3 nm.\n";

constexpr char kBlhDetails[] =
    "Prints latitude and longitude in decimal degrees (nine decimals unless\n"
    "--angle-decimals says otherwise), the ellipsoidal height in metres (four decimals\n"
    "unless -p says otherwise) and then latitude and longitude as degrees, minutes and\n"
    "seconds. Points more than about 7071 km from the earth's centre are refused, and so\n"
    "are points more than 100 km from the ellipsoid (the heights xyz takes; the height\n"
    "is compared as printed, to a millimetre at most). With --fields the five columns\n"
    "stand where the leftmost value column stood. Against PROJ, on a million random\n"
    "points, latitude and longitude agree within 1e-11 degrees (heights up to 10 km; at\n"
    "100 km PROJ's own error is larger) and heights within 4 \u00B5m, the error of the\n"
    "handheld's fixed iteration.\n";

constexpr char kHeightDetails[] =
    "Without --ft-in, HEIGHT is a feet-and-inches text such as 5'6 1/4\" (or a plain\n"
    "number) and the tool prints decimal feet, or metres. Blanks around the marks and the\n"
    "slash do not matter, inches may have decimals (5'6.25\"), and after a foot mark the\n"
    "inch mark may be left out (5'6 is 5.5 ft); primes and typographic quotes are marks\n"
    "too. A zero denominator, inches of 12 or more after feet and a fraction of a whole\n"
    "inch or more are refused (--lenient reads them as the field software does). With\n"
    "--ft-in N, HEIGHT is decimal feet and the tool prints feet and inches to the nearest\n"
    "1/N inch.\n";

constexpr char kFeetDetails[] =
    "Metres to international feet unless told otherwise; feet are rounded to 0.00001 ft.\n";

constexpr char kStationDetails[] =
    "A plain number is a chainage, printed as whole intervals, '+' and the rest\n"
    "(1234.567 is 12+34.57; a remainder that rounds to the interval carries, so 99.999\n"
    "is 1+0.00). A value containing '+' is a station, printed as its chainage. A station\n"
    "before zero is written with both parts negative (-12+-34.50 is -1234.5): -12+34.50\n"
    "is refused as ambiguous, and so is a remainder of the interval or more (--lenient\n"
    "reads them as the field software does: -12+34.50 is -1165.5).\n";

constexpr char kDateDetails[] =
    "DATE is D.M.YYYY or \"D.M.YYYY, H:MM\" (day 1-31, month 1-12, hour 0-23, minute\n"
    "0-59). The count takes 365-day years, 30-day months and years after 2000 counted\n"
    "from 2000, as the handheld's date stamps do. A date whose count does not fit in\n"
    "32 bits (after about the year 6085) is refused.\n";

constexpr char kSubscriptionDetails[] =
    "SECONDS counts from the start of GPS week 0 (6 January 1980); the date is\n"
    "month/day/year, a moment before 03:00 showing the day before. 0 or less prints\n"
    "Expired.\n";

constexpr char kParseAngleDetails[] =
    "TEXT is up to three numbers, degrees, minutes and seconds, each followed by its mark\n"
    "or separated by blanks or colons (12°30'15.5\", 12 30 15.5, 12:30:15.5, 12d30m15.5s),\n"
    "with a sign first; a decimal fraction only on the last number. The marks may be\n"
    "spelled \u00B0 \u00BA \u02DA, ' \u2032 \u2019, \" \u2033 \u201D or ''. A quadrant "
    "bearing such as\n"
    "N30°00'00\"E becomes an azimuth. Whatever could be read as another number than it\n"
    "means is refused with the reason: no digit, letters other than a bearing's, a decimal\n"
    "comma, minutes or seconds of 60 or more after degrees, unit marks out of order.\n"
    "With --strict only the usual way of writing is read (no d/m/s letters, no exponent);\n"
    "with --lenient every text gives a number, as the field software reads it: numbers\n"
    "separated by any other characters, a minus sign anywhere, no digit reads as 0.\n";

constexpr char kParseLatDetails[] =
    "As parse-angle, with one hemisphere letter N or S (either case) first or last, or a\n"
    "sign; at most 90 degrees. An s right after a number is seconds only among d and m\n"
    "units (45d30m15.5s); otherwise it is south (45.5s), and a capital S right after the\n"
    "seconds of d and m units is refused as either. With --lenient, as the field software:\n"
    "an S or s anywhere makes the latitude south, other letters separate numbers.\n";

constexpr char kParseLonDetails[] =
    "As parse-lat with E or W (either case), and at most 360 degrees (180 with --strict).\n"
    "With --lenient, as the field software: a W or w anywhere makes the longitude west.\n";

constexpr char kCheckDmsDetails[] =
    "VALUE is degrees, '.', two digits of minutes and two of seconds (123.4530 is\n"
    "123 degrees 45' 30\"). Minutes and seconds must stay below 60 and the degrees within\n"
    "the maximum; the maximum itself only with --allow-max and zero minutes and seconds.\n"
    "Prints valid, or not valid and the reason; the exit status is 1 when a value is not\n"
    "valid.\n";

constexpr char kPathsDetails[] =
    "PATH is the program's device path (backslashes, beginning with one). The layout\n"
    "follows the field software's rules: data beside the program's folder, named after\n"
    "the application, with a directories.ini in the storage folder applied. Device paths\n"
    "live under the device root (--root, else FIELDKIT_DEVICE_ROOT, else /).\n";

constexpr char kCompactPathDetails[] =
    "The path is measured in the emulated font (every character --char-width pixels) and\n"
    "must fit the window's width less a tenth; components after the first long one are\n"
    "dropped from the left, the file name is never shortened.\n";

constexpr char kDeviceDetails[] =
    "Shows how sizes drawn for 96 dpi scale on a screen of that size and dpi (default\n"
    "480 x 640 at 96 dpi), which handheld screen model it is, and this machine's free\n"
    "memory.\n";

constexpr char kIniDetails[] =
    "list prints the sections and keys in the order the file is saved in (the\n"
    "library's hash order, not the order of the text); get prints one value; set and\n"
    "remove change the file and save it the library's way: every section followed by\n"
    "an empty line, the file replaced in one step.\n";

constexpr char kPoDetails[] =
    "Attaches FILE as the default catalog (or as the catalog of --domain) and prints\n"
    "the translation of TEXT, or TEXT itself when the catalog has none.\n";

constexpr char kXmlDetails[] =
    "Prints one line per callback, in document order: 'tag KIND TEXT' for markup\n"
    "(0 open, 1 close, 2 comment or CDATA, 3 processing instruction) and 'text TEXT'\n"
    "for the text between; line breaks and tabs in the text show as \\n and \\t.\n";

}  // namespace

const std::vector<Command>& Conversions() {
    static const std::vector<Command> commands = {
        Command("lat")
            .Operands("LATITUDE... | -")
            .Summary("latitude in decimal degrees as degrees, minutes and seconds with N or S")
            .Details(kLatDetails)
            .Options({Flag("--tenths", "seconds with one decimal, cut rather than rounded")})
            .Examples(
                {{{"45.5"}, {}}, {{"-12.3456789", "--tenths"}, {}}, {{"-"}, {"45.5", "", "-0.25"}}})
            .Values({"latitude"})
            .Convert(Lat),
        Command("lon")
            .Operands("LONGITUDE... | -")
            .Summary("longitude in decimal degrees as degrees, minutes and seconds with E or W")
            .Details(kLonDetails)
            .Options({Flag("--tenths", "seconds with one decimal, cut rather than rounded")})
            .Examples({{{"151.2093"}, {}}, {{"-33.8568", "--tenths"}, {}}})
            .Values({"longitude"})
            .Convert(Lon),
        Command("angle")
            .Operands("DEGREES... | -")
            .Summary("an angle in decimal degrees as degrees, minutes and seconds")
            .Details(kAngleDetails)
            .Options({Flag("--six", "seconds with six decimals", 1),
                      Flag("--whole", "whole seconds (cut), degrees padded to three digits", 1)})
            .Examples({{{"123.456789"}, {}},
                       {{"123.456789", "--six"}, {}},
                       {{"123.456789", "--whole"}, {}}})
            .Values({"angle"})
            .Convert(Angle),
        Command("bearing")
            .Operands("AZIMUTH... | -")
            .Summary("an azimuth in decimal degrees as a quadrant bearing")
            .Details(kBearingDetails)
            .Options({Flag("--north", "measure from north", 1),
                      Flag("--south", "measure from south", 1), Flag("--east", "towards east", 2),
                      Flag("--west", "towards west", 2),
                      Flag("--auto", "the letters from the azimuth's quadrant (the default)", 3)})
            .Examples({{{"150", "--south", "--east"}, {}}, {{"-"}, {"45", "150", "200.5", "315"}}})
            .Values({"azimuth"})
            .Convert(Bearing),
        Command("decimal")
            .Operands("DEGREES... | -")
            .Summary("decimal degrees as plain numbers, and the packed D.MMSS form")
            .Details(kDecimalDetails)
            .Options({Flag("--from-dms", "the value is packed D.MMSS; print decimal degrees", 1),
                      Flag("--to-dms", "print the packed D.MMSS form, seconds to 0.0001\"", 1),
                      Flag("--lat", "a latitude (-90 to 90): seven decimals", 1),
                      Flag("--lon", "a longitude (-360 to 360): eight decimals", 1),
                      DecimalsOption()})
            .Examples({{{"123.4530", "--from-dms"}, {}},
                       {{"123.758333333", "--to-dms"}, {}},
                       {{"-33.8568", "--lat"}, {}}})
            .Values({"angle"})
            .Convert(Decimal),
        Command("xyz")
            .Operands("LAT LON H | -")
            .Summary("latitude, longitude and height on WGS 84 as earth-centred X, Y, Z in metres")
            .Details(kXyzDetails)
            .Options({DecimalsOption()})
            .Examples(
                {{{"45.5", "-73.5", "100"}, {}},
                 {{"-"}, {"0 0 0", "90,0,0"}},
                 {{"--fields", "2,3,4", "-"}, {"PT101 45 7 250 CP"}},
                 {{"-d", ",", "--header", "1", "-f", "2,3,4", "-"},
                  {"ID,Latitude,Longitude,Height,Code", "PT101,45.123456,-122.654321,123.456,CP"}},
                 {{"-k", "-f", "2,3,4", "-"},
                  {"PT101 45.123456 -122.654321 123.456 CP",
                   "PT102 45,123789 -122.654012 124.010 CP",
                   "PT103 45.124001 -122.653877 122.900 TOPO"},
                  kExitBadInput}})
            .Values({"latitude", "longitude", "height"})
            .Convert(Xyz)
            .Results(XyzColumns),
        Command("blh")
            .Operands("X Y Z | -")
            .Summary("earth-centred X, Y, Z in metres as latitude, longitude and height on WGS 84")
            .Details(kBlhDetails)
            .Options({Flag("--plain", "only the three numbers, ready to feed back into xyz"),
                      WholeOption("--decimals", "N",
                                  "digits after the decimal point of the height (0 to 15)",
                                  typed::kDecimals)
                          .Short("-p"),
                      WholeOption("--angle-decimals", "N",
                                  "digits after the decimal point of latitude and longitude "
                                  "(0 to 15)",
                                  typed::kDecimals)})
            .Examples({{{"1271876.7430", "-4293783.9249", "4526540.5309"}, {}},
                       {{"--plain", "-"}, {"6378137 0 0"}}})
            .Values({"X", "Y", "Z"})
            .Convert(Blh)
            .Results(BlhColumns),
        Command("height")
            .Operands("HEIGHT... | -")
            .Summary("feet-and-inches text and decimal feet, either way")
            .Details(kHeightDetails)
            .Options(WithModes(
                {WholeOption("--ft-in", "N",
                             "feet and inches to the nearest 1/N inch (0: fraction dropped)",
                             typed::kFeetInchDenominator)
                     .Exclusive(3),
                 Flag("--metres", "print metres (international foot, 0.3048 m)", 1),
                 Flag("--us", "print metres by the US survey foot, 1200/3937 m", 1),
                 DecimalsOption(2)},
                "the same as the default reading for heights"))
            .Examples({{{"5.5", "--ft-in", "16"}, {}},
                       {{"5.52", "--ft-in", "8"}, {}},
                       {{"5'6 1/4\""}, {}},
                       {{"-"}, {"-5'6\"", "1/4\"", "7'"}},
                       {{"5' 6", "--metres"}, {}}})
            .Values({"height"})
            .Convert(Height),
        Command("feet")
            .Operands("LENGTH... | -")
            .Summary("metres to feet, or feet to metres")
            .Details(kFeetDetails)
            .Options({Flag("--intl", "the international foot, 0.3048 m (the default)", 1),
                      Flag("--us", "the US survey foot, 1200/3937 m", 1),
                      Flag("--to-metres", "the value is in feet; print metres"), DecimalsOption()})
            .Examples(
                {{{"1", "--us"}, {}}, {{"1", "--intl"}, {}}, {{"100", "--us", "--to-metres"}, {}}})
            .Values({"length"})
            .Convert(Feet),
        Command("station")
            .Operands("CHAINAGE... | STATION... | -")
            .Summary("a chainage as a road station, and back")
            .Details(kStationDetails)
            .Options(WithModes({OptionSpec("--interval")
                                    .Value("N")
                                    .Help("the station interval (default 100)")
                                    .Within(typed::kStationInterval),
                                DecimalsOption()},
                               "the same as the default reading for stations"))
            .Examples({{{"1234.567"}, {}},
                       {{"12+34.57"}, {}},
                       {{"1234.567", "--interval", "1000"}, {}},
                       {{"--", "-12+34.50"}, {}, kExitBadInput}})
            .Values({"station"})
            .Convert(Station),
        Command("date")
            .Operands("DATE... | -")
            .Summary("a date and time as the handheld's pseudo-minute count")
            .Details(kDateDetails)
            .Examples({{{"01.02.2019, 10:30"}, {}}, {{"1.2.2019"}, {}}})
            .Values({"date"})
            .Convert(Date),
        Command("subscription")
            .Operands("SECONDS... | -")
            .Summary("the end of a correction-service subscription given in GPS seconds, as a date")
            .Details(kSubscriptionDetails)
            .Examples({{{"1239019200"}, {}}, {{"0"}, {}}})
            .Values({"seconds"})
            .Convert(Subscription),
        Command("parse-angle")
            .Operands("TEXT... | -")
            .Summary("an angle as typed (degrees, minutes and seconds, or a quadrant bearing) in "
                     "degrees")
            .Details(kParseAngleDetails)
            .Options(WithModes({DecimalsOption()}, kStrictAngles))
            .Examples({{{"12°30'15.5\""}, {}},
                       {{"S20°00'00\"W"}, {}},
                       {{"-"}, {"12 30", "45'", "12:30:15.5", "1e2"}},
                       {{"12,5"}, {}, kExitBadInput},
                       {{"--lenient", "12,5"}, {}}})
            .Values({"angle"})
            .Convert(Parse<Axis::kAngle>),
        Command("parse-lat")
            .Operands("TEXT... | -")
            .Summary("a latitude as typed in degrees, south negative")
            .Details(kParseLatDetails)
            .Options(WithModes({DecimalsOption()}, kStrictAngles))
            .Examples({{{"45°30'00\"S"}, {}},
                       {{"33°51'24.48000\"N"}, {}},
                       {{"45d30m15.5s"}, {}},
                       {{"453015.5N"}, {}, kExitBadInput}})
            .Values({"latitude"})
            .Convert(Parse<Axis::kNorthSouth>),
        Command("parse-lon")
            .Operands("TEXT... | -")
            .Summary("a longitude as typed in degrees, west negative")
            .Details(kParseLonDetails)
            .Options(WithModes(
                {DecimalsOption()},
                "only the usual way of writing, at most 180 degrees; each refusal names the "
                "character"))
            .Examples({{{"12°30'W"}, {}}, {{"45 30 N"}, {}, kExitBadInput}})
            .Values({"longitude"})
            .Convert(Parse<Axis::kEastWest>),
        Command("check-dms")
            .Operands("VALUE... | -")
            .Summary("whether a typed packed D.MMSS value is acceptable")
            .Details(kCheckDmsDetails)
            .Options({TextOption("--max", "DEG", "the maximum degrees as typed (default 360)"),
                      Flag("--allow-max", "accept the maximum itself")})
            .Examples(
                {{{"123.4530", "--max", "360"}, {}}, {{"12.5960", "--max", "90"}, {}, kExitNo}})
            .Values({"value"})
            .Convert(CheckDms),
        Command("paths")
            .Operands("--program PATH [--name NAME]")
            .Summary("the folders and standard files a program would use")
            .Details(kPathsDetails)
            .Options(
                {TextOption("--program", "PATH", "the program's device path"),
                 TextOption("--name", "NAME", "the application name (default: the program's name)"),
                 TextOption("--root", "DIR", "the host folder that holds the device's files")})
            .Examples({{{"--program", "\\SD Card\\Survey\\Survey.exe", "--name", "Survey"}, {}}})
            .Convert(Paths),
        Command("compact-path")
            .Operands("PATH... | -")
            .Summary("a path shortened with ... to fit a window's width")
            .Details(kCompactPathDetails)
            .Options({WholeOption("--width", "PIXELS", "the window's client width (default 240)",
                                  {0, 100000}),
                      WholeOption("--char-width", "PIXELS", "the width of a character (default 8)",
                                  {1, 1000})})
            .Examples({{{"\\Card\\Data\\Jobs\\Project\\file.txt", "--width", "200"}, {}},
                       {{"\\Card\\Data\\Jobs\\Project\\file.txt", "--width", "140"}, {}}})
            .Values({"path"})
            .Convert(CompactPathCommand),
        Command("device")
            .Operands("[--width N --height N --dpi N --dpi-y N]")
            .Summary("display scaling of a screen, and free memory")
            .Details(kDeviceDetails)
            .Options({WholeOption("--width", "N", "screen width in pixels", {1, 100000}),
                      WholeOption("--height", "N", "screen height in pixels", {1, 100000}),
                      WholeOption("--dpi", "N", "dots per inch (both axes)", {1, 10000}),
                      WholeOption("--dpi-y", "N", "dots per inch vertically", {1, 10000})})
            .Convert(Device),
        Command("ini")
            .Operands("list FILE [SECTION] | get FILE SECTION KEY | set FILE SECTION KEY VALUE | "
                      "remove FILE SECTION KEY")
            .Summary("read and change an INI settings file as the field software does")
            .Details(kIniDetails)
            .Action(IniCommand),
        Command("po")
            .Operands("lookup FILE TEXT")
            .Summary("a text's translation in a .po catalog")
            .Details(kPoDetails)
            .Options({TextOption("--domain", "NAME", "attach the catalog to this domain")})
            .Action(PoCommand),
        Command("xml")
            .Operands("events FILE")
            .Summary("the callbacks an XML reader receives for a file")
            .Details(kXmlDetails)
            .Action(XmlCommand),
    };
    return commands;
}

}  // namespace fieldkit::tool
