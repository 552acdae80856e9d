// The three reading modes. Lenient hands the text to the library. Checked and strict read it
// here, in two steps: the text is cut into tokens (numbers, unit marks in their spellings,
// letters, signs, separators), and the tokens are put together into degrees, minutes and
// seconds, a sign and hemisphere letters, refusing at the first thing that does not fit. The
// value is then made with the library's own arithmetic, so a text both readings understand
// gives the same double to the last bit.
#include "typed/reading.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fieldkit/fieldkit.h"
#include "typed/numbers.h"

namespace fieldkit::typed {

namespace {

// The library's factors, so that values agree to the last bit.
constexpr double kSecondsInDegrees = 0.0002777777777777778;
constexpr double kMinutesInDegrees = 0.016666666666666666;
constexpr double kOneTwelfth = 0.08333333333333333;

// Larger angles are typing slips, and the library's 32-bit counts saturate beyond them.
constexpr double kLargestAngle = kAnyValue.hi;

constexpr int kNoUnit = -1;
constexpr int kDegrees = 0;
constexpr int kMinutes = 1;
constexpr int kSeconds = 2;

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

wchar_t Upper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Blanks, tabs and the space separators exports put between numbers (no-break, thin spaces).
// The usual characters are answered here, without a call into the library for each.
bool IsSpace(wchar_t c) {
    if (c == L' ') return true;
    if (c < 0x85 && !(c >= L'\t' && c <= L'\r')) return false;
    return IsWideSpace(c);
}

bool IsSign(wchar_t c) {
    return c == L'-' || c == L'+' || c == L'\u2212';  // U+2212: the minus sign of typeset text
}

// The unit a mark stands for, in the spellings people type and word processors make:
// degree sign, masculine ordinal and ring above; apostrophe, prime and right single quote;
// quotation mark, double prime and right double quote.
int MarkUnit(wchar_t c) {
    switch (c) {
        case L'\u00B0':
        case L'\u00BA':
        case L'\u02DA':
            return kDegrees;
        case L'\'':
        case L'\u2032':
        case L'\u2019':
            return kMinutes;
        case L'"':
        case L'\u2033':
        case L'\u201D':
            return kSeconds;
        default:
            return kNoUnit;
    }
}

const char* UnitName(int unit) {
    return unit == kMinutes ? "minutes" : "seconds";
}

// ---- Reasons --------------------------------------------------------------------------------

// "<what> ('<piece>' at character <n>)": the offending piece of the text (its first 20
// characters) and where it begins, counted from 1.
std::string At(const std::string& what, const std::wstring& text, std::size_t at,
               std::size_t length = 1) {
    return what + " (" + Quote(std::wstring_view(text).substr(at, length), 20) + " at character " +
           std::to_string(at + 1) + ")";
}

// The shortest text that reads back as the same double.
std::string Shortest(double v) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

Reading Refused(std::string why) {
    Reading r;
    r.why = std::move(why);
    return r;
}

Reading Value(double v) {
    Reading r;
    r.ok = true;
    r.value = v;
    return r;
}

// A run of ASCII digits, with an optional '.' and more digits, as the scanner reads it.
double DecimalValue(const std::wstring& text, std::size_t from, std::size_t to) {
    // Up to 15 significant digits and 22 decimals, the digits as a whole number and the power
    // of ten are both exact doubles, so one division rounds as correctly as the general reading
    // (which the longer numbers take); nearly every number typed is such a one, and a reader
    // over a file of millions spends most of its time here.
    static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    std::uint64_t digits = 0;
    int significant = 0;
    int decimals = 0;
    bool point = false;
    for (std::size_t i = from; i < to; ++i) {
        const wchar_t c = text[i];
        if (c == L'.') {
            point = true;
            continue;
        }
        if (digits != 0 || c != L'0') ++significant;
        digits = digits * 10 + static_cast<std::uint64_t>(c - L'0');
        if (point) ++decimals;
        if (significant > 15 || decimals > 22) {
            double v = 0;
            ReadPlainDecimal(std::wstring_view(text).substr(from, to - from), v);
            return v;
        }
    }
    const auto whole = static_cast<double>(digits);
    return decimals == 0 ? whole : whole / kPow10[decimals];
}

// ---- Tokens ---------------------------------------------------------------------------------

struct Token {
    enum Kind { kNumber, kMark, kLetter, kSign, kColon, kComma, kOther } kind = kOther;
    std::size_t at = 0;        // where it begins in the text
    std::size_t length = 1;    // how many characters
    bool spaceBefore = false;  // blanks between it and the token before
    wchar_t c = 0;             // its first character
    int unit = kNoUnit;        // a mark's unit
    double value = 0;          // a number's value
    std::size_t point = 0;     // a number's decimal point (its index in the text), 0 if none
    bool hasPoint = false;
};

// The tokens of `t` into `tokens`, which keeps its storage from one text to the next.
void Tokens(const std::wstring& t, std::vector<Token>& tokens) {
    tokens.clear();
    bool space = false;
    for (std::size_t i = 0; i < t.size();) {
        const wchar_t c = t[i];
        if (IsSpace(c)) {
            space = true;
            ++i;
            continue;
        }
        Token k;
        k.at = i;
        k.c = c;
        k.spaceBefore = space;
        space = false;
        const bool pointThenDigit = c == L'.' && i + 1 < t.size() && IsDigit(t[i + 1]);
        if (IsDigit(c) || pointThenDigit) {
            k.kind = Token::kNumber;
            std::size_t j = i;
            while (j < t.size() && IsDigit(t[j]))
                ++j;
            if (j < t.size() && t[j] == L'.') {
                k.hasPoint = true;
                k.point = j;
                for (++j; j < t.size() && IsDigit(t[j]);)
                    ++j;
            }
            k.length = j - i;
            k.value = DecimalValue(t, i, j);
        } else if (MarkUnit(c) != kNoUnit) {
            k.kind = Token::kMark;
            k.unit = MarkUnit(c);
            // Two minute marks together are a seconds mark (45''), as typed without a ".
            if (k.unit == kMinutes && i + 1 < t.size() && MarkUnit(t[i + 1]) == kMinutes) {
                k.unit = kSeconds;
                k.length = 2;
            }
        } else if (IsAsciiLetter(c)) {
            k.kind = Token::kLetter;
        } else if (IsSign(c)) {
            k.kind = Token::kSign;
        } else if (c == L':') {
            k.kind = Token::kColon;
        } else if (c == L',') {
            k.kind = Token::kComma;
        }
        i += k.length;
        tokens.push_back(k);
    }
}

// At most N elements in place: a text holds at most two hemisphere letters and three numbers,
// and the reader runs once for each value of a file of millions.
template <class T, std::size_t N>
class Few {
  public:
    void push_back(const T& item) { items_[size_++] = item; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return items_[i]; }
    const T& operator[](std::size_t i) const { return items_[i]; }
    T& front() { return items_[0]; }
    const T& front() const { return items_[0]; }
    T* begin() { return items_; }
    T* end() { return items_ + size_; }
    const T* begin() const { return items_; }
    const T* end() const { return items_ + size_; }

