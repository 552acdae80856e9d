#include "fieldkit/xml/xml_parser.h"

#include <cstring>
#include <string>
#include <string_view>

#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/settings/file_mapping.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/xml/xml_reader.h"

using fieldkit::detail::NoThrow;

bool CXMLParser::LoadXML(const CString& path) {
    return NoThrow(false, [&] {
        CString text;
        {
            CFileMapping file(path.GetString());
            if (!file.IsLoaded()) return false;
            const char* bytes = file;
            const unsigned long length = file.GetFileLength();
            // The text ends at a NUL byte, as the handheld's C string did.
            const void* nul = std::memchr(bytes, '\0', length);
            const std::size_t size =
                nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - bytes)
                               : static_cast<std::size_t>(length);
            text = fieldkit::detail::DecodeXmlBytes(std::string_view(bytes, size));
        }  // released before parsing, so ParseXML may save to the same file
        return ParseXML(text);
    });
}

bool CXMLParser::SaveXML(const CString& path) {
    return NoThrow(false, [&] {
        const CString text = CollectXML();
        if (text.IsEmpty()) return false;
        // UTF-8, which LoadXML reads back whole: Windows-1252 would lose every character
        // outside it and come back changed for the rest.
        const std::string bytes = fieldkit::WideToUtf8(text.GetStdString());
        CFileMapping file;
        const bool saved =
            file.SaveFile(path.GetString(), bytes.data(), static_cast<unsigned long>(bytes.size()));
        file.UnmapFile();  // the bytes reach the file here
        return saved;
    });
}

bool CXMLParser::ParseXML(const CString&) {
    return false;
}

CString CXMLParser::CollectXML() {
    return CString();
}

CString CXMLParser::GetTagBody(const CString& xml, const CString& tag, int& pos, int& end) {
    // An empty tag would match at pos again and again: a caller's walk would never end.
    const int found = pos < 0 || tag.IsEmpty() ? -1 : xml.Find(tag.GetString(), pos);
    if (found < 0) {
        pos = -1;
        return CString();
    }
    CString body;
    const CString close = GetCloseTag(tag);  // empty only when memory ran out
    const bool whole = !close.IsEmpty() && NoThrow([&] {
        pos = found + tag.GetLength();
        end = xml.Find(close.GetString(), pos);
        if (end < 0) return;
        body = xml.Mid(pos, end - pos);
        pos = end;
    });
    if (!whole) pos = -1;  // out of memory: end the caller's walk
    return body;
}

CString CXMLParser::GetTagBody(const CString& xml, const CString& tag) {
    int pos = 0;
    int end = 0;
    return GetTagBody(xml, tag, pos, end);
}

CString CXMLParser::GetCloseTag(const CString& tag) {
    return NoThrow(CString(), [&] {
        CString close = tag;
        close.Insert(1, L'/');
        return close;
    });
}

bool CXMLParser::IsSimpleTag(const CString& text, const CString& tag) {
    return text.Find(tag.GetString()) >= 0;
}
