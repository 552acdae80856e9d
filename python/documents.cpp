// Settings files, translation catalogs and the device root.
//
// Every path here is a device path, as everywhere in the library: "\" or "/" separated,
// resolved inside the device root (set_device_root). With the default root "/", an absolute
// host path names the same file; a relative path is relative to the device root, never to the
// current folder.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "bindings.h"
#include "fieldkit/fieldkit.h"
#include "fieldkit/platform/host.h"
#include "signature.h"
#include "typed/numbers.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace fieldkit::python {

namespace {

std::wstring Wide(const std::string& text) {
    return Utf8ToWide(text);
}

std::string Utf8(const CString& text) {
    return WideToUtf8(text.GetStdString());
}

// A str or os.PathLike as text; bytes paths are refused, device paths being text.
std::string PathText(const py::handle& path) {
    const py::object text = py::module_::import("os").attr("fspath")(path);
    if (!py::isinstance<py::str>(text)) throw py::type_error("a path must be str or os.PathLike");
    return text.cast<std::string>();
}

// A path of a file to read or write: an empty one names none, as for open().
std::string FilePath(const py::handle& path) {
    std::string text = PathText(path);
    if (text.empty()) {
        PyErr_SetObject(PyExc_FileNotFoundError,
                        py::make_tuple(ENOENT, "an empty path names no file", text).ptr());
        throw py::error_already_set();
    }
    return text;
}

std::string Quoted(const std::string& text) {
    return typed::Quote(Wide(text));
}

class Ini {
  public:
    explicit Ini(const py::object& path) : m_path(FilePath(path)) {
        const std::wstring device = Wide(m_path);
        if (m_ini.LoadIni(device.c_str())) return;
        // Only a missing file starts empty: saving over one that could not be read would lose
        // every key it holds.
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            ThrowOSError("cannot read", m_path, device, error);
    }

    const std::string& Path() const { return m_path; }

    std::vector<std::string> Sections() {
        std::vector<std::string> names;
        POSITION pos = nullptr;
        m_ini.SetFilePosOnStart(pos);
        while (pos != nullptr) {
            CString name;
            m_ini.LookThroughFile(name, pos);
            names.push_back(Utf8(name));
        }
        return names;
    }

    bool HasSection(const std::string& section) {
        POSITION pos = nullptr;
        return m_ini.SetSectionPosOnStart(CString(Wide(section).c_str()), pos);
    }

    std::vector<std::string> Keys(const std::string& section) {
        const CString name(Wide(section).c_str());
        POSITION pos = nullptr;
        if (!m_ini.SetSectionPosOnStart(name, pos)) throw py::key_error(section);
        std::vector<std::string> keys;
        CString key, value;
        while (m_ini.LookThroughSection(name, key, value, pos))
            keys.push_back(Utf8(key));
        return keys;
    }

    py::object Get(const std::string& section, const std::string& key, const py::object& def) {
        // A value cannot hold a line break, so one marks a missing key unambiguously.
        const CString value =
            m_ini.GetStringValue(Wide(section).c_str(), Wide(key).c_str(), CString(L"\n"));
        if (value == L"\n") return def;
        return py::str(Utf8(value));
    }

    void Set(const std::string& section, const std::string& key, const py::object& value) {
        const std::wstring s = Wide(section);
        const std::wstring k = Wide(key);
        if (!IsStorableIniSection(s))
            throw py::value_error("a section name may not hold a line break: " + Quoted(section));
        if (!IsStorableIniKey(k))
            throw py::value_error("a key may not begin with '[' or hold '=' or a line break: " +
                                  Quoted(key));
        // The library's own text of each type: "1"/"0", "%d", "%.12lf". numpy's numbers count
        // as the Python numbers they stand for; without numpy loaded there are none to meet.
        const py::object numpy = py::module_::import("sys").attr("modules").attr("get")("numpy");
        const auto isNumpy = [&](const char* type) {
            return !numpy.is_none() && py::isinstance(value, numpy.attr(type));
        };
        if (py::isinstance<py::bool_>(value) || isNumpy("bool_")) {
            m_ini.SetBoolValue(s.c_str(), k.c_str(), value.cast<bool>());
        } else if (py::isinstance<py::int_>(value) || isNumpy("integer")) {
            const py::int_ whole = py::reinterpret_steal<py::int_>(PyNumber_Index(value.ptr()));
            if (!whole) throw py::error_already_set();
            if (whole >= py::int_(INT_MIN) && whole <= py::int_(INT_MAX))
                m_ini.SetIntValue(s.c_str(), k.c_str(), whole.cast<int>());
            else
                m_ini.SetStringValue(
                    s.c_str(), k.c_str(),
                    CString(Wide(std::string(py::str(py::object(whole)))).c_str()));
        } else if (py::isinstance<py::float_>(value) || isNumpy("floating")) {
            m_ini.SetRealValue(s.c_str(), k.c_str(), value.cast<double>());
        } else if (py::isinstance<py::str>(value)) {
            const std::string text = value.cast<std::string>();
            // The file keeps a value up to its first line break: the rest would be lost at the
            // save, so such a value is refused and nothing is stored.
            constexpr char kLineBreaks[] = "\r\n";
            if (text.find_first_of(kLineBreaks) != std::string::npos)
                throw py::value_error("a value may not hold a line break: " + Quoted(text));
            m_ini.SetStringValue(s.c_str(), k.c_str(), CString(Wide(text).c_str()));
        } else {
            throw py::type_error("a value is str, int, float or bool (or a numpy number), not " +
                                 std::string(py::str(py::type::of(value).attr("__name__"))));
        }
    }

