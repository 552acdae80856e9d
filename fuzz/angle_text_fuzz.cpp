// Feeds arbitrary text to the angle, latitude and longitude readers and to the packed D.MMSS
// check.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fieldkit/angles/angle_parse.h"
#include "fieldkit/angles/angle_text.h"
#include "fuzz/fuzz_support.h"

namespace {

bool HasDigit(const CString& text) {
    return text.FindOneOf(L"0123456789") >= 0;
}

// What an accepted packed value may hold: digits and at most one point, after an optional
// minus, once blanks at both ends are gone.
bool LooksPacked(CString text) {
    text.Trim();
    std::wstring t = text.GetStdString();
    if (!t.empty() && t[0] == L'-') t.erase(0, 1);
    int points = 0;
    for (const wchar_t c : t) {
        if (c == L'.') {
            ++points;
        } else if (c < L'0' || c > L'9') {
            return false;
        }
    }
    return points <= 1;
}

// What the formatters write reads back within the seconds they keep.
void CheckReadBack(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 1e6) return;
    const double tolerance = 1e-7 * (1 + std::fabs(value) / 1000);
    const double angle = fieldkit::detail::StringToAngle2(AngleToDDDMMSSSSSString(value));
    FUZZ_CHECK(std::fabs(angle - value) <= tolerance);
    if (std::fabs(value) <= 90) {
        const double latitude = StringToLatitude(LatitudeToDDDMMSSSString(value, true));
        FUZZ_CHECK(std::fabs(latitude - value) <= tolerance);
        FUZZ_CHECK(std::fabs(StringToLatitude(LatitudeToDDDDString(value, true)) - value) <=
                   tolerance);
    }
    if (std::fabs(value) <= 180) {
        const double longitude = StringToLongitude(LongitudeToDDDMMSSSString(value, true));
        FUZZ_CHECK(std::fabs(longitude - value) <= tolerance);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the maximum for the D.MMSS check; the rest is the text.
    const std::uint8_t pick = size > 0 ? data[0] : 0;
    const std::string bytes = size > 0 ? fuzz::Bytes(data + 1, size - 1) : std::string();
    const CString text = fuzz::Text(bytes);

    const double angle = StringToAngle(text);
    // A quadrant bearing of 0 to 360 degrees gives an azimuth in [0, 360].
    CString trimmed = text;
    trimmed.Trim();
    const int n = trimmed.GetLength();
    if (n > 3 && (trimmed[0] == L'N' || trimmed[0] == L'S') &&
        (trimmed[n - 1] == L'E' || trimmed[n - 1] == L'W')) {
        const double inner = fieldkit::detail::StringToAngle2(trimmed.Mid(1, n - 2));
        if (inner >= 0 && inner <= 360) FUZZ_CHECK(angle >= 0 && angle <= 360);
    }
    const double latitude = StringToLatitude(text);
    const double longitude = StringToLongitude(text);
    const double free = fieldkit::detail::StringToAngle2(text);

    // Text without digits reads as 0.
    if (!HasDigit(text)) {
        FUZZ_CHECK(free == 0);
        FUZZ_CHECK(latitude == 0);
        FUZZ_CHECK(longitude == 0);
    }
    // Without a minus sign and a hemisphere letter nothing is negative; with the letter
    // nothing is positive.
    if (text.Find(L'-') < 0) {
        FUZZ_CHECK(!(free < 0));
        if (text.FindOneOf(L"Ss") < 0) FUZZ_CHECK(!(latitude < 0));
        if (text.FindOneOf(L"Ss") >= 0) FUZZ_CHECK(!(latitude > 0));
        if (text.FindOneOf(L"Ww") < 0) FUZZ_CHECK(!(longitude < 0));
        if (text.FindOneOf(L"Ww") >= 0) FUZZ_CHECK(!(longitude > 0));
    }

    static const wchar_t* const kMaxima[] = {L"90", L"180", L"360", L"9", L"", L"400"};
    const CString maxDegrees = kMaxima[pick % 6];
    const bool allowMax = (pick & 0x80) != 0;
    if (CheckValidDMSVal(text, maxDegrees, allowMax)) FUZZ_CHECK(LooksPacked(text));
    // The text as the maximum too: any text at all must be handled.
    CheckValidDMSVal(maxDegrees, text, allowMax);
    AngleToRad(text, text, text);

    if (bytes.size() >= sizeof(double)) {
        double value = 0;
        std::memcpy(&value, bytes.data(), sizeof value);
        CheckReadBack(value);
    }
    return 0;
}
