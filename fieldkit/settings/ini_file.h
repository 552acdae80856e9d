/// @file
/// CINIFile: an INI settings file held in memory, its text format, typed access to single
/// values, and the application's settings files.
///
/// The file is UTF-8 text of named sections of key=value lines (a byte-order mark at its start is
/// skipped on reading and never written; LoadIni also reads the encodings PC editors save in):
///
///     [First]
///     a=1
///     b=two words
///
///     [Second]
///
/// A line whose first byte is "[" is a section header; the name is the line without its line
/// break and without its first and last character (nothing checks that the last one is "]").
/// Any other line holding "=" is a key line: the key is everything before the first "=", the
/// value everything after it, blanks included. Every other line (comments, blank lines, stray
/// words) is dropped, as are key lines above the first header. A key met again in its section
/// keeps the last value; a header met again starts its section afresh, dropping the keys read
/// under the earlier one. There is no comment syntax and nothing is escaped, so the setters
/// refuse the names that would need it (see below). A line ends at a line feed; a carriage
/// return before it is not part of the line, and the text of a line ends at a NUL byte.
///
/// Names and values compare exactly (case and blanks count). Sections and keys are kept in
/// CStringHashMap tables, so every walk, and the order of a saved file, is the map's order:
/// buckets 0 to 16, the newest entry of a bucket first; replacing a value keeps its place.
///
/// A CINIFile is used by one thread at a time. Nothing throws: a failure to get memory makes
/// a getter return its default and a load or save return false.
///
/// @ingroup settings
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/export.h"
#include "fieldkit/text/stringmap.h"
#include "fieldkit/text/types.h"

/// @addtogroup settings
/// @{

/// An INI settings file in memory: sections of key=value lines, read, changed and saved whole.
class FIELDKIT_API CINIFile {
  public:
    /// An empty file: no sections, nothing read.
    CINIFile();
    /// Frees the sections. Nothing is saved: changes reach a file only through SaveIni or
    /// SaveSettingsFile.
    virtual ~CINIFile();
    CINIFile(const CINIFile&) = delete;
    CINIFile& operator=(const CINIFile&) = delete;

    /// Reads the file into the object without emptying it first: a header replaces the section
    /// of that name with an empty one (keeping its place in the walk), a key line replaces an
    /// earlier value of its key. Lines may be of any length; a UTF-8 byte-order mark at the very
    /// start of the file is not part of the first line. A file that starts with a UTF-16
    /// byte-order mark (bytes FF FE, or FE FF for big endian) is read as UTF-16 text of that byte
    /// order under the same rules: a surrogate pair is one character, and an unpaired surrogate
    /// or an odd last byte reads as U+FFFD. In any other file a line that is not valid UTF-8 is
    /// read as Windows-1252, as PC editors save in the ANSI code page. SaveIni writes UTF-8, so a
    /// load and a save keep every character. False, leaving the object as it was, when
    /// the file cannot be opened (a folder, a FIFO or a device cannot) or is larger than 64 MiB,
    /// which no settings file is; a read error ends the reading as the end of the file does.
    bool LoadIni(const wchar_t* path);
    /// Writes every section as its header, its key lines and one empty line, in walk order; an
    /// object without sections gives an empty file. A name, key or value is written up to its
    /// first line feed, so no text can add lines of its own to the file. The file is replaced
    /// in one step: written beside it, flushed to disk and renamed over it, keeping its mode and
    /// owner (and a link to it inside the device root). On any failure (folder missing, target a
    /// folder or read-only, disk full) the result is false and an earlier file is left exactly
    /// as it was; two saves at once both succeed and the file holds one of them, whole.
    bool SaveIni(const wchar_t* path) const;

    /// Always true.
    bool GetNumberOfSections(int& count);
    /// pos = the first section, or null when there is none. Always true.
    bool SetFilePosOnStart(POSITION& pos);
    /// section = the name of the section at pos; pos moves to the next one, null after the
    /// last. False, changing nothing, for a null pos.
    bool LookThroughFile(CString& section, POSITION& pos);
    /// size = the number of keys, 0 for a section that does not exist. Always true.
    bool GetSectionSize(const CString& section, int& size);
    /// pos = the first key of the section, or null when it has none. False, with a null pos,
    /// when the section does not exist.
    bool SetSectionPosOnStart(const CString& section, POSITION& pos);
    /// key and value = the entry at pos; pos moves to the next one, null after the last. False,
    /// changing nothing, for a null pos or a section that does not exist. A position is valid
    /// only for the section it came from, and only while that section is not changed.
    bool LookThroughSection(const CString& section, CString& key, CString& value, POSITION& pos);