  private:
    T items_[N] = {};
    std::size_t size_ = 0;
};

// ---- Angles ---------------------------------------------------------------------------------

struct Number {
    const Token* token = nullptr;
    int unit = kNoUnit;  // given by a mark or a unit letter, or kNoUnit
    const Token* mark = nullptr;
};

// What the tokens say, put together.
struct Parsed {
    const Token* sign = nullptr;
    Few<const Token*, 2> letters;  // one first, one last
    Few<Number, 3> numbers;
};

class AngleReader {
  public:
    AngleReader(const std::wstring& text, Axis axis, bool strict)
        : t_(text), axis_(axis), strict_(strict), tokens_(Scratch()) {
        Tokens(text, tokens_);
    }

    Reading Read();

  private:
    bool LetterStyle() const;
    std::string Structure(Parsed& p) const;
    std::string Unit(Number& n, std::size_t& i, bool letterStyle) const;
    std::string OutOfPlace(const Token& k) const;
    std::string LetterProblem(const Token& k) const;
    std::string Letters(const Parsed& p) const;
    std::string Units(Parsed& p) const;
    Reading Exponent() const;
    Reading Range(const Parsed& p, double v) const;

    std::string Here(const std::string& what, const Token& k) const {
        return At(what, t_, k.at, k.length);
    }

