#include "fieldkit/i18n/translations.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fieldkit/platform/detail/locks.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/platform/detail/process_state.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/module.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/text/format.h"
#include "fieldkit/text/stringmap.h"

using fieldkit::detail::NoThrow;

namespace {

// The texts live in the map's own blocks, each translation beside its msgid: a look-up reads
// one place in memory for both, and attaching makes no allocation per entry.
using Catalog = CStringHashMap<std::wstring_view>;

struct TTranslationDomain {
    CString name;
    Catalog catalog;
};

struct CTranslations {
    std::vector<std::unique_ptr<TTranslationDomain>> domains;  // in the order attached
    Catalog defaultCatalog;
};

// Look-ups take the lock shared, so they may run on many threads at once; attach and free take
// it exclusively only to publish or drop what they built outside it.
struct StoreState {
    fieldkit::detail::SharedMutex lock;
    std::unique_ptr<CTranslations> store FIELDKIT_GUARDED_BY(lock);
    void Forget() { FreeTranslations(); }
};

// A look-up from a static destructor still finds the lock alive.
StoreState& State() {
    return fieldkit::detail::ProcessState<StoreState>::Get();
}

CTranslations& StoreLocked(StoreState& s) FIELDKIT_REQUIRES(s.lock) {
    if (!s.store) s.store = std::make_unique<CTranslations>();
    return *s.store;
}

CString Untranslated(const wchar_t* text) noexcept {
    return NoThrow(CString(), [text] { return CString(text); });
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// A catalog of a whole application is a few hundred kilobytes; a file far beyond that is not
// one, and reading it whole would only exhaust memory.
constexpr std::size_t kMaxCatalogBytes = std::size_t{64} << 20;

// The lines of a catalog's text, each without its line end. Lines stay UTF-8 here: keywords and
// quotes are ASCII, which never occurs inside a multi-byte sequence, so only the pieces of text
// kept are decoded.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : m_text(text) {
        if (m_text.substr(0, kUtf8Bom.size()) == kUtf8Bom) m_pos = kUtf8Bom.size();
    }

    // The next line; false at the end of the text.
    bool Next(std::string_view& line) {
        if (m_pos >= m_text.size()) return false;
        const std::size_t lf = std::min(m_text.find('\n', m_pos), m_text.size());
        line = m_text.substr(m_pos, lf - m_pos);
        m_pos = lf + 1;
        return true;
    }

  private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

constexpr std::string_view kMsgid = "msgid \"";
constexpr std::string_view kMsgstr = "msgstr \"";

bool StartsWith(std::string_view line, std::string_view keyword) {
    return line.substr(0, keyword.size()) == keyword;
}

// The text after the keyword's opening quote, up to the last quote of the line.
std::string_view Quoted(std::string_view line, std::size_t from) {
    const std::size_t last = line.rfind('"');
    if (last == std::string_view::npos || last < from) return {};
    return line.substr(from, last - from);
}

// Each piece decoded on its own, as its line would be: a sequence cut by a quote stays invalid.
void AppendPiece(std::wstring& text, std::string_view piece) {
    if (text.empty()) {
        text = fieldkit::Utf8ToWide(piece);
    } else {
        text += fieldkit::Utf8ToWide(piece);
    }
}

// Appends the continuation lines that follow to `text`. True with the line that ended them in
// `line`; false at the end of the file.
bool ReadContinuation(LineReader& in, std::string_view& line, std::wstring& text) {
    while (in.Next(line)) {
        if (line.empty() || line[0] != '"') return true;
        const std::size_t last = line.rfind('"');
        if (last == 0) return true;
        AppendPiece(text, line.substr(1, last - 1));
    }
    return false;
}

// Each sequence replaced in its own left-to-right pass, as catalogs made for the handheld expect
// (a doubled backslash is not an escape there).
void Unescape(std::wstring& text) {
    if (text.find(L'\\') == std::wstring::npos) return;
    static constexpr wchar_t kEscapes[][2] = {
        {L'r', L'\r'}, {L'n', L'\n'}, {L't', L'\t'}, {L'"', L'"'}};
    for (const auto& escape : kEscapes) {
        std::size_t out = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == escape[0]) {
                text[out++] = escape[1];
                ++i;
            } else {
                text[out++] = text[i];
            }
        }
        text.resize(out);
    }
}

// Only keyword lines that begin with their keyword count, so obsolete "#~ msgid" entries and
// comments quoting a keyword are passed over. A line that ends an entry is looked at again as
// the start of the next one. False when the file cannot be opened or a read error cut it short
// (the entries before it stay in the catalog).
bool LoadPoFile(const wchar_t* path, Catalog& catalog) {
    using fieldkit::detail::WholeFile;
    std::string text;
    const DWORD lastError = GetLastError();
    const WholeFile read = fieldkit::detail::ReadWholeFile(path, kMaxCatalogBytes,
                                                           fieldkit::detail::ReadMode::Text, text);
    if (read == WholeFile::NotOpened) return false;
    // Only a file that cannot be opened is reported through the last error.
    SetLastError(lastError);
    // Out of memory ends the attach, as it does for any allocation here.
    if (read == WholeFile::NoMemory) throw std::bad_alloc();
    // What came before the limit is not a catalog either: nothing of it is kept.
    if (read == WholeFile::TooLarge) return false;
    // A line cut short by a read error is dropped; the whole lines before it count.
    if (read == WholeFile::Cut) text.erase(text.rfind('\n') + 1);
    LineReader in(text);
    std::string_view line;
    std::wstring id, str;
    bool haveLine = in.Next(line);
    while (haveLine) {
        if (!StartsWith(line, kMsgid)) {
            haveLine = in.Next(line);
            continue;
        }
        id.clear();
        AppendPiece(id, Quoted(line, kMsgid.size()));
        haveLine = ReadContinuation(in, line, id);
        if (!haveLine || !StartsWith(line, kMsgstr)) continue;  // msgid_plural lands here
        str.clear();
        AppendPiece(str, Quoted(line, kMsgstr.size()));
        haveLine = ReadContinuation(in, line, str);
        Unescape(id);
        Unescape(str);
        catalog.SetAt(id.empty() ? std::wstring_view(L"~") : std::wstring_view(id),
                      std::wstring_view(str));
    }
    return read == WholeFile::Read;
}