    /// Typed values. Each getter returns `def` when the section or key is missing; the number
    /// getters also when the text is empty or does not begin (after blanks) with a number, and
    /// they ignore whatever follows the number. A number too large for its type reads as the
    /// nearest value of its range; a negative one read as unsigned wraps, as strtoul does.
    /// Each setter creates the section on first use and replaces an earlier value. A null name
    /// counts as the empty name. A key that begins with "[" or holds "=", a line feed or a
    /// carriage return, and a section name that holds a line feed or a carriage return, would
    /// not come back from a saved file as themselves (the line would read as a header, split at
    /// the "=", or break; PC editors take a lone carriage return for a line end): every setter
    /// stores nothing under such a name, creates no section for it, and leaves an earlier value
    /// as it was. Values are stored as given.
    ///@{
    void SetStringValue(const wchar_t* section, const wchar_t* key, const CString& value);
    void SetIntValue(const wchar_t* section, const wchar_t* key, int value);            ///< "%d"
    void SetUintValue(const wchar_t* section, const wchar_t* key, unsigned int value);  ///< "%u"
    void SetRealValue(const wchar_t* section, const wchar_t* key, double value);  ///< "%.12lf"
    ///@}
    /// The text of that one character; the NUL character is stored as the empty text.
    ///@{
    void SetCharValue(const wchar_t* section, const wchar_t* key, wchar_t value);
    void SetHexValue(const wchar_t* section, const wchar_t* key, unsigned int value);  ///< "0x%X"
    void SetBoolValue(const wchar_t* section, const wchar_t* key, bool value);  ///< "1" or "0"
    ///@}

    /// The stored text, an empty one included.
    CString GetStringValue(const wchar_t* section, const wchar_t* key, const CString& def) const;
    /// Read as "%d".
    int GetIntValue(const wchar_t* section, const wchar_t* key, int def) const;
    /// Read as "%u"; the unsigned value's bits are returned as an int.
    int GetUintValue(const wchar_t* section, const wchar_t* key, unsigned int def) const;
    /// Read as "%lf".
    double GetRealValue(const wchar_t* section, const wchar_t* key, double def) const;
    /// The first character; def for an empty text.
    wchar_t GetCharValue(const wchar_t* section, const wchar_t* key, wchar_t def) const;
    /// Hexadecimal digits with or without "0x".
    unsigned int GetHexValue(const wchar_t* section, const wchar_t* key, unsigned int def) const;
    /// True when the text begins with "1", false when with "0", def otherwise.
    bool GetBoolValue(const wchar_t* section, const wchar_t* key, bool def);

    /// The section stays, possibly empty; nothing happens when section or key is missing.
    void RemoveValue(const wchar_t* section, const wchar_t* key);

    /// The same tables through 8-bit names, read as Windows-1252.
    CString GetValue(const char* section, const char* key, const CString& def) const;
    /// def only when section or key is missing; otherwise the decimal number the text begins
    /// with (after blanks, with an optional sign), or 0 when it begins with none. Beyond the
    /// range of int: INT_MIN or INT_MAX.
    int GetIntValue(const char* section, const char* key, int def) const;
    /// As GetIntValue, read as an unsigned long: every value SetLongValue writes reads back; a
    /// negative number wraps as strtoul does, a number too large gives ULONG_MAX.
    unsigned long GetLongValue(const char* section, const char* key, unsigned long def) const;
    /// As the wide GetRealValue.
    double GetRealValue(const char* section, const char* key, double def) const;
    /// Stores the text as the wide setters do.
    void SetValue(const char* section, const char* key, const CString& value);
    void SetIntValue(const char* section, const char* key, int value);             ///< "%d"
    void SetLongValue(const char* section, const char* key, unsigned long value);  ///< "%lu"
    void SetRealValue(const char* section, const char* key, double value);         ///< "%.12lf"
    /// As the wide RemoveValue.
    void RemoveValue(const char* section, const char* key);

  protected:
    /// value = the stored text; untouched when section or key is missing (false).
    bool GetValue(const wchar_t* section, const wchar_t* key, CString& value) const;
    /// Stores the text, creating the section when needed. False, storing nothing, for a name the
    /// setters refuse (see above) and when memory runs out.
    bool SetValue(const wchar_t* section, const wchar_t* key, const CString& value);

  private:
    /// Values live in their table's own text blocks: loading a large file makes no allocation
    /// per value.
    ///@{
    using KeyTable = CStringHashMap<std::wstring_view>;
    std::optional<std::wstring_view> Find(const wchar_t* section, const wchar_t* key) const;
    ///@}

    /// A section without keys has no table (null): files of many empty sections stay small.
    CStringHashMap<std::unique_ptr<KeyTable>> m_sections;
};

namespace fieldkit {

/// @addtogroup settings
/// @{

/// Whether the setters accept a key or a section name, for callers that explain a refusal
/// rather than see nothing stored. A key may not begin with '[' nor hold '=', CR or LF; a
/// section name may not hold CR or LF. Either would read back from the saved file as another
/// name, or as no name at all.
///@{
FIELDKIT_API bool IsStorableIniKey(std::wstring_view key) noexcept;
FIELDKIT_API bool IsStorableIniSection(std::wstring_view section) noexcept;
///@}

/// @}

}  // namespace fieldkit

/// The settings folder is GetDataDir() + "\\Settings"; `name` is the file name in it, with its
/// extension. Loads the file into `ini` (see LoadIni); creates nothing.
FIELDKIT_API bool LoadSettingsFile(const CString& name, CINIFile& ini);
/// Creates the settings folder when it is missing (false when that fails), then saves `ini`
/// there (see SaveIni).
FIELDKIT_API bool SaveSettingsFile(const CString& name, const CINIFile& ini);

/// @}
