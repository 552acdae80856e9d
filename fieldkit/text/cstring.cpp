#include "fieldkit/text/cstring.h"

#include <algorithm>
#include <cwchar>

#include "fieldkit/text/charclass.h"
#include "fieldkit/text/codepage.h"

namespace {

std::size_t Clamp(int v, std::size_t hi) {
    return v <= 0 ? 0 : std::min(static_cast<std::size_t>(v), hi);
}

// Compares as wcscmp does, with code units taken as unsigned so the order is that of the code
// points.
int CompareUnits(const std::wstring& a, const wchar_t* b, bool noCase) {
    if (b == nullptr) b = L"";
    for (const wchar_t* x = a.c_str();; ++x, ++b) {
        wchar_t cx = *x, cy = *b;
        if (noCase) {
            cx = fieldkit::ToWideLower(cx);
            cy = fieldkit::ToWideLower(cy);
        }
        if (cx != cy) {
            return static_cast<unsigned long>(cx) < static_cast<unsigned long>(cy) ? -1 : 1;
        }
        if (cx == L'\0') return 0;
    }
}

bool InSet(wchar_t c, const wchar_t* set) {
    return c != L'\0' && std::wcschr(set, c) != nullptr;
}

}  // namespace

CString::CString(const wchar_t* text) : m_str(text ? text : L"") {}

CString::CString(const wchar_t* text, int length) {
    if (text && length > 0) m_str.assign(text, static_cast<std::size_t>(length));
}

CString::CString(wchar_t ch, int repeat) {
    if (repeat > 0) m_str.assign(static_cast<std::size_t>(repeat), ch);
}

CString::CString(const char* utf8) {
    if (utf8) m_str = fieldkit::Utf8ToWide(utf8);
}

CString& CString::operator=(const wchar_t* text) {
    m_str = text ? text : L"";
    return *this;
}

wchar_t CString::GetAt(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < m_str.size()
               ? m_str[static_cast<std::size_t>(index)]
               : L'\0';
}

void CString::SetAt(int index, wchar_t ch) {
    if (index >= 0 && static_cast<std::size_t>(index) < m_str.size()) {
        m_str[static_cast<std::size_t>(index)] = ch;
    }
}

int CString::Find(wchar_t ch, int start) const {
    if (start < 0) start = 0;
    const std::size_t p = m_str.find(ch, static_cast<std::size_t>(start));
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

int CString::Find(const wchar_t* sub, int start) const {
    if (sub == nullptr || start < 0 || static_cast<std::size_t>(start) > m_str.size()) return -1;
    const std::size_t p = m_str.find(sub, static_cast<std::size_t>(start));
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

int CString::ReverseFind(wchar_t ch) const {
    const std::size_t p = m_str.rfind(ch);
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

int CString::FindOneOf(const wchar_t* chars) const {
    if (chars == nullptr || *chars == L'\0') return -1;
    const std::size_t p = m_str.find_first_of(chars);
    return p == std::wstring::npos ? -1 : static_cast<int>(p);
}

CString CString::Mid(int first) const {
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const {
    const std::size_t f = Clamp(first, m_str.size());
    const std::size_t n = std::min(Clamp(count, m_str.size()), m_str.size() - f);
    return CString(m_str.substr(f, n));
}

CString CString::Left(int count) const {
    return CString(m_str.substr(0, Clamp(count, m_str.size())));
}

CString CString::Right(int count) const {
    const std::size_t n = Clamp(count, m_str.size());
    return CString(m_str.substr(m_str.size() - n));
}

CString& CString::TrimLeft() {
    std::size_t i = 0;
    while (i < m_str.size() && fieldkit::IsWideSpace(m_str[i]))
        ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight() {
    std::size_t n = m_str.size();
    while (n > 0 && fieldkit::IsWideSpace(m_str[n - 1]))
        --n;
    m_str.resize(n);
    return *this;
}

CString& CString::TrimLeft(const wchar_t* chars) {
    if (chars == nullptr) return *this;
    std::size_t i = 0;
    while (i < m_str.size() && InSet(m_str[i], chars))
        ++i;
    m_str.erase(0, i);
    return *this;
}

CString& CString::TrimRight(const wchar_t* chars) {
    if (chars == nullptr) return *this;
    std::size_t n = m_str.size();
    while (n > 0 && InSet(m_str[n - 1], chars))
        --n;
    m_str.resize(n);
    return *this;
}

CString& CString::TrimLeft(wchar_t ch) {
    const wchar_t set[2] = {ch, L'\0'};
    return TrimLeft(set);
}

CString& CString::TrimRight(wchar_t ch) {
    const wchar_t set[2] = {ch, L'\0'};
    return TrimRight(set);
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}
CString& CString::Trim(wchar_t ch) {
    return TrimRight(ch).TrimLeft(ch);
}
CString& CString::Trim(const wchar_t* chars) {
    return TrimRight(chars).TrimLeft(chars);
}

int CString::Remove(wchar_t ch) {
    const std::size_t before = m_str.size();
    m_str.erase(std::remove(m_str.begin(), m_str.end(), ch), m_str.end());
    return static_cast<int>(before - m_str.size());
}

int CString::Replace(wchar_t oldCh, wchar_t newCh) {
    int n = 0;
    for (wchar_t& c : m_str) {
        if (c == oldCh) {
            c = newCh;
            ++n;
        }
    }
    return n;
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText) {
    if (oldText == nullptr || *oldText == L'\0') return 0;
    const std::wstring from(oldText);
    const std::wstring to(newText ? newText : L"");
    std::wstring out;
    int n = 0;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = m_str.find(from, pos)) != std::wstring::npos; ++n) {
        out.append(m_str, pos, hit - pos);
        out += to;
        pos = hit + from.size();
    }
    if (n > 0) {
        out.append(m_str, pos, std::wstring::npos);
        m_str.swap(out);
    }
    return n;
}

int CString::Insert(int index, wchar_t ch) {
    m_str.insert(Clamp(index, m_str.size()), 1, ch);
    return GetLength();
}

int CString::Insert(int index, const wchar_t* text) {
    if (text) m_str.insert(Clamp(index, m_str.size()), text);
    return GetLength();
}

int CString::Delete(int index, int count) {
    const std::size_t f = Clamp(index, m_str.size());
    m_str.erase(f, Clamp(count, m_str.size()));
    return GetLength();
}

CString& CString::MakeUpper() {
    for (wchar_t& c : m_str)
        c = fieldkit::ToWideUpper(c);
    return *this;
}

CString& CString::MakeLower() {
    for (wchar_t& c : m_str)
        c = fieldkit::ToWideLower(c);
    return *this;
}

int CString::Compare(const wchar_t* text) const {
    return CompareUnits(m_str, text, false);
}

int CString::CompareNoCase(const wchar_t* text) const {
    return CompareUnits(m_str, text, true);
}

CString& CString::operator+=(const CString& text) {
    m_str += text.m_str;
    return *this;
}

CString& CString::operator+=(const wchar_t* text) {
    if (text) m_str += text;
    return *this;
}

CString& CString::operator+=(wchar_t ch) {
    m_str += ch;
    return *this;
}

CString operator+(const CString& a, const CString& b) {
    return CString(a.m_str + b.m_str);
}

CString operator+(const CString& a, const wchar_t* b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const wchar_t* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, wchar_t b) {
    CString r(a);
    r += b;
    return r;
}

CString operator+(wchar_t a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}