    void Remove(const std::string& section, const std::string& key) {
        m_ini.RemoveValue(Wide(section).c_str(), Wide(key).c_str());
    }

    void Save(const py::object& path) {
        const std::string target = path.is_none() ? m_path : FilePath(path);
        const std::wstring device = Wide(target);
        if (!m_ini.SaveIni(device.c_str()))
            ThrowOSError("cannot save", target, device, GetLastError());
    }

  private:
    std::string m_path;
    CINIFile m_ini;
};

// Each file gets a domain of its own, named after its device path, in the library's
// process-wide store; the prefix keeps clear of the application's domains.
class Catalog {
  public:
    explicit Catalog(const py::object& path) : m_path(FilePath(path)) {
        const std::wstring device = Wide(m_path);
        m_domain = CString((L"\x01python:" + device).c_str());
        if (!AttachTranslationFile(m_domain, CString(device.c_str())))
            ThrowOSError("cannot read", m_path, device, GetLastError());
    }
    const std::string& Path() const { return m_path; }
    std::string Gettext(const std::string& text) const {
        return Utf8(ugettext(m_domain, Wide(text).c_str()));
    }

  private:
    std::string m_path;
    CString m_domain;
};

// The library would take '' as "/", switching the fence off, and a folder that is not there
// as an empty device: both are mistakes of the caller, refused before the root changes.
void SetDeviceRoot(const py::object& folder) {
    const std::string text = PathText(folder);
    if (text.empty())
        throw py::value_error("the device root folder may not be empty: " + Quoted(text));
    const py::module_ os = py::module_::import("os");
    const py::object status = os.attr("stat")(text);  // FileNotFoundError and the like
    if (!py::module_::import("stat").attr("S_ISDIR")(status.attr("st_mode")).cast<bool>()) {
        PyErr_SetObject(PyExc_NotADirectoryError,
                        py::make_tuple(ENOTDIR, "the device root must be a folder", text).ptr());
        throw py::error_already_set();
    }
    host::SetDeviceRoot(text);
}

}  // namespace

