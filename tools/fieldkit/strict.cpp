// Typed angles read strictly: the library's readers take any text and make a number of it;
// --strict lets through only an angle written the usual way, so that the number printed is
// what the text plainly says.
//
// The usual way: an optional sign, up to three numbers (degrees, minutes, seconds) separated by
// blanks or followed by their marks (degree sign, ', "), a decimal fraction only on the last
// one, and the letters of the axis: one hemisphere letter first or last for a latitude or a
// longitude, N or S first and E or W last for a quadrant bearing. A single number may be
// minutes (') or seconds (") alone.
#include <string>
#include <vector>

#include "cli.h"

namespace fieldkit::tool {

namespace {

constexpr wchar_t kDegreeSign = L'\u00B0';

struct Piece {
    enum Kind { kNumber, kMark, kLetter, kSign, kOther } kind = kOther;
    wchar_t c = 0;       // the mark, letter, sign or other character
    bool point = false;  // a number with a decimal fraction
    double value = 0;    // the number
};

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool IsLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

double DigitsValue(const std::wstring& digits) {
    double v = 0;
    for (const wchar_t c : digits)
        v = v * 10 + (c - L'0');
    return v;
}

// The text in pieces, blanks dropped. A number is digits, with '.' and more digits.
std::vector<Piece> Pieces(const std::wstring& t) {
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < t.size();) {
        const wchar_t c = t[i];
        if (IsBlank(c)) {
            ++i;
            continue;
        }
        Piece p;
        p.c = c;
        if (IsDigit(c)) {
            p.kind = Piece::kNumber;
            const std::size_t start = i;
            while (i < t.size() && IsDigit(t[i]))
                ++i;
            p.value = DigitsValue(t.substr(start, i - start));
            if (i + 1 < t.size() && t[i] == L'.' && IsDigit(t[i + 1])) {
                p.point = true;
                double scale = 1;
                for (++i; i < t.size() && IsDigit(t[i]); ++i) {
                    scale /= 10;
                    p.value += (t[i] - L'0') * scale;
                }
            }
            pieces.push_back(p);
            continue;
        }
        if (c == kDegreeSign || c == L'\'' || c == L'"')
            p.kind = Piece::kMark;
        else if (IsLetter(c))
            p.kind = Piece::kLetter;
        else if (c == L'-' || c == L'+')
            p.kind = Piece::kSign;
        pieces.push_back(p);
        ++i;
    }
    return pieces;
}

bool OneOf(wchar_t c, const wchar_t* set) {
    for (; *set != L'\0'; ++set) {
        if (c == *set) return true;
    }
    return false;
}

// The letters of the axis where they belong, or why not.
std::string LetterProblem(const std::vector<Piece>& pieces, Axis axis) {
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].kind == Piece::kLetter) at.push_back(i);
    }
    const std::size_t last = pieces.size() - 1;
    if (axis == Axis::kAngle) {
        const bool bearing = at.size() == 2 && at[0] == 0 && at[1] == last &&
                             OneOf(pieces[0].c, L"NS") && OneOf(pieces[last].c, L"EW");
        return at.empty() || bearing
                   ? ""
                   : "letters other than a bearing's N or S first and E or W last";
    }
    const bool latitude = axis == Axis::kNorthSouth;
    const bool one = at.empty() || (at.size() == 1 && (at[0] == 0 || at[0] == last) &&
                                    OneOf(pieces[at[0]].c, latitude ? L"NSns" : L"EWew"));
    if (one) return "";
    return latitude ? "letters other than one N or S, first or last"
                    : "letters other than one E or W, first or last";
}

// The numbers in order, or why the text is more than that.
std::string NumberProblem(const std::vector<Piece>& pieces, std::vector<const Piece*>& numbers,
                          std::vector<wchar_t>& marks) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        if (p.kind == Piece::kNumber) {
            numbers.push_back(&p);
            marks.push_back(0);
        } else if (p.kind == Piece::kMark) {
            if (i == 0 || pieces[i - 1].kind != Piece::kNumber) return "characters left over";
            marks.back() = p.c;
        } else if (p.kind == Piece::kOther || (p.kind == Piece::kSign && i != 0)) {
            return "characters left over";
        }
    }
    if (numbers.size() > 3) return "more than three numbers";
    for (std::size_t k = 0; k + 1 < numbers.size(); ++k) {
        if (numbers[k]->point) return "a decimal fraction before the last number";
    }
    return "";
}

// Degrees, minutes and seconds in that order; one number alone may be minutes or seconds.
std::string UnitProblem(const std::vector<const Piece*>& numbers, const std::vector<wchar_t>& marks,
                        int& firstUnit) {
    const wchar_t kOrder[] = {kDegreeSign, L'\'', L'"'};
    firstUnit = 0;
    if (numbers.size() == 1 && marks[0] != 0)
        firstUnit = marks[0] == L'\'' ? 1 : marks[0] == L'"' ? 2 : 0;
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        if (marks[k] != 0 && marks[k] != kOrder[firstUnit + static_cast<int>(k)])
            return "unit marks out of the order degrees, minutes, seconds";
    }
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        if (firstUnit + static_cast<int>(k) > 0 && numbers[k]->value >= 60)
            return "minutes or seconds of 60 or more";
    }
    return "";
}

}  // namespace

std::string StrictAngleProblem(const std::wstring& text, Axis axis, double value) {
    const std::wstring t = Trim(text);
    const std::vector<Piece> pieces = Pieces(t);
    bool digit = false;
    bool sign = false;
    bool letter = false;
    for (const Piece& p : pieces) {
        digit = digit || p.kind == Piece::kNumber;
        sign = sign || p.kind == Piece::kSign;
        letter = letter || p.kind == Piece::kLetter;
    }
    if (!digit) return "no digit";
    std::string why = LetterProblem(pieces, axis);
    if (!why.empty()) return why;
    std::vector<const Piece*> numbers;
    std::vector<wchar_t> marks;
    why = NumberProblem(pieces, numbers, marks);
    if (!why.empty()) return why;
    int firstUnit = 0;
    why = UnitProblem(numbers, marks, firstUnit);
    if (!why.empty()) return why;
    if (axis == Axis::kNorthSouth && !(value >= -90 && value <= 90))
        return "a latitude beyond 90 degrees";
    if (axis == Axis::kEastWest && !(value >= -180 && value <= 180))
        return "a longitude beyond 180 degrees";
    // A bearing's letters stand first and last, where a sign would be: only a hemisphere
    // letter can meet one, and the library would turn the sign round.
    if (sign && letter) return "both a sign and a hemisphere letter";
    if (axis == Axis::kAngle && letter) {
        // The library reads a bearing only in more than three characters: "S5E" would be 5.
        if (t.size() <= 3) return "too short to be read as a bearing";
        double angle = 0;
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            double unit = 1;
            for (int u = 0; u < firstUnit + static_cast<int>(k); ++u)
                unit /= 60;
            angle += numbers[k]->value * unit;
        }
        if (angle > 90) return "a bearing beyond 90 degrees";
    }
    return "";
}

}  // namespace fieldkit::tool