CString Lookup(const std::wstring_view* domain, const wchar_t* text) noexcept {
    if (text == nullptr) return CString();
    CString translated;
    // Out of memory looking it up: the text itself, as without a translation.
    const bool found = NoThrow(false, [&] {
        const std::wstring_view key(text);
        StoreState& s = State();
        fieldkit::detail::SharedLock guard(s.lock);
        if (!s.store) return false;
        const Catalog* catalog = &s.store->defaultCatalog;
        if (domain) {
            catalog = nullptr;
            for (const auto& d : s.store->domains) {
                if (d->name.GetStdString() == *domain) {
                    catalog = &d->catalog;
                    break;
                }
            }
        }
        if (catalog) {
            std::wstring_view value;
            if (catalog->Lookup(key, value) && !value.empty()) {
                translated = CString(std::wstring(value));
                return true;
            }
        }
        return false;
    });
    if (found) return translated;
    return Untranslated(text);
}

}  // namespace

// A catalog that could not be read still sets up the store and the domain as an empty file
// would, so look-ups behave the same; only the answer tells the caller.
bool AttachTranslationFile(const wchar_t* fileName) {
    return NoThrow(false, [&] {
        // Read outside the lock, so look-ups never wait for the file.
        Catalog loaded;
        const bool read = fileName != nullptr && LoadPoFile(fileName, loaded);
        StoreState& s = State();
        fieldkit::detail::ExclusiveLock guard(s.lock);
        Catalog& catalog = StoreLocked(s).defaultCatalog;
        if (catalog.IsEmpty()) {
            catalog.Swap(loaded);
            return read;
        }
        POSITION pos = loaded.GetStartPosition();
        std::wstring_view key, value;
        while (loaded.NextEntry(pos, key, value))
            catalog.SetAt(key, value);
        return read;
    });
}

bool AttachTranslationFile(const CString& domain, const CString& fileName) {
    return NoThrow(false, [&] {
        auto fresh = std::make_unique<TTranslationDomain>();
        fresh->name = domain;
        const bool read = LoadPoFile(fileName, fresh->catalog);

        StoreState& s = State();
        std::unique_ptr<TTranslationDomain> dropped;  // freed after the lock is released
        fieldkit::detail::ExclusiveLock guard(s.lock);
        auto& domains = StoreLocked(s).domains;
        domains.reserve(domains.size() + 1);  // the old domain never goes without the new one
        for (auto it = domains.begin(); it != domains.end(); ++it) {
            if ((*it)->name == domain) {
                dropped = std::move(*it);
                domains.erase(it);
                break;
            }
        }
        domains.push_back(std::move(fresh));
        return read;
    });
}

bool FreeTranslations() {
    NoThrow([] {
        StoreState& s = State();
        std::unique_ptr<CTranslations> dropped;  // freed after the lock is released
        fieldkit::detail::ExclusiveLock guard(s.lock);
        dropped = std::move(s.store);
    });
    return true;
}

CString ugettext(const wchar_t* text) {
    return Lookup(nullptr, text);
}

CString ugettext(const CString& domain, const wchar_t* text) {
    const std::wstring_view name(domain.GetStdString());
    return Lookup(&name, text);
}

CString GetTranslatedString(UINT id, HINSTANCE module) {
    wchar_t buffer[512] = {};
    // Out of memory gives the empty text, not a report of a string that is there.
    NoThrow([&] {
        using fieldkit::detail::CallThrowingOutOfMemory;
        if (CallThrowingOutOfMemory([&] { return LoadStringW(module, id, buffer, 511); }) == 0) {
            wchar_t name[512] = {};
            const DWORD named =
                CallThrowingOutOfMemory([&] { return GetModuleFileNameW(module, name, 512); });
            if (named == 0) name[0] = L'\0';
            fieldkit::detail::FormatToBuffer(buffer, 512, L"String %d not found in module %s.",
                                             static_cast<int>(id),
                                             static_cast<const wchar_t*>(name));
        }
    });
    return ugettext(buffer);
}

CString TAG_NONE() {
    static constexpr std::wstring_view kDomain = L"utils_base";
    return Lookup(&kDomain, L"<none>");
}

namespace fieldkit::detail {

bool HasTranslations() {
    return NoThrow(false, [] {
        StoreState& s = State();
        fieldkit::detail::SharedLock guard(s.lock);
        return s.store != nullptr;
    });
}

}  // namespace fieldkit::detail