    const std::wstring& t_;
    Axis axis_;
    bool strict_;
    // The tokens' storage, kept by each thread from one text to the next.
    static std::vector<Token>& Scratch() {
        static thread_local std::vector<Token> tokens;
        return tokens;
    }

    std::vector<Token>& tokens_;
};

// d and m right after numbers mean degrees and minutes, and then an s right after a number
// means seconds (45d30m15.5s); without them an s is south, as everywhere else.
bool AngleReader::LetterStyle() const {
    for (std::size_t i = 1; i < tokens_.size(); ++i) {
        const Token& k = tokens_[i];
        if (k.kind == Token::kLetter && (k.c == L'd' || k.c == L'm') && !k.spaceBefore &&
            tokens_[i - 1].kind == Token::kNumber)
            return true;
    }
    return false;
}

// The unit mark of the number just read, if one follows it; `i` moves past it.
std::string AngleReader::Unit(Number& n, std::size_t& i, bool letterStyle) const {
    if (i >= tokens_.size()) return "";
    const Token& k = tokens_[i];
    if (k.kind == Token::kMark) {
        n.unit = k.unit;
        n.mark = &k;
        ++i;
        return "";
    }
    if (k.kind != Token::kLetter || k.spaceBefore) return "";
    if (k.c == L'd' || k.c == L'm') {
        if (strict_) return Here("a unit letter, strict reading takes \u00B0, ' and \"", k);
        n.unit = k.c == L'd' ? kDegrees : kMinutes;
        n.mark = &k;
        ++i;
    } else if (letterStyle && !strict_ && (k.c == L's' || k.c == L'S')) {
        // Among d and m units an s is seconds; a capital S right after the number could be
        // either, and a wrong guess puts the point in the other hemisphere.
        if (k.c == L'S') return Here("seconds or south?", k);
        n.unit = kSeconds;
        n.mark = &k;
        ++i;
    }
    return "";
}

std::string AngleReader::OutOfPlace(const Token& k) const {
    switch (k.kind) {
        case Token::kNumber:
            return Here("more than three numbers", k);
        case Token::kMark:
            return Here("a unit mark without a number before it", k);
        case Token::kLetter: {
            const std::string why = LetterProblem(k);
            if (!why.empty()) return why;
            return Here(axis_ == Axis::kAngle ? "a bearing has N or S first and E or W last"
                                              : "a hemisphere letter neither first nor last",
                        k);
        }
        case Token::kSign:
            return Here("a sign not at the start", k);
        case Token::kColon:
            return Here("a colon not between two numbers", k);
        case Token::kComma: {
            const bool between =
                k.at > 0 && k.at + 1 < t_.size() && IsDigit(t_[k.at - 1]) && IsDigit(t_[k.at + 1]);
            return Here(between ? "a decimal comma?" : "a comma", k);
        }
        case Token::kOther:
            break;
    }
    return Here(axis_ == Axis::kAngle ? "a character that is not part of an angle"
                                      : "a character that is not part of a coordinate",
                k);
}

// Letter, sign, letter, up to three numbers each with its unit, a letter: every token in its
// place, or why not.
std::string AngleReader::Structure(Parsed& p) const {
    const bool letterStyle = !strict_ && LetterStyle();
    const std::size_t n = tokens_.size();
    std::size_t i = 0;
    // A leading hemisphere letter and a sign, in either order.
    for (int lead = 0; lead < 2 && i < n; ++lead) {
        if (tokens_[i].kind == Token::kLetter && p.letters.empty()) {
            const std::string why = LetterProblem(tokens_[i]);
            if (!why.empty()) return why;
            p.letters.push_back(&tokens_[i++]);
        } else if (tokens_[i].kind == Token::kSign && p.sign == nullptr) {
            p.sign = &tokens_[i++];
        } else {
            break;
        }
    }
    while (i < n) {
        const Token& k = tokens_[i];
        if (k.kind == Token::kNumber && p.numbers.size() < 3) {
            // Made in its place: a copy made afterwards would be read back before the
            // stores of its fields have settled, a stall on every number of a million texts.
            p.numbers.push_back(Number{&k, kNoUnit, nullptr});
            Number& number = p.numbers[p.numbers.size() - 1];
            ++i;
            const std::string why = Unit(number, i, letterStyle);
            if (!why.empty()) return why;
            // A colon stands between two unmarked numbers (45:30:15.5).
            if (i + 1 < n && tokens_[i].kind == Token::kColon && number.mark == nullptr &&
                tokens_[i + 1].kind == Token::kNumber)
                ++i;
            continue;
        }
        if (k.kind == Token::kLetter && i + 1 == n && !p.numbers.empty()) {
            p.letters.push_back(&k);
            ++i;
            continue;
        }
        return OutOfPlace(k);
    }
    for (const Token* k : p.letters) {
        const std::string why = LetterProblem(*k);
        if (!why.empty()) return why;
    }
    return "";
}

// Why a letter cannot be one of the axis's letters, wherever it stands.
std::string AngleReader::LetterProblem(const Token& k) const {
    const wchar_t c = Upper(k.c);
    if (c != L'N' && c != L'S' && c != L'E' && c != L'W') {
        if (strict_ && (k.c == L'd' || k.c == L'm'))
            return Here("a unit letter, strict reading takes \u00B0, ' and \"", k);
        return Here(axis_ == Axis::kAngle ? "a letter in an angle that is not a bearing"
                                          : "a letter that is not a hemisphere",
                    k);
    }
    if (axis_ == Axis::kNorthSouth && (c == L'E' || c == L'W'))
        return Here("E or W in a latitude", k);
    if (axis_ == Axis::kEastWest && (c == L'N' || c == L'S'))
        return Here("N or S in a longitude", k);
    return "";
}

// The letters where the axis wants them: a bearing's two, or one hemisphere letter.
std::string AngleReader::Letters(const Parsed& p) const {
    if (axis_ == Axis::kAngle) {
        // A bearing: N or S first, E or W last, and nothing else.
        // Letters stand only first and last (Structure), so two letters are one of each.
        const bool bearing = p.letters.size() == 2;
        for (std::size_t i = 0; i < p.letters.size(); ++i) {
            const wchar_t c = Upper(p.letters[i]->c);
            const bool fits =
                bearing && (i == 0 ? (c == L'N' || c == L'S') : (c == L'E' || c == L'W'));
            if (!fits) return Here("a bearing has N or S first and E or W last", *p.letters[i]);
        }
    } else if (p.letters.size() > 1) {
        return Here("a second hemisphere letter", *p.letters[1]);
    }
    if (p.sign != nullptr && !p.letters.empty())
        return Here("both a sign and a hemisphere letter", *p.sign);
    return "";
}

// Degrees, minutes and seconds in that order, each unmarked number the unit after the one
// before; minutes and seconds below 60.
std::string AngleReader::Units(Parsed& p) const {
    Few<Number, 3>& numbers = p.numbers;
    for (std::size_t k = 0; k + 1 < numbers.size(); ++k) {
        if (numbers[k].token->hasPoint) {
            const Token& n = *numbers[k].token;
            return At("a decimal fraction before the last number", t_, n.point);
        }
    }
    int expected = numbers.front().unit == kNoUnit ? kDegrees : numbers.front().unit;
    for (Number& n : numbers) {
        if (n.unit == kNoUnit) n.unit = expected;
        if (n.unit != expected || n.unit > kSeconds)
            return Here("unit marks out of the order degrees, minutes, seconds",
                        n.mark != nullptr ? *n.mark : *n.token);
        ++expected;
    }
    for (const Number& n : numbers) {
        const Token& k = *n.token;
        if (strict_ && k.hasPoint && (k.point + 1 == k.at + k.length || k.point == k.at))
            return At("a decimal point without digits on both sides", t_, k.point);
        // A minute or second count alone (75') is plain; after degrees it is a slip.
        const bool alone = numbers.size() == 1;
        if (n.unit != kDegrees && k.value >= 60 && (strict_ || !alone))
            return Here(std::string(UnitName(n.unit)) + " of 60 or more", k);
    }
    return "";
}

// What an out-of-range single number may really be: degrees, minutes and seconds packed into
// one number (453015.5 for 45°30'15.5"), or degrees and minutes (4530.25, as GNSS receivers
// write them), where the degrees so read are within `limit`.
std::string PackedHint(const Parsed& p, double limit) {
    if (p.numbers.size() != 1 || p.numbers[0].unit != kDegrees) return "";
    const double a = std::fabs(p.numbers[0].token->value);
    if (!(a < 1e12)) return "";
    const auto whole = static_cast<long long>(a);
    const double fraction = a - static_cast<double>(whole);
    const bool dms = whole >= 10000 && static_cast<double>(whole / 10000) <= limit &&
                     (whole / 100) % 100 < 60 && static_cast<double>(whole % 100) + fraction < 60;
    const bool dm = whole >= 1000 && static_cast<double>(whole / 100) <= limit &&
                    static_cast<double>(whole % 100) + fraction < 60;
    if (dms && dm) return ", packed DDMMSS or DDMM.MM?";
    if (dms) return ", packed DDMMSS?";
    if (dm) return ", packed DDMM.MM?";
    return "";
}

Reading AngleReader::Range(const Parsed& p, double v) const {
    const Token& first = *p.numbers.front().token;
    const double a = std::fabs(v);
    if (axis_ == Axis::kNorthSouth && !(a <= 90))
        return Refused(Here("a latitude beyond 90 degrees" + PackedHint(p, 90), first));
    const double lonLimit = strict_ ? 180 : 360;
    if (axis_ == Axis::kEastWest && !(a <= lonLimit)) {
        return Refused(Here(std::string(strict_ ? "a longitude beyond 180 degrees"
                                                : "a longitude beyond 360 degrees") +
                                PackedHint(p, lonLimit),
                            first));
    }
    if (!(a <= kLargestAngle)) return Refused(Here("an angle beyond 1e9 degrees", first));
    return Value(v);
}

// A whole text that is a plain number with an exponent (1e2), as the library reads it: the
// exponent only with a small e, and no other letter.
Reading AngleReader::Exponent() const {
    double v = 0;
    for (const wchar_t c : t_) {
        if (!IsDigit(c) && c != L'.' && c != L'e' && c != L'-' && c != L'+' && !IsSpace(c))
            return Refused("");
    }
    if (t_.find(L'e') == std::wstring::npos || !ReadPlainDecimal(t_, v)) return Refused("");
    if (axis_ == Axis::kNorthSouth && !(std::fabs(v) <= 90))
        return Refused("a latitude beyond 90 degrees");
    if (axis_ == Axis::kEastWest && !(std::fabs(v) <= 360))
        return Refused("a longitude beyond 360 degrees");
    if (!(std::fabs(v) <= kLargestAngle)) return Refused("an angle beyond 1e9 degrees");
    return Value(v);
}

Reading AngleReader::Read() {
    bool digit = false;
    for (const wchar_t c : t_)
        digit = digit || IsDigit(c);
    if (tokens_.empty()) return Refused("empty");
    if (!digit) return Refused("no digit");
    if (!strict_) {
        const Reading r = Exponent();
        if (r.ok || !r.why.empty()) return r;
    }
    Parsed p;
    std::string why = Structure(p);
    if (why.empty()) why = Letters(p);
    if (why.empty()) why = Units(p);
    if (!why.empty()) return Refused(why);

    double d = 0, m = 0, s = 0;
    for (const Number& n : p.numbers)
        (n.unit == kDegrees ? d : n.unit == kMinutes ? m : s) = n.token->value;
    double v = (s * kSecondsInDegrees + m * kMinutesInDegrees) + d;
    bool negative = p.sign != nullptr && p.sign->c != L'+';
    if (axis_ == Axis::kAngle && !p.letters.empty()) {
        if (!(v <= 90)) return Refused(Here("a bearing beyond 90 degrees", *p.numbers[0].token));
        // The library's azimuth of a quadrant bearing.
        const bool north = Upper(p.letters[0]->c) == L'N';
        const bool east = Upper(p.letters[1]->c) == L'E';
        v = north ? (east ? v : 360 - v) : (east ? 180 - v : v + 180);
        if (v < 0) v += 360;
        if (v > 360) v -= 360;
        return Value(v);
    }
    for (const Token* k : p.letters)
        negative = negative || Upper(k->c) == L'S' || Upper(k->c) == L'W';
    return Range(p, negative ? -v : v);
}

// A whole text that is one plain decimal number, within the tool's range of values.
Reading PlainNumber(const std::wstring& t) {
    double v = 0;
    if (!ReadPlainDecimal(t, v)) return Refused("not a number");
    if (!(std::fabs(v) <= kAnyValue.hi)) return Refused("out of range (-1e+09 to 1e+09)");
    return Value(v);
}

// ---- Heights --------------------------------------------------------------------------------

class HeightReader {
  public:
    explicit HeightReader(const std::wstring& text) : t_(text) {}

