#include "fieldkit/numbers/lengths.h"

#include <cmath>
#include <cstdint>
#include <cwchar>
#include <numeric>

#include "fieldkit/numbers/detail/truncate.h"
#include "fieldkit/numbers/number_text.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/text/scan.h"

using fieldkit::detail::NoThrow;
using fieldkit::detail::Scan;
using fieldkit::detail::TruncToInt32;

namespace {

constexpr double kUSFootInMetres = 0.3048006096012192;  // 1200/3937
constexpr double kMetreInUSFeet = 3.2808333333333333;   // 3937/1200
constexpr double kIFootInMetres = 0.3048;
constexpr double kMetreInIFeet = 3.280839895013123;  // 1/0.3048
constexpr double kOneTwelfth = 0.08333333333333333;

const wchar_t kZeroHeight[] = L"0'0\"";

// Whole feet carried up from inches; feet are kept in 64 bits so a saturated 32-bit value
// can still take the carry.
void CarryInches(long long& feet, long long& inches) {
    if (inches >= 12) {
        feet += inches / 12;
        inches -= 12 * (inches / 12);
    }
}

// The leading integer of a text in the manner of _wtol: white space, sign, digits.
long LeadingLong(CString text) {
    text.Remove(L' ');
    long v = 0;
    if (Scan(text.GetString(), L"%ld", &v) != 1) v = 0;
    return v;
}

// Feet-and-inches text as the reader splits it: no blank before the foot mark, none next to a
// mark or a slash, and at most one between the inches and the fraction. Without this, a
// harmless extra blank ("5' 6\"", "5' 6 1/4\"") would move the split and silently drop or
// garble the inches; text in the written form is unchanged.
CString CanonicalFeetAndInches(const CString& text) {
    const int footMark = text.Find(L'\'');
    CString out;
    for (int i = 0; i < text.GetLength(); ++i) {
        const wchar_t c = text[i];
        if (c != L' ') {
            out += c;
            continue;
        }
        if (i < footMark || out.IsEmpty()) continue;
        const wchar_t before = out[out.GetLength() - 1];
        int j = i;
        while (text[j] == L' ')
            ++j;
        const wchar_t after = text[j];
        if (after == L'\0' || std::wcschr(L"'\"/", after) || std::wcschr(L"'\"/", before)) continue;
        out += L' ';
        i = j - 1;
    }
    return out;
}

CString Piece(const CString& text, int start, int end) {
    return end <= start ? CString() : text.Mid(start, end - start);
}

}  // namespace

CString HeightToDecimalString(double value, int decimals) {
    return DoubleToString(value, decimals);
}

CString NorEToDecimalString(double value, int decimals) {
    return HeightToDecimalString(value, decimals);
}

CString NorEToFeetAndInchesString(double value, int decimals) {
    return HeightToDecimalString(value, decimals);
}

namespace {

CString FeetAndInchesText(double feet, int denominator) {
    if (feet == 0) return kZeroHeight;
    CString text;
    if (feet < 0) {
        text = L"-";
        feet = -feet;
    }
    long long wholeFeet = TruncToInt32(feet);
    const double inches = (feet - static_cast<double>(wholeFeet)) * 12.0;
    // A hair below a whole inch counts as that inch.
    long long wholeInches = TruncToInt32(inches + 0.00005);
    const double fraction = inches - static_cast<double>(wholeInches);
    // The fraction is slightly negative when the tolerance rounded the inch up: no numerator.
    long long numerator = TruncToInt32(denominator * fraction + 0.5);
    if (numerator < 0) numerator = 0;
    if (numerator > 0 && numerator >= denominator) {
        wholeInches += 1;
        numerator = 0;
    }
    CarryInches(wholeFeet, wholeInches);
    if (wholeFeet > 0) text.AppendFormat(L"%lld'", wholeFeet);
    if (numerator > 0) {
        const long long g = std::gcd(numerator, static_cast<long long>(denominator));
        numerator /= g;
        const long long reduced = denominator / g;
        if (reduced > 1) {
            if (wholeInches > 0) text.AppendFormat(L"%lld ", wholeInches);
            text.AppendFormat(L"%lld/%lld\"", numerator, reduced);
        } else if (wholeInches > 0) {
            text.AppendFormat(L"%lld\"", wholeInches);
        }
    } else if (wholeInches > 0) {
        text.AppendFormat(L"%lld\"", wholeInches);
    }
    if (text.IsEmpty() || text == L"-") return kZeroHeight;
    return text;
}

double HeightFromText(CString text) {
    if (text.IsEmpty()) return 0;
    const bool hasInchMark = text.Find(L'"') >= 0;
    if (!hasInchMark && text.Find(L'\'') < 0) return StringToDouble(text);

    double sign = 1;
    if (text[0] == L'-') {
        text = text.Mid(1);
        sign = -1;
    }
    text = CanonicalFeetAndInches(text);
    // Inches typed without their mark ("5'6") still count; "5'" alone is whole feet.
    const int footMark = text.Find(L'\'');
    const bool inchesWithoutMark =
        !hasInchMark && footMark >= 0 && text.Mid(footMark + 1).FindOneOf(L"0123456789") >= 0;
    if (inchesWithoutMark) text += L'"';
    double value;
    if (!hasInchMark && !inchesWithoutMark) {
        value = StringToDouble(text);
    } else {
        const int blank = text.Find(L' ');
        const int slash = text.Find(L'/');
        const int inchMark = text.Find(L'"');
        const CString feetText = footMark >= 0 ? text.Left(footMark) : CString();
        const int a = footMark;  // -1 without a foot mark
        CString inchesText, numeratorText, denominatorText;
        int b = a;
        if (blank >= 0) {
            inchesText = Piece(text, a + 1, blank);
            b = blank;
        }
        int c = b;
        if (slash >= 0) {
            numeratorText = Piece(text, b + 1, slash);
            c = slash;
        }
        const CString last = Piece(text, c + 1, inchMark);
        if (slash >= 0)
            denominatorText = last;
        else if (blank < 0)
            inchesText = last;

        const double wholeFeet = StringToDouble(feetText);
        const long inches = LeadingLong(inchesText);
        const long numerator = LeadingLong(numeratorText);
        long denominator = LeadingLong(denominatorText);
        if (denominator <= 0) denominator = 1;
        value = (static_cast<double>(numerator) / static_cast<double>(denominator) +
                 static_cast<double>(inches)) *
                    kOneTwelfth +
                wholeFeet;
    }
    if (value != 0) value = sign * value;
    return value;
}

}  // namespace

