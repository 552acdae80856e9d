/// @file
/// CXMLReader: reads an XML file from start to end in one pass and hands each markup item
/// (everything from "<" to ">") to OnTag and each run of text between two items to OnText. It
/// builds no tree, resolves no entities, parses no attributes and checks no nesting.
///
/// Derive from it, implement the two callbacks and call Read. The kinds passed to OnTag:
///
///     0  open tag, empty-element tag, anything else: the text between "<" and ">" as written
///        (attributes included, an empty-element tag keeps its final "/")
///     1  close tag ("</"): the text between "</" and ">"
///     2  an item starting "<!" at least 11 characters long (comment, CDATA section, document
///        type): the item from its fifth character without its last two, so "<!-- c -->" gives
///        " c -" and "<![CDATA[x]]>" gives "DATA[x]"
///     3  processing instruction ("<?"): the text between "<" and ">", both "?" kept
/// A shorter "<!" item is kind 0. Inside a CDATA section "<" and ">" do not end the item.
///
/// Text runs are handed over as they are, line breaks and indentation included ("\\n" for
/// CR LF); text after the last item, and an item left unfinished at the end of the file, are
/// dropped. Each piece is decoded by itself from UTF-8; a piece that is not valid UTF-8 is
/// decoded from Windows-1252, which is what CXMLWriter writes.
///
/// @ingroup xml
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fieldkit/text/export.h"

/// @addtogroup xml
/// @{

/// The base of a one-pass XML reader: derive, implement OnTag and OnText, call Read.
class FIELDKIT_API CXMLReader {
  public:
    /// A reader that has read nothing yet.
    CXMLReader();
    /// Virtual, so that a derived reader is destroyed whole through the base.
    virtual ~CXMLReader();
    /// A copy keeps the result of the last Read but not the file being read: it starts idle.
    ///@{
    CXMLReader(const CXMLReader& other);
    CXMLReader& operator=(const CXMLReader& other);
    ///@}

    /// A markup item, with its kind (0 to 3, see above) and text.
    virtual void OnTag(int kind, std::wstring text) = 0;
    /// A run of text between two markup items.
    virtual void OnText(std::wstring text) = 0;

  protected:
    /// Reads the whole file, calling the callbacks in document order. False when the file
    /// cannot be opened (then no callback is made), when reading it fails, or when a callback
    /// throws (the exception stops the reading and goes no further). A callback may start
    /// another Read; the outer one resumes where it was afterwards.
    bool Read(const wchar_t* path);

    /// Reads on from the file being read up to `delimiter` (compared with single bytes). With
    /// `include` the delimiter is consumed and ends `out`, otherwise it stays unread. `out`
    /// receives the decoded bytes. True when the delimiter was found; false at the end of the
    /// file or when no file is being read.
    bool ReadTill(wchar_t delimiter, bool include, std::wstring& out);

  private:
    struct Input {
        std::FILE* stream = nullptr;
        std::vector<char> block;
        std::size_t pos = 0;
        std::size_t end = 0;
        bool eof = false;
        bool failed = false;
    };

    bool Fill();
    void Deliver(std::wstring& piece);

    Input m_in;
    bool m_ok;
    std::string m_bytes;  // scratch for ReadTill, kept to avoid allocating per piece
};

namespace fieldkit::detail {
// The bytes decoded from UTF-8 when they are valid UTF-8, otherwise from Windows-1252.
std::wstring DecodeXmlBytes(std::string_view bytes);
}  // namespace fieldkit::detail

/// @}
