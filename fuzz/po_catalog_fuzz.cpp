// Attaches arbitrary bytes as a .po catalog, default and named, looks texts up and frees the
// catalogs again; then writes a well-formed catalog made from the same bytes and checks that
// every entry in it translates as written.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "fieldkit/i18n/translations.h"
#include "fuzz/data_provider.h"
#include "fuzz/fuzz_support.h"

namespace {

const wchar_t* const kFile = L"\\fuzz\\texts.po";

// A look-up never answers an empty text for a non-empty one: an empty msgstr is untranslated.
void LookUp(const wchar_t* text) {
    const CString answer = ugettext(text);
    if (*text != L'\0') FUZZ_CHECK(!answer.IsEmpty());
    const CString named = ugettext(CString(L"fuzz"), text);
    if (*text != L'\0') FUZZ_CHECK(!named.IsEmpty());
}

// The text of the first msgid line, undecoded escapes and all, so that entries the input
// really holds get looked up too.
std::wstring FirstId(const std::string& bytes) {
    const std::size_t at = bytes.find("msgid \"");
    if (at == std::string::npos) return std::wstring();
    const std::size_t from = at + 7;
    const std::size_t end = bytes.find_first_of("\"\n", from);
    return fieldkit::Utf8ToWide(
        std::string_view(bytes).substr(from, end == std::string::npos ? end : end - from));
}

// Text for an entry: valid UTF-8 without quotes, backslashes, line ends or NULs, with escapes
// the reader turns into CR, LF, tab and quote.
struct EntryText {
    std::wstring plain;    // as a look-up answers it
    std::wstring escaped;  // as the file holds it
};

EntryText MakeText(fuzz::DataProvider& in) {
    EntryText t;
    for (const wchar_t c : fieldkit::Utf8ToWide(in.ConsumeRandomLengthString(24))) {
        switch (c) {
            case L'"':
            case L'\\':
            case L'\0':
                break;
            case L'\r':
                t.plain += c;
                t.escaped += L"\\r";
                break;
            case L'\n':
                t.plain += c;
                t.escaped += L"\\n";
                break;
            case L'\t':
                t.plain += c;
                t.escaped += in.ConsumeBool() ? L"\\t" : L"\t";
                break;
            case L'\x01':
                t.plain += L'"';
                t.escaped += L"\\\"";
                break;
            default:
                t.plain += c;
                t.escaped += c;
        }
    }
    return t;
}

// The escaped text as a keyword line and continuation lines, split at character boundaries.
void WriteQuoted(fuzz::DataProvider& in, std::string& out, const char* keyword,
                 const std::wstring& escaped, const char* eol) {
    std::size_t at = in.ConsumeIntegralInRange<std::size_t>(0, escaped.size());
    // An escape stays whole on its line.
    if (at > 0 && escaped[at - 1] == L'\\') --at;
    out += keyword;
    out += " \"";
    out += fieldkit::WideToUtf8(escaped.substr(0, at));
    out += "\"";
    out += eol;
    if (at < escaped.size()) {
        out += "\"";
        out += fieldkit::WideToUtf8(escaped.substr(at));
        out += "\"";
        out += eol;
    }
}

// A well-formed catalog made from the input, with comments, contexts, plural and obsolete
// entries around the plain ones: every plain entry must be found as written.
void CheckStructured(const std::uint8_t* data, std::size_t size) {
    fuzz::DataProvider in(data, size);
    const char* eol = in.ConsumeBool() ? "\r\n" : "\n";
    std::string file = in.ConsumeBool() ? "\xEF\xBB\xBF" : "";
    // A comment in front moves the entries across the reader's 64 KiB blocks.
    if (in.ConsumeBool()) {
        file += "#" + std::string(64 * 1024 - 128 + in.ConsumeIntegral<std::uint8_t>(), '.');
        file += eol;
    }
    std::map<std::wstring, std::wstring> expected;
    const int entries = in.ConsumeIntegralInRange(0, 8);
    for (int e = 0; e < entries; ++e) {
        const EntryText id = MakeText(in);
        const EntryText str = MakeText(in);
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0:  // a comment and a context, both ignored
                file += "#: file.cpp:12";
                file += eol;
                WriteQuoted(in, file, "msgctxt", str.escaped, eol);
                break;
            case 1:  // a plural entry is dropped
                WriteQuoted(in, file, "msgid", id.escaped, eol);
                WriteQuoted(in, file, "msgid_plural", str.escaped, eol);
                WriteQuoted(in, file, "msgstr[0]", str.escaped, eol);
                file += eol;
                continue;
            case 2:  // an obsolete entry is ignored
                file += "#~ msgid \"" + fieldkit::WideToUtf8(id.escaped) + "\"" + eol;
                file += "#~ msgstr \"" + fieldkit::WideToUtf8(str.escaped) + "\"" + eol;
                continue;
            default:
                break;
        }
        WriteQuoted(in, file, "msgid", id.escaped, eol);
        WriteQuoted(in, file, "msgstr", str.escaped, eol);
        if (in.ConsumeBool()) file += eol;
        expected[id.plain.empty() ? std::wstring(L"~") : id.plain] = str.plain;
    }
    fuzz::DeviceRoot::Get().Write("\\fuzz\\made.po", file);

    FreeTranslations();
    AttachTranslationFile(L"\\fuzz\\made.po");
    for (const auto& [id, str] : expected) {
        // A look-up stops at a NUL, and an empty translation is none.
        const std::wstring answer = ugettext(id.c_str()).GetStdString();
        FUZZ_CHECK(answer == (str.empty() ? id : str));
    }
    FreeTranslations();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::Bytes(data, size);
    fuzz::DeviceRoot::Get().Write("\\fuzz\\texts.po", bytes);

    FUZZ_CHECK(AttachTranslationFile(kFile));
    FUZZ_CHECK(AttachTranslationFile(CString(L"fuzz"), CString(kFile)));
    // A second default file adds to the first.
    FUZZ_CHECK(AttachTranslationFile(kFile));
    FUZZ_CHECK(fieldkit::detail::HasTranslations());

    const std::wstring id = FirstId(bytes);
    LookUp(id.c_str());
    LookUp(L"");
    LookUp(L"~");
    LookUp(L"Hello");
    LookUp(L"<none>");
    TAG_NONE();

    FUZZ_CHECK(FreeTranslations());
    FUZZ_CHECK(!fieldkit::detail::HasTranslations());
    // Without catalogs every text is its own translation.
    FUZZ_CHECK(ugettext(id.c_str()).GetStdString() == std::wstring(id.c_str()));

    CheckStructured(data, size);
    return 0;
}