void AddDocuments(py::module_& m) {
    Def(m, "set_device_root", &SetDeviceRoot,
        R"(Makes the host folder `folder` the device root: every device path (the paths Ini,
Catalog and host_path take) is resolved inside it, and nothing outside it is ever touched.
A relative folder is taken from the current folder at each use. The default is the
environment variable FIELDKIT_DEVICE_ROOT, else "/".

The folder must exist: '' raises ValueError (it would open the whole host), a missing folder
FileNotFoundError, a file NotADirectoryError; the root is then left as it was.)",
        "folder"_a);

    Def(
        m, "get_device_root", [] { return host::GetDeviceRoot(); },
        "The host folder that device paths live under (see set_device_root).");

    Def(
        m, "host_path",
        [](const py::object& device_path) {
            return host::ToHostPath(CString(Wide(PathText(device_path)).c_str()));
        },
        R"(The host path that a device path names: separators become '/' and the path is placed
under the device root (host_path('\\Jobs\\a.ini') is '/root/Jobs/a.ini' with the root
'/root'). By name only; links are not looked at.)",
        "device_path"_a);

    py::class_<Ini> ini(m, "Ini", R"(An INI settings file, read and saved the library's way.

Ini(path) reads the file at the device path `path` (str or os.PathLike, see
set_device_root). A missing file (or folder on the way) gives an empty object; any other
failure raises the OSError that open() would: IsADirectoryError for a folder,
PermissionError, ... with errno and filename set. '' names no file: FileNotFoundError.

What is kept, and how it differs from configparser:
- A line beginning with '[' is a section header: its name is the line without its first and
  last character. Any other line holding '=' is a key line: the key is the text before the
  first '=', the value all after it. ':' is no separator.
- Case and blanks count: 'K' and 'k' are two keys, ' v ' keeps its blanks (configparser
  lowercases keys and strips both).
- Comments, blank lines and lines without '=' are not kept, nor are key lines above the first
  header; a comment line holding '=' (like '; a=b') is a key line. There is no DEFAULT
  section, no interpolation and no continuation line.
- A key met twice keeps its last value; a section header met twice starts the section afresh,
  dropping the keys under the earlier header (configparser raises for both).
- A file with a UTF-16 byte-order mark is read as UTF-16, a line that is not valid UTF-8 as
  Windows-1252; save writes UTF-8 (no byte-order mark), so every character is kept.
- sections() and keys(), and the saved file, follow the library's hash order, not the order
  of the text; replacing a value keeps its place.

Used as a context manager, the file is saved when the block ends without an exception:

    with fieldkit.Ini("/data/Survey.ini") as ini:
        ini.set("Station", "Height", 1.5))");
    ini.def(
        py::init<const py::object&>(), "path"_a,
        SignedDoc("__init__", true, "Reads the file at the device path `path`.", "path"_a).c_str());
    ini.def_property_readonly("path", &Ini::Path, "The device path the object was read from.");
    Def(ini, "sections", &Ini::Sections, "The section names, in the saved order.");
    Def(ini, "keys", &Ini::Keys,
        "The key names of a section, in the saved order; KeyError when it does not exist.",
        "section"_a);
    Def(ini, "__contains__", &Ini::HasSection, "Whether the section exists.", "section"_a);
    Def(ini, "get", &Ini::Get,
        "The value text of a key, or `default` when the section or key is missing.", "section"_a,
        "key"_a, "default"_a = py::none());
    Def(ini, "set", &Ini::Set,
        R"(Stores a value, creating the section: a str as it stands, a bool as '1' or '0',
an int as '%d', a float as '%.12lf' (1.5 is '1.500000000000'); numpy's bools, integers and
floats as the Python numbers they stand for. A key that begins with '[' or holds '=' or a line
break, a section name with a line break, or a str value with a line break (CR or LF) would not
come back from the file as itself: ValueError, and nothing is stored.)",
        "section"_a, "key"_a, "value"_a);
    Def(ini, "remove", &Ini::Remove,
        "Removes a key; the section stays. Nothing happens when either is missing.", "section"_a,
        "key"_a);
    Def(ini, "save", &Ini::Save,
        R"(Writes the file (to `path` when given, else where it was read): every section,
its keys and an empty line. The file is replaced in one step, so a failure leaves the old one
as it was. A failure raises the OSError that open() would: FileNotFoundError for a missing
folder, IsADirectoryError for a folder, PermissionError for a read-only one, ...)",
        "path"_a = py::none());
    Def(
        ini, "__enter__", [](py::object self) { return self; }, "The object itself.");
    Def(
        ini, "__exit__",
        [](Ini& self, const py::object& type, const py::object&, const py::object&) {
            if (type.is_none()) self.Save(py::none());
            return false;
        },
        "Saves the file when the block ended without an exception.", "type"_a, "value"_a,
        "traceback"_a);
    ini.def("__repr__", [](const Ini& self) {
        return "fieldkit.Ini(" + py::repr(py::str(self.Path())).cast<std::string>() + ")";
    });

    py::class_<Catalog> catalog(m, "Catalog", R"(A gettext .po translation catalog.

Catalog(path) reads the file at the device path `path` (str or os.PathLike, see
set_device_root); a failure raises the OSError that open() would (FileNotFoundError,
IsADirectoryError, ...) with errno and filename set. Text that is no .po entry is skipped, not
refused. Catalogs of the same path share one table in the library, so reading the file again
gives both the new text.

What is kept, and how it differs from GNU gettext:
- The file is read as UTF-8 whatever its header's charset says; bytes that are not UTF-8 read
  as U+FFFD. Only the escapes \r, \n, \t and \" are undone.
- Fuzzy entries are used, as translated ones (gettext skips them).
- msgctxt is ignored: entries of one msgid in several contexts are one entry, the last in the
  file winning; so is a msgid met twice.
- Plural entries (msgid_plural) are dropped: gettext('file') is 'file'. Obsolete (#~) entries
  and comments are ignored.
- An empty msgstr counts as untranslated. gettext('') is ''; the header (the entry of the
  empty msgid) is what gettext('~') gives.)");
    catalog.def(
        py::init<const py::object&>(), "path"_a,
        SignedDoc("__init__", true, "Reads the catalog at the device path `path`.", "path"_a)
            .c_str());
    catalog.def_property_readonly("path", &Catalog::Path, "The device path of the file.");
    Def(catalog, "gettext", &Catalog::Gettext,
        R"(The translation of `text`, or `text` itself when the catalog has none. The header
comes under '~', so a text '~' gives the header when the file has one.)",
        "text"_a);
    catalog.def("__repr__", [](const Catalog& self) {
        return "fieldkit.Catalog(" + py::repr(py::str(self.Path())).cast<std::string>() + ")";
    });
}

}  // namespace fieldkit::python