    Reading Read();

  private:
    bool Is(wchar_t c) const { return i_ < t_.size() && t_[i_] == c; }
    bool IsDigitAt(std::size_t at) const { return at < t_.size() && IsDigit(t_[at]); }
    // The unit a mark at `at` gives, with its length (the two characters of '').
    int MarkAt(std::size_t at, std::size_t& length) const {
        length = 1;
        if (at >= t_.size()) return kNoUnit;
        const int unit = MarkUnit(t_[at]);
        if (unit == kMinutes && at + 1 < t_.size() && MarkUnit(t_[at + 1]) == kMinutes) {
            length = 2;
            return kSeconds;
        }
        return unit;
    }
    bool FootMark() {
        std::size_t n = 0;
        if (MarkAt(i_, n) != kMinutes) return false;
        i_ += n;
        return true;
    }
    bool InchMark() {
        std::size_t n = 0;
        if (MarkAt(i_, n) != kSeconds) return false;
        i_ += n;
        return true;
    }
    void Blanks() {
        while (i_ < t_.size() && IsSpace(t_[i_]))
            ++i_;
    }
    // Digits with an optional fraction; false when there is no digit.
    bool Number(double& value, bool& fraction, std::size_t& start) {
        start = i_;
        while (IsDigitAt(i_))
            ++i_;
        if (i_ == start) return false;
        fraction = Is(L'.') && IsDigitAt(i_ + 1);
        if (fraction) {
            for (++i_; IsDigitAt(i_);)
                ++i_;
        }
        value = DecimalValue(t_, start, i_);
        return true;
    }
    Reading OutOfPlace() const {
        if (i_ >= t_.size()) return Refused("not a feet-and-inches height (something missing)");
        return Refused(At("not a feet-and-inches height", t_, i_));
    }
    Reading Inches(double feet, bool hasFeet, std::size_t feetStart, bool negative);

