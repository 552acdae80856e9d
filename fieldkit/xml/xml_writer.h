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
///
/// A document written to a path replaces the file there in one step: the pieces go to a new
/// file beside it, which takes the old file's place when the document is closed without a
/// failure. Until then, and for good after a failure (a full disk, a null text), the old file
/// stays exactly as it was and the new one is removed.
///
/// @ingroup xml
#pragma once

#include <cstdio>
#include <string>

#include "fieldkit/text/export.h"
#include "fieldkit/text/types.h"

/// @addtogroup xml
/// @{

/// Writes an XML document in Windows-1252, piece by piece.
class FIELDKIT_API CXMLWriter {
  public:
    /// Starts a new version of the file (in place of the old one at Close) and writes the
    /// header line. A folder or a read-only file there is refused (not OK).
    explicit CXMLWriter(const wchar_t* path);
    /// Writes to an open FILE*, which stays the caller's to close; a null stream is not OK.
    explicit CXMLWriter(void* stream);
    /// Closes the document as Close does, if that was not done.
    virtual ~CXMLWriter();

    /// Ends the document. A document written to a path takes the old file's place, flushed to
    /// disk, when nothing failed; otherwise the old file stays as it was (the last error says
    /// why when the close itself failed: a full disk at the last write, the rename). A caller's
    /// stream is left as it is, to flush and close. True when the document is complete;
    /// later closes answer the same, and later pieces are lost (IsOK turns false).
    bool Close();

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
    bool WritePending();

    std::FILE* m_stream;
    HANDLE m_file;  ///< the new version of a file given by its path, until Close; else null
    bool m_ok;
    bool m_closed = false;
    bool m_complete = false;  ///< what Close answered
    /// The piece being written to a stream; for a file, what was not yet written to it, so
    /// steady writing neither allocates nor makes a system call per piece.
    std::string m_buffer;
    std::wstring m_indent;
};

/// @}
