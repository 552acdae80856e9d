#include "fieldkit/xml/xml_parser.h"

#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "fieldkit/settings/file_mapping.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/xml/xml_reader.h"

bool CXMLParser::LoadXML(const CString& path) {
    try {
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
    } catch (...) {
        return false;
    }
}

bool CXMLParser::SaveXML(const CString& path) {
    try {
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
    } catch (...) {
        return false;
    }
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
    try {
        const CString close = GetCloseTag(tag);
        if (close.IsEmpty()) throw std::bad_alloc();
        pos = found + tag.GetLength();
        end = xml.Find(close.GetString(), pos);
        if (end < 0) return CString();
        CString body = xml.Mid(pos, end - pos);
        pos = end;
        return body;
    } catch (...) {
        pos = -1;  // out of memory: end the caller's walk
        return CString();
    }
}

CString CXMLParser::GetTagBody(const CString& xml, const CString& tag) {
    int pos = 0;
    int end = 0;
    return GetTagBody(xml, tag, pos, end);
}

CString CXMLParser::GetCloseTag(const CString& tag) {
    try {
        CString close = tag;
        close.Insert(1, L'/');
        return close;
    } catch (...) {
        return CString();
    }
}

bool CXMLParser::IsSimpleTag(const CString& text, const CString& tag) {
    return text.Find(tag.GetString()) >= 0;
}
