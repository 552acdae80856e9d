/// @file
/// CXMLWriter: writes an XML document piece by piece (tags, one-line elements, comments, line
/// breaks, indentation) to a file of its own or to a caller's stream. It builds no tree and
/// checks nothing: nesting and the text passed are the caller's business, and nothing is
/// escaped ("<", "&" and quotes are written as given).
///
/// Every piece is written in Windows-1252, one byte per character; characters the code page
/// lacks become '?'. The document starts with the line
///   <?xml version="1.0" encoding="windows-1252"?>
/// so that other XML parsers read it as what it is. The indentation grows by four blanks with
/// every open tag and shrinks by four with every close tag.
///
/// The first failure (a file that could not be created, a failed write, a null text) ends all
/// output: later calls write nothing and IsOK stays false. Nothing throws.
#pragma once

#include <cstdio>
#include <string>

#include "fieldkit/text/export.h"

/// Writes an XML document in Windows-1252, piece by piece.
class FIELDKIT_API CXMLWriter {
  public:
    /// Creates or empties the file (text mode) and writes the header line.
    explicit CXMLWriter(const wchar_t* path);
    /// Writes to an open FILE*, which stays the caller's to close; a null stream is not OK.
    explicit CXMLWriter(void* stream);
    /// Closes the file if the writer opened it.
    virtual ~CXMLWriter();

    /// Not copyable: a copy would close the same file twice.
    ///@{
    CXMLWriter(const CXMLWriter&) = delete;
    CXMLWriter& operator=(const CXMLWriter&) = delete;
    ///@}

    /// False from the first failure on: nothing more is written.
    bool IsOK() const { return m_ok; }

    /// The text unchanged, whatever its length; an empty text writes nothing.
    void Write(const wchar_t* text);
    void WriteEOL();  ///< "\\n"
    /// The current indentation in blanks.
    void WriteIndent();
    /// That many blanks; zero or less gives none.
    void SetIndent(int blanks);

    /// Indentation, "<name>"; then the indentation grows by four. No line break follows. The
    /// name may carry attributes; its close tag is then given the bare name.
    void WriteOpenTag(const wchar_t* name);
    /// Shrinks the indentation by four (never below none); indentation if `indent`, "</name>",
    /// a line break if `eol`.
    void WriteCloseTag(const wchar_t* name, bool eol, bool indent);
    /// "<name>value</name>" at the current indentation, which is the same afterwards.
    ///@{
    void WriteStringTag(const wchar_t* name, const wchar_t* value, bool eol);
    void WriteIntTag(const wchar_t* name, int value, bool eol);
    ///@}
    /// The value as "%lf" gives it: six decimals after a point, all digits of the integer part.
    void WriteDoubleTag(const wchar_t* name, double value, bool eol);
    /// Indentation, "<!-- text -->", a line break.
    void WriteComment(const wchar_t* text);

  private:
    void WriteHeader();

    std::FILE* m_stream;
    bool m_ownsStream;
    bool m_ok;
    std::string m_buffer;  ///< reused for every piece, so steady writing does not allocate
    std::wstring m_indent;
};
