// The document commands: INI settings files, .po catalogs and the XML reader's events, each
// on a file named by a host path.
#include <filesystem>
#include <string>
#include <vector>

#include "cli.h"
#include "fieldkit/fieldkit.h"
#include "fieldkit/platform/host.h"
#include "fieldkit/text/format.h"

namespace fieldkit::tool {

namespace {

// A host path as the device path that names the same file: the document commands work on
// the host's files, so the device root is the host's own.
CString DevicePath(const std::wstring& hostPath) {
    host::SetDeviceRoot("/");
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(WideToUtf8(hostPath), ec);
    return host::FromHostPath(ec ? WideToUtf8(hostPath) : absolute.string());
}

std::string Utf8(const CString& s) {
    return WideToUtf8(s.GetStdString());
}

bool Arity(const std::vector<std::wstring>& ops, std::size_t n, Result& failure) {
    if (ops.size() == n) return true;
    failure = Fail(
        FormatA("%s takes %zu values, found %zu", Utf8(ops[0].c_str()), n - 1, ops.size() - 1));
    return false;
}

std::string SectionText(CINIFile& ini, const CString& section) {
    std::string text;
    POSITION pos = nullptr;
    if (!ini.SetSectionPosOnStart(section, pos)) return text;
    CString key, value;
    while (ini.LookThroughSection(section, key, value, pos)) {
        text += Utf8(key) + "=" + Utf8(value) + "\n";
    }
    return text;
}

bool HasSection(CINIFile& ini, const CString& section) {
    POSITION pos = nullptr;
    return ini.SetSectionPosOnStart(section, pos);
}

// Escapes what would break the one-line form of an event.
std::string Shown(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) {
        if (c == L'\n')
            out += "\\n";
        else if (c == L'\t')
            out += "\\t";
        else if (c == L'\r')
            out += "\\r";
        else if (c == L'\\')
            out += "\\\\";
        else
            out += WideToUtf8(std::wstring(1, c));
    }
    return out;
}

class EventPrinter : public CXMLReader {
  public:
    bool Run(const CString& path) { return Read(path); }
    std::string events;

  private:
    void OnTag(int kind, std::wstring text) override {
        events += FormatA("tag %d %s\n", kind, Shown(text));
    }
    void OnText(std::wstring text) override { events += "text " + Shown(text) + "\n"; }
};

}  // namespace

Result IniCommand(const std::vector<std::wstring>& ops, const Settings&) {
    if (ops.size() < 2) return Fail("missing operation and file (see 'fieldkit ini --help')");
    const std::wstring& op = ops[0];
    const CString file = DevicePath(ops[1]);
    CINIFile ini;
    const bool loaded = ini.LoadIni(file);
    const auto section = [&] { return CString(ops[2].c_str()); };
    Result why;
    if (op == L"list") {
        if (ops.size() > 3) return Fail("list takes a file and at most one section");
        if (!loaded) return Fail("cannot read " + Quote(ops[1]));
        if (ops.size() == 3) {
            if (!HasSection(ini, section())) return Fail("no section " + Quote(ops[2]));
            return Ok(SectionText(ini, section()));
        }
        std::string text;
        POSITION pos = nullptr;
        ini.SetFilePosOnStart(pos);
        while (pos != nullptr) {
            CString name;
            ini.LookThroughFile(name, pos);
            text += "[" + Utf8(name) + "]\n" + SectionText(ini, name) + "\n";
        }
        return Ok(text);
    }
    if (op == L"get") {
        if (!Arity(ops, 4, why)) return why;
        if (!loaded) return Fail("cannot read " + Quote(ops[1]));
        // A value cannot hold a line break, so one marks a missing key unambiguously.
        const CString value = ini.GetStringValue(section(), ops[3].c_str(), L"\n");
        if (value == L"\n") return Fail("no key " + Quote(ops[3]) + " in section " + Quote(ops[2]));
        return Ok(Utf8(value) + "\n");
    }
    if (op == L"set" || op == L"remove") {
        if (!Arity(ops, op == L"set" ? 5 : 4, why)) return why;
        if (op == L"set") {
            // The library would store nothing under these names; say why instead of saving an
            // unchanged file.
            if (!IsStorableIniSection(ops[2]))
                return Fail("a section name may not hold a line break: " + Quote(ops[2]));
            if (!IsStorableIniKey(ops[3]))
                return Fail("a key may not begin with '[' or hold '=' or a line break: " +
                            Quote(ops[3]));
            // Only a missing file starts empty: saving over one that could not be read would
            // lose every key it holds.
            if (!loaded && FileFuncs::IsFileExist(file))
                return Fail("cannot read " + Quote(ops[1]));
            ini.SetStringValue(section(), ops[3].c_str(), CString(ops[4].c_str()));
        } else {
            if (!loaded) return Fail("cannot read " + Quote(ops[1]));
            ini.RemoveValue(section(), ops[3].c_str());
        }
        if (!ini.SaveIni(file)) return Fail("cannot save " + Quote(ops[1]));
        return Ok(std::string());
    }
    return Fail("unknown operation " + Quote(op) + " (list, get, set or remove)");
}

Result PoCommand(const std::vector<std::wstring>& ops, const Settings& settings) {
    if (ops.empty() || ops[0] != L"lookup") return Fail("the operation is 'lookup'");
    Result why;
    if (!Arity(ops, 3, why)) return why;
    const CString file = DevicePath(ops[1]);
    const std::wstring domain = settings.Text("--domain", L"");
    // An unreadable catalog would otherwise look like one that translates nothing.
    const bool read = domain.empty() ? AttachTranslationFile(file)
                                     : AttachTranslationFile(CString(domain.c_str()), file);
    if (!read) {
        FreeTranslations();
        return Fail("cannot read " + Quote(ops[1]));
    }
    const CString translated = domain.empty() ? ugettext(ops[2].c_str())
                                              : ugettext(CString(domain.c_str()), ops[2].c_str());
    FreeTranslations();
    return Ok(Utf8(translated) + "\n");
}

Result XmlCommand(const std::vector<std::wstring>& ops, const Settings&) {
    if (ops.empty() || ops[0] != L"events") return Fail("the operation is 'events'");
    Result why;
    if (!Arity(ops, 2, why)) return why;
    EventPrinter printer;
    if (!printer.Run(DevicePath(ops[1]))) return Fail("cannot read " + Quote(ops[1]));
    return Ok(printer.events);
}

}  // namespace fieldkit::tool