    const std::wstring& t_;
    std::size_t i_ = 0;
};

Reading HeightReader::Read() {
    bool negative = false;
    if (i_ < t_.size() && IsSign(t_[i_])) {
        negative = t_[i_] != L'+';
        ++i_;
        Blanks();
    }
    // Feet: the number before a foot mark, if the text has one.
    bool hasFeet = false;
    for (std::size_t j = i_, length = 1; j < t_.size(); j += length)
        hasFeet = hasFeet || MarkAt(j, length) == kMinutes;
    double feet = 0;
    std::size_t feetStart = i_;
    if (hasFeet) {
        bool fraction = false;
        if (!Number(feet, fraction, feetStart)) return OutOfPlace();
        Blanks();
        if (!FootMark()) return OutOfPlace();
        Blanks();
        // Feet alone, with or without an inch mark after them (5', 5'").
        if (InchMark()) {
            Blanks();
            if (i_ != t_.size()) return OutOfPlace();
        }
        if (i_ == t_.size()) {
            if (!std::isfinite(feet)) return Refused(At("too large a height", t_, feetStart));
            return Value(feet == 0 ? 0.0 : (negative ? -feet : feet));
        }
    }
    return Inches(feet, hasFeet, feetStart, negative);
}

// I, I.I, I N/D or N/D, then the inch mark (which may be left out after feet).
Reading HeightReader::Inches(double feet, bool hasFeet, std::size_t feetStart, bool negative) {
    double first = 0, numerator = 0, denominator = 1, inches = 0;
    bool fraction = false, slash = false;
    std::size_t firstStart = 0, numeratorStart = 0, denominatorStart = 0;
    if (!Number(first, fraction, firstStart)) return OutOfPlace();
    const std::size_t afterFirst = i_;
    Blanks();
    if (!fraction && IsDigitAt(i_) && i_ > afterFirst) {
        inches = first;  // I N/D
        bool f = false;
        Number(numerator, f, numeratorStart);
        if (f) return Refused(At("a fraction's numerator is a whole number", t_, numeratorStart));
        Blanks();
        if (!Is(L'/')) return OutOfPlace();
        slash = true;
    } else if (!fraction && Is(L'/')) {
        numerator = first;  // N/D
        numeratorStart = firstStart;
        slash = true;
    } else {
        inches = first;
        i_ = afterFirst;
    }
    if (slash) {
        ++i_;
        Blanks();
        bool f = false;
        if (!Number(denominator, f, denominatorStart) || f) return OutOfPlace();
        if (denominator == 0)
            return Refused(At("a zero denominator", t_, denominatorStart, i_ - denominatorStart));
        if (numerator >= denominator)
            return Refused(
                At("a fraction of a whole inch or more", t_, numeratorStart, i_ - numeratorStart));
    }
    Blanks();
    const bool inchMark = InchMark();
    Blanks();
    if (i_ != t_.size() || (!inchMark && !hasFeet)) return OutOfPlace();
    if (hasFeet && inches >= 12)
        return Refused(
            At("inches of 12 or more after feet", t_, firstStart, afterFirst - firstStart));
    const double value = (numerator / denominator + inches) * kOneTwelfth + feet;
    if (!std::isfinite(value)) return Refused(At("too large a height", t_, feetStart));
    return Value(value == 0 ? 0.0 : (negative ? -value : value));
}

// The library reads a number too large for a double as an infinity, which no caller can use:
// a success only for a finite value.
Reading Finite(double v) {
    if (!std::isfinite(v)) return Refused("too large a number (it reads as infinity)");
    return Value(v);
}

}  // namespace

std::string Refusal(const Reading& reading, const std::wstring& text) {
    return reading.why + ": " + Quote(text);
}

bool ModeNamed(const std::string& name, Mode& mode) {
    if (name == "checked") {
        mode = Mode::kChecked;
    } else if (name == "lenient") {
        mode = Mode::kLenient;
    } else if (name == "strict") {
        mode = Mode::kStrict;
    } else {
        return false;
    }
    return true;
}

Reading ReadAngle(const std::wstring& text, Axis axis, Mode mode) {
    if (mode == Mode::kLenient) {
        const CString t(text.c_str());
        return Finite(axis == Axis::kNorthSouth ? StringToLatitude(t)
                      : axis == Axis::kEastWest ? StringToLongitude(t)
                                                : StringToAngle(t));
    }
    // Blanks around the text are skipped as tokens are made, so positions count in the text
    // as given.
    return AngleReader(text, axis, mode == Mode::kStrict).Read();
}

Reading ReadHeight(const std::wstring& text, Mode mode) {
    if (mode == Mode::kLenient) return Finite(StringToHeight(CString(text.c_str())));
    const std::wstring t = Trim(text);
    bool marked = false;
    for (const wchar_t c : t)
        marked = marked || MarkUnit(c) == kMinutes || MarkUnit(c) == kSeconds;
    if (t.empty()) return Refused("empty");
    if (!marked) return PlainNumber(t);
    return HeightReader(t).Read();
}

Reading ReadStation(const std::wstring& text, double interval, Mode mode) {
    if (mode == Mode::kLenient) {
        double chainage = 0;
        if (StnFromString(CString(text.c_str()), chainage, interval) != 1)
            return Refused("not a station (N+R)");
        return Finite(chainage);
    }
    const std::wstring t = Trim(text);
    if (t.empty()) return Refused("empty");
    const std::size_t plus = t.find(L'+', 1);
    if (plus == std::wstring::npos) return PlainNumber(t);
    const std::wstring countText = Trim(t.substr(0, plus));
    const std::wstring remainderText = Trim(t.substr(plus + 1));
    long long count = 0;
    double remainder = 0;
    std::string why;
    if (!ReadWhole(countText, {-kMax32, kMax32}, count, why) ||
        !ReadNumber(remainderText, kAnyValue, remainder, why))
        return Refused("not a station (N+R)");
    const bool countNegative = countText[0] == L'-';
    const bool remainderNegative = remainderText[0] == L'-';
    // A zero remainder reads the same with either sign ("-1+0.00", the station text of -100).
    if (countNegative && !remainderNegative && remainder != 0) {
        return Refused("a negative station with an unsigned remainder (write " +
                       WideToUtf8(countText) + "+-" + WideToUtf8(remainderText) +
                       " for the station before zero)");
    }
    if (count > 0 && remainderNegative)
        return Refused("a positive station with a negative remainder");
    if (!(std::fabs(remainder) < std::fabs(interval)))
        return Refused("a remainder of the interval or more (the interval is " +
                       Shortest(interval) + ")");
    return Value(static_cast<double>(count) * interval + remainder);
}

std::string DmsCheckProblem(const std::wstring& value, const std::wstring& maximum,
                            bool allowMaximum) {
    CString t(value.c_str());
    t.Trim();
    // Where t begins in the value, for the positions in a reason.
    std::size_t offset = 0;
    while (offset < value.size() && IsWideSpace(value[offset]))
        ++offset;
    if (t.GetLength() > 0 && t[0] == L'-') {
        t.Delete(0);
        ++offset;
    }
    const std::wstring s = t.GetStdString();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!IsDigit(s[i]) && s[i] != L'.')
            return At("a character other than a digit or '.'", value, offset + i);
    }
    const std::size_t point = s.find(L'.');
    if (point != std::wstring::npos && s.find(L'.', point + 1) != std::wstring::npos)
        return At("a second decimal point", value, offset + s.find(L'.', point + 1));
    CString degrees = t;
    CString rest;
    if (point != std::wstring::npos && point > 0) {
        degrees = t.Left(static_cast<int>(point));
        rest = t.Mid(static_cast<int>(point));
        if (rest.GetLength() > 1) rest.Delete(0);
    }
    const CString max(maximum.c_str());
    const int width = max.GetLength();
    const std::string maxText = "'" + WideToUtf8(maximum) + "'";
    if (degrees.GetLength() > width) return "more degree digits than the maximum " + maxText;
    if (degrees.GetLength() < width) degrees = CString(L' ', width - degrees.GetLength()) + degrees;
    if (degrees.Compare(max) > 0) return "degrees above the maximum " + maxText;
    CString limit = L"59";
    if (degrees.Compare(max) == 0) {
        if (!allowMaximum) return "the maximum " + maxText + " itself (--allow-max allows it)";
        limit = L"00";
    }
    const char* const kField[] = {"minutes", "seconds"};
    for (const char* field : kField) {
        if (rest.IsEmpty()) return "";
        CString digits = rest.Left(2);
        rest = rest.Mid(2);
        while (digits.GetLength() < 2)
            digits += L'0';
        if (digits.Compare(limit) > 0) {
            return std::string(field) + " " + WideToUtf8(digits.GetStdString()) +
                   (limit == L"00" ? " with the maximum degrees (only 00)" : " above 59");
        }
    }
    return "";
}

}  // namespace fieldkit::typed
