/// @file
/// CXMLParser: a base for objects kept in an XML file as one block of text. LoadXML reads the
/// whole file and hands the text to ParseXML; SaveXML writes the text CollectXML gives. The
/// derived class implements both and walks the text with GetTagBody, which cuts element bodies
/// out by plain searching (no tree, no attributes, no entities).
///
/// @ingroup xml
#pragma once

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"

/// @addtogroup xml
/// @{

/// The base of an object loaded from and saved to an XML file as a whole.
class FIELDKIT_API CXMLParser {
  public:
    CXMLParser() = default;
    /// Copies hold no state of their own.
    ///@{
    CXMLParser(const CXMLParser&) = default;
    CXMLParser& operator=(const CXMLParser&) = default;
    ///@}

    /// Reads the file and returns what ParseXML makes of its text. The bytes are decoded from
    /// UTF-8 (a byte-order mark stays, as U+FEFF) or, when they are not valid UTF-8, from
    /// Windows-1252, as files saved in that code page are. False, without calling ParseXML,
    /// for a missing, unreadable or empty file; false when ParseXML throws.
    virtual bool LoadXML(const CString& path);
    /// Writes CollectXML's text to the file as UTF-8 (no byte-order mark). False, touching no
    /// file, when the text is empty; false when the file cannot be written.
    virtual bool SaveXML(const CString& path);

    virtual ~CXMLParser() = default;

  protected:
    /// The body of the next element `tag` (given with its angle brackets, e.g. "<a>") at or
    /// after index `pos`. On success pos is set to the index of the element's close tag and end
    /// to the same index, so calling again with the same variables gives the next element's
    /// body. When the tag does not occur pos becomes -1 (end unchanged); when its close tag does
    /// not follow, end becomes -1 and pos is left at the start of the body; both give empty.
    /// A negative pos or an empty tag finds nothing. The body ends at the first close tag, so
    /// an element nested in one of the same name is not matched whole.
    CString GetTagBody(const CString& xml, const CString& tag, int& pos, int& end);
    /// The first such body in the text.
    CString GetTagBody(const CString& xml, const CString& tag);
    /// The tag with "/" after its first character: "<a>" gives "</a>".
    CString GetCloseTag(const CString& tag);
    /// Whether `tag` occurs anywhere in `text` (exact, case-sensitive).
    bool IsSimpleTag(const CString& text, const CString& tag);

  private:
    /// Reads the object's state from the document; the base accepts nothing.
    virtual bool ParseXML(const CString& xml);
    /// The document of the object's state; the base has none.
    virtual CString CollectXML();
};

/// @}