// Out of memory: an empty text, and a height of 0.
CString HeightToFeetAndInchesString(double feet, int denominator) {
    return NoThrow(CString(), [=] { return FeetAndInchesText(feet, denominator); });
}

double StringToHeight(CString text) {
    return NoThrow(0.0, [&] { return HeightFromText(text); });
}

double StringToNorE(CString text) {
    return NoThrow(0.0, [&] { return HeightFromText(text); });
}

double USFeet2Meter(double feet) {
    return feet * 100000.0 * kUSFootInMetres * 0.00001;
}
double IFeet2Meter(double feet) {
    return feet * 100000.0 * kIFootInMetres * 0.00001;
}
double Meter2USFeet(double metres) {
    return dNearInt(metres * 100000.0 * kMetreInUSFeet) * 0.00001;
}
double Meter2IFeet(double metres) {
    return dNearInt(metres * 100000.0 * kMetreInIFeet) * 0.00001;
}

double Meter2FFFII(double metres, bool usFeet) {
    double feet = usFeet ? Meter2USFeet(metres) : Meter2IFeet(metres);
    const bool negative = feet < 0;
    if (negative) feet = -feet;
    long long wholeFeet = TruncToInt32(feet);
    const double inches = (feet - static_cast<double>(wholeFeet)) * 12.0;
    long long wholeInches = TruncToInt32(inches);
    long long eighths = TruncToInt32(dNearInt((inches - static_cast<double>(wholeInches)) * 8.0));
    if (eighths >= 8) {
        wholeInches += eighths / 8;
        eighths -= 8 * (eighths / 8);
    }
    CarryInches(wholeFeet, wholeInches);
    const double packed = static_cast<double>(eighths) * 0.001 +
                          static_cast<double>(wholeInches) * 0.01 + static_cast<double>(wholeFeet);
    return negative ? -packed : packed;
}

double FFFII2Meter(double packed, bool usFeet) {
    const bool negative = packed < 0;
    const double v = negative ? -packed : packed;
    long long wholeFeet = TruncToInt32(v);
    const double t = (v - static_cast<double>(wholeFeet)) * 100.0;
    long long inchDigits = TruncToInt32(t);
    long long eighths = TruncToInt32(dNearInt((t - static_cast<double>(inchDigits)) * 10.0));
    if (eighths >= 10) {  // the third digit rounded up into the inch digits
        inchDigits += 1;
        eighths = 0;
    }
    if (eighths >= 8) {  // digits 8 and 9 read as 8/8 and 9/8 inch
        inchDigits += eighths / 8;
        eighths -= 8 * (eighths / 8);
    }
    CarryInches(wholeFeet, inchDigits);
    double feet =
        (static_cast<double>(eighths) * 0.125 + static_cast<double>(inchDigits)) * kOneTwelfth +
        static_cast<double>(wholeFeet);
    if (negative) feet = -feet;
    return feet * 100000.0 * (usFeet ? kUSFootInMetres : kIFootInMetres) * 0.00001;
}
