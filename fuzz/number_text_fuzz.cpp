// Feeds arbitrary text to the number, date, height and station readers and to the formatter.
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fieldkit/numbers/lengths.h"
#include "fieldkit/numbers/number_text.h"
#include "fieldkit/numbers/stations.h"
#include "fieldkit/text/format.h"
#include "fuzz/fuzz_support.h"

namespace {

template <class T>
T Clamp(long v, T low, T high) {
    return v < static_cast<long>(low)    ? low
           : v > static_cast<long>(high) ? high
                                         : static_cast<T>(v);
}

// The text without the blanks next to a foot mark, an inch mark or a slash.
CString WithoutBlanksAtMarks(const std::wstring& t) {
    const auto mark = [](wchar_t c) { return c == L'\'' || c == L'"' || c == L'/'; };
    std::wstring out;
    for (std::size_t i = 0; i < t.size();) {
        if (t[i] != L' ') {
            out.push_back(t[i++]);
            continue;
        }
        std::size_t j = i;
        while (j < t.size() && t[j] == L' ')
            ++j;
        const bool beside = (i > 0 && mark(t[i - 1])) || (j < t.size() && mark(t[j]));
        if (!beside) out.append(t, i, j - i);
        i = j;
    }
    return CString(out);
}

bool Same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::Bytes(data, size);
    const CString text = fuzz::Text(bytes);
    const wchar_t* s = text.GetString();

    // A failed scan stores zero; the narrower readers saturate what the widest one reads.
    double d = 1;
    float f = 1;
    int i = 1;
    long l = 1;
    short h = 1;
    unsigned int u = 1;
    const int readD = StringToDouble(s, d);
    const int readF = StringToFloat(s, f);
    const int readI = StringToInt(s, i);
    const int readL = StringToLong(s, l);
    const int readH = StringToShort(s, h);
    const int readU = StringToUint(s, u);
    FUZZ_CHECK(readD == 0 || readD == 1);
    if (!readD) FUZZ_CHECK(d == 0);
    if (!readF) FUZZ_CHECK(f == 0);
    if (!readI) FUZZ_CHECK(i == 0);
    if (!readL) FUZZ_CHECK(l == 0);
    if (!readH) FUZZ_CHECK(h == 0);
    if (!readU) FUZZ_CHECK(u == 0);
    FUZZ_CHECK(readI == readL && readH == readL);
    FUZZ_CHECK(readF == readD);
    if (readL) {
        FUZZ_CHECK(i == Clamp<int>(l, INT_MIN, INT_MAX));
        FUZZ_CHECK(h == Clamp<short>(l, SHRT_MIN, SHRT_MAX));
    }

    StringToDouble(text);
    StringToFloat(text);
    StringToInt(text);
    DateToInt(text);
    // Blanks around the marks and the slash do not matter.
    const double height = StringToHeight(text);
    FUZZ_CHECK(Same(height, StringToHeight(WithoutBlanksAtMarks(text.GetStdString()))));
    StringToNorE(text);

    // A text that can't be read leaves the chainage alone.
    double chainage = 12345.5;
    if (!StnFromString(text, chainage, 100)) FUZZ_CHECK(chainage == 12345.5);
    StnFromString(text, chainage, 0);

    // The text as a format with a few arguments: must never read past what was passed.
    fieldkit::detail::FormatA(bytes.c_str(), 1, 2.5, "s");
    return 0;
}
