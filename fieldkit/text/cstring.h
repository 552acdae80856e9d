/// @file
/// CString: the wide text type of the library's interface.
///
/// A value-semantics string of wchar_t over std::wstring with the members of the handheld's
/// class library that fieldkit and its applications use. Indices and counts are int, as there.
/// Where the handheld would assert on a bad index, this class stays defined: reading outside the
/// text gives L'\0', writing outside it does nothing, and ranges are clipped to the text.
///
/// @ingroup text
#pragma once

#include <string>
#include <utility>

#include "fieldkit/text/export.h"
#include "fieldkit/text/format.h"

/// A wide text with value semantics.
class FIELDKIT_API CString {
  public:
    CString() = default;
    /// A copy of the text (null gives an empty text), of its first `length` characters (none
    /// when `length` is 0 or less), or `repeat` times one character.
    ///@{
    CString(const wchar_t* text);  // NOLINT(google-explicit-constructor): as on the handheld
    CString(const wchar_t* text, int length);
    CString(wchar_t ch, int repeat = 1);
    ///@}
    /// Narrow text is taken as UTF-8 (the encoding of narrow text on this platform).
    ///@{
    CString(const char* utf8);                                // NOLINT(google-explicit-constructor)
    CString(const std::wstring& text) : m_str(text) {}        // NOLINT(google-explicit-constructor)
    CString(std::wstring&& text) : m_str(std::move(text)) {}  // NOLINT
    ///@}

    /// Null gives an empty text.
    CString& operator=(const wchar_t* text);

    /// Length in wchar_t units, emptiness, and emptying.
    ///@{
    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    ///@}

    /// One character; L'\0' when reading outside the text, and writing there does nothing.
    ///@{
    wchar_t GetAt(int index) const;
    void SetAt(int index, wchar_t ch);
    wchar_t operator[](int index) const { return GetAt(index); }
    ///@}

    /// The text, NUL-terminated, valid until the string changes.
    ///@{
    const wchar_t* GetString() const { return m_str.c_str(); }
    operator const wchar_t*() const { return m_str.c_str(); }  // NOLINT
    const std::wstring& GetStdString() const { return m_str; }
    ///@}

    /// Index of the first match at or after `start`, or -1.
    ///@{
    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* sub, int start = 0) const;
    int ReverseFind(wchar_t ch) const;
    int FindOneOf(const wchar_t* chars) const;
    ///@}

    /// Parts of the text; positions and counts are clipped to the text.
    ///@{
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    CString Right(int count) const;
    ///@}

    /// Without an argument these remove white space (see IsWideSpace).
    ///@{
    CString& Trim();
    CString& Trim(wchar_t ch);
    CString& Trim(const wchar_t* chars);
    CString& TrimLeft();
    CString& TrimLeft(wchar_t ch);
    CString& TrimLeft(const wchar_t* chars);
    CString& TrimRight();
    CString& TrimRight(wchar_t ch);
    CString& TrimRight(const wchar_t* chars);
    ///@}

    /// Each returns the number of characters removed or replacements made.
    ///@{
    int Remove(wchar_t ch);
    int Replace(wchar_t oldCh, wchar_t newCh);
    int Replace(const wchar_t* oldText, const wchar_t* newText);
    ///@}

    /// Each returns the new length.
    ///@{
    int Insert(int index, wchar_t ch);
    int Insert(int index, const wchar_t* text);
    int Delete(int index, int count = 1);
    ///@}

    /// Case mapping by ToWideUpper and ToWideLower, whatever the process locale.
    ///@{
    CString& MakeUpper();
    CString& MakeLower();
    ///@}

    /// Ordinal comparison by code unit: negative, zero or positive.
    int Compare(const wchar_t* text) const;
    /// The same after mapping both texts to lower case (see ToWideLower).
    int CompareNoCase(const wchar_t* text) const;

    /// printf-style formatting (see fieldkit/text/format.h): "%s" takes wide or narrow text,
    /// CString included; nothing depends on the process locale.
    ///@{
    template <class... A>
    void Format(const wchar_t* fmt, const A&... args) {
        m_str.clear();
        fieldkit::detail::AppendFormat(m_str, fmt, args...);
    }
    template <class... A>
    void AppendFormat(const wchar_t* fmt, const A&... args) {
        fieldkit::detail::AppendFormat(m_str, fmt, args...);
    }
    ///@}

    /// Appending and concatenation.
    ///@{
    CString& operator+=(const CString& text);
    CString& operator+=(const wchar_t* text);
    CString& operator+=(wchar_t ch);

    friend FIELDKIT_API CString operator+(const CString& a, const CString& b);
    friend FIELDKIT_API CString operator+(const CString& a, const wchar_t* b);
    friend FIELDKIT_API CString operator+(const wchar_t* a, const CString& b);
    friend FIELDKIT_API CString operator+(const CString& a, wchar_t b);
    friend FIELDKIT_API CString operator+(wchar_t a, const CString& b);
    ///@}

    /// Exact comparison, by code unit as Compare.
    ///@{
    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.Compare(b) == 0; }
    friend bool operator==(const wchar_t* a, const CString& b) { return b.Compare(a) == 0; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
    friend bool operator!=(const wchar_t* a, const CString& b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
    ///@}

  private:
    std::wstring m_str;
};
