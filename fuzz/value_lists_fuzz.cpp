// Splits arbitrary text into values (ParseValues, ParseDelimitersValues) and replaces runs of
// characters in it (replaceChars), checking each result against a plain count of its own.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fieldkit/numbers/text_utils.h"
#include "fieldkit/text/charclass.h"
#include "fuzz/fuzz_support.h"

namespace {

// The pieces between the positions where `isDelimiter` holds: adjacent delimiters give an
// empty piece, a delimiter at the very end none, an empty text one empty piece.
template <class F>
std::vector<std::wstring> Split(const std::wstring& text, F isDelimiter) {
    std::vector<std::wstring> pieces(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isDelimiter(text[i])) {
            pieces.back().push_back(text[i]);
        } else if (i + 1 < text.size()) {
            pieces.emplace_back();
        }
    }
    return pieces;
}

// A value as stored: no white space at either end, no CR or LF anywhere.
CString Clean(const std::wstring& piece) {
    std::wstring v;
    for (const wchar_t c : piece) {
        if (c != L'\r' && c != L'\n') v.push_back(c);
    }
    std::size_t first = 0, last = v.size();
    while (first < last && fieldkit::IsWideSpace(v[first]))
        ++first;
    while (last > first && fieldkit::IsWideSpace(v[last - 1]))
        --last;
    return CString(v.substr(first, last - first));
}

bool HoldsAny(const std::wstring& text, const std::wstring& set) {
    return !set.empty() && text.find_first_of(set) != std::wstring::npos;
}

void CheckParseValues(const CString& text, char delimiter, const CString& forbidden) {
    CArray<CString> values;
    values.Add(CString(L"kept"));
    const bool ok = ParseValues(text, values, delimiter, forbidden);
    FUZZ_CHECK(values.GetSize() >= 1 && values[0] == L"kept");
    const auto delim = static_cast<wchar_t>(static_cast<unsigned char>(delimiter));
    const std::vector<std::wstring> pieces =
        Split(text.GetStdString(), [delim](wchar_t c) { return c == delim; });
    // The forbidden set counts up to its first NUL, as a C text does.
    const std::wstring set(forbidden.GetString());
    const auto got = static_cast<std::size_t>(values.GetSize() - 1);
    FUZZ_CHECK(got <= pieces.size());
    for (std::size_t k = 0; k < got; ++k) {
        FUZZ_CHECK(values[static_cast<INT_PTR>(k + 1)] == Clean(pieces[k]));
        FUZZ_CHECK(!HoldsAny(values[static_cast<INT_PTR>(k + 1)].GetStdString(), set));
    }
    if (ok) {
        FUZZ_CHECK(got == pieces.size());
    } else {
        FUZZ_CHECK(got < pieces.size());
        FUZZ_CHECK(HoldsAny(Clean(pieces[got]).GetStdString(), set));
    }
}

void CheckDelimitersValues(const CString& text, const CString& delimiters) {
    CArray<CString> values;
    values.Add(CString(L"kept"));
    FUZZ_CHECK(ParseDelimitersValues(text, values, delimiters));
    const std::wstring& set = delimiters.GetStdString();
    const std::vector<std::wstring> pieces =
        Split(text.GetStdString(), [&set](wchar_t c) { return set.find(c) != std::wstring::npos; });
    FUZZ_CHECK(values[0] == L"kept");
    FUZZ_CHECK(static_cast<std::size_t>(values.GetSize() - 1) == pieces.size());
    for (std::size_t k = 0; k < pieces.size(); ++k)
        FUZZ_CHECK(values[static_cast<INT_PTR>(k + 1)] == Clean(pieces[k]));
}

void CheckReplaceChars(const wchar_t* text, const wchar_t* chars, const wchar_t* replacement) {
    CString out(L"old");
    const int runs = replaceChars(text, chars, replacement, out);
    const std::wstring src(text), set(chars), with(replacement);
    std::wstring expected;
    int expectedRuns = 0;
    for (std::size_t i = 0; i < src.size();) {
        if (set.find(src[i]) == std::wstring::npos || set.empty()) {
            expected.push_back(src[i++]);
            continue;
        }
        ++expectedRuns;
        expected += with;
        while (i < src.size() && set.find(src[i]) != std::wstring::npos)
            ++i;
    }
    FUZZ_CHECK(runs == expectedRuns);
    FUZZ_CHECK(out.GetStdString() == expected);

    // The output may be the input's own CString.
    CString same(text);
    FUZZ_CHECK(replaceChars(same.GetString(), chars, replacement, same) == expectedRuns);
    FUZZ_CHECK(same.GetStdString() == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Byte 0: the delimiter; byte 1: how many characters of the text start form the sets
    // (forbidden characters, delimiters, characters to replace); the rest: the text.
    if (size < 2) return 0;
    const char delimiter = static_cast<char>(data[0]);
    const std::size_t setLength = data[1] % 5;
    const CString all = fuzz::Text(fuzz::Bytes(data + 2, size - 2));
    const std::wstring& w = all.GetStdString();
    const std::size_t cut = setLength < w.size() ? setLength : w.size();
    const CString set(w.substr(0, cut));
    const CString text(w.substr(cut));

    CheckParseValues(text, delimiter, set);
    CheckDelimitersValues(text, set);
    // The replacement is the text's first two characters, so it may hold characters of the set.
    const CString replacement(text.GetStdString().substr(0, 2));
    CheckReplaceChars(text.GetString(), set.GetString(), replacement.GetString());
    CheckReplaceChars(text.GetString(), set.GetString(), L"");
    return 0;
}
