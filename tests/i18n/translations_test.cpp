#include "fieldkit/i18n/translations.h"

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fieldkit/platform/host.h"
#include "fieldkit/text/codepage.h"
#include "tests/support/device_root.h"

class Translations : public DeviceRootTest {};

// Fault: a BOM kept so the first msgid misses, or \" in a text not made a quote
TEST_F(Translations, ReadsTheEntriesOfACatalog) {
    // BOM, CR LF, and at the end a line without a line end.
    const std::wstring longKey(3000, L'k');
    Write("\\app.po", "\xEF\xBB\xBFmsgid \"Open\"\r\nmsgstr \"Öffnen\"\r\nmsgid \"" +
                          std::string(3000, 'k') +
                          "\"\nmsgstr \"lang\"\n"
                          R"(
msgid ""
msgstr ""
"Project-Id-Version: survey\n"

msgid "Untranslated"
msgstr ""

msgid ""
"Long "
"text"
msgstr "Langer "
"\"Text\""

msgid "a\tb\r\n"
msgstr "C:\\dir\n"

msgid "File"
msgid_plural "Files"
msgstr[0] "Datei"

msgctxt "menu"
msgid "Close"
msgstr "Schließen"

#~ msgid "Old"
#~ msgstr "Alt"

msgid "First"
msgstr "Erste"
msgid "Second"
msgstr "Zweite"
msgid "Broken"
msgid "Third"
msgstr "Dritte")");
    AttachTranslationFile(L"\\app.po");

    const std::vector<std::pair<const wchar_t*, const wchar_t*>> cases = {
        {L"Open", L"Öffnen"},
        {L"~", L"Project-Id-Version: survey\n"},
        {L"Untranslated", L"Untranslated"},
        {L"Long text", L"Langer \"Text\""},
        {L"a\tb\r\n", L"C:\\\\dir\n"},  // a doubled backslash stays doubled
        {L"File", L"File"},
        {L"Close", L"Schließen"},
        {L"Old", L"Old"},
        {L"First", L"Erste"},
        {L"Second", L"Zweite"},  // directly after the previous entry
        {L"Broken", L"Broken"},
        {L"Third", L"Dritte"},
        {longKey.c_str(), L"lang"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ugettext(text), CString(expected)) << fieldkit::WideToUtf8(text).substr(0, 20);
}

// Fault: a domain lookup falls back to the default catalog, or domains fold case
TEST_F(Translations, DefaultCatalogMergesDomainsReplace) {
    Write("\\a.po", "msgid \"Yes\"\nmsgstr \"Ja\"\n\nmsgid \"No\"\nmsgstr \"Nein\"\n");
    Write("\\b.po", "msgid \"No\"\nmsgstr \"Nee\"\n\nmsgid \"<none>\"\nmsgstr \"<keine>\"\n");
    AttachTranslationFile(L"\\a.po");
    AttachTranslationFile(L"\\b.po");
    EXPECT_EQ(ugettext(L"Yes") + L"|" + ugettext(L"No"), L"Ja|Nee");

    AttachTranslationFile(CString(L"utils_base"), CString(L"\\b.po"));
    AttachTranslationFile(CString(L"Utils_base"), CString(L"\\a.po"));
    EXPECT_EQ(TAG_NONE(), L"<keine>");
    EXPECT_EQ(ugettext(L"utils_base", L"No") + L"|" + ugettext(L"Utils_base", L"No"), L"Nee|Nein");
    // No fall-back to the default, nor for a domain never attached.
    EXPECT_EQ(ugettext(L"utils_base", L"Yes") + ugettext(L"none", L"Yes"), L"YesYes");
}

// The answer says whether the file was read; the catalogs come out as they would from an
// empty file either way. Without a store, or once it is freed, texts come back unchanged.
// Fault: a folder or missing file reported as read, or it clears entries held
TEST_F(Translations, AttachingAnswersWhetherTheFileWasRead) {
    Write("\\de.po", "msgid \"Yes\"\nmsgstr \"Ja\"\n");
    Write("\\other.po", "msgid \"No\"\nmsgstr \"Nein\"\n");
    Write("\\empty.po", "");
    MakeDir("\\folder.po");
    EXPECT_EQ(ugettext(L"Yes") + L"|" + ugettext(L"dom", L"Yes") + L"|" + TAG_NONE(),
              L"Yes|Yes|<none>");
    const struct {
        const wchar_t* file;
        bool read;
        const wchar_t* no;  // "No" once the file is added to de.po's entries
    } cases[] = {{L"\\other.po", true, L"Nein"},
                 {L"\\empty.po", true, L"No"},
                 {L"\\missing.po", false, L"No"},
                 {L"\\folder.po", false, L"No"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(fieldkit::WideToUtf8(c.file));
        EXPECT_TRUE(FreeTranslations());
        EXPECT_EQ(ugettext(L"Yes") + ugettext(L"dom", L"Yes"), L"YesYes");
        EXPECT_EQ(AttachTranslationFile(c.file), c.read);
        EXPECT_TRUE(fieldkit::detail::HasTranslations());
        EXPECT_TRUE(AttachTranslationFile(L"\\de.po"));
        EXPECT_EQ(AttachTranslationFile(c.file), c.read);
        EXPECT_EQ(ugettext(L"Yes") + L"|" + ugettext(L"No"), CString(L"Ja|") + c.no);

        EXPECT_TRUE(AttachTranslationFile(CString(L"dom"), CString(L"\\de.po")));
        EXPECT_TRUE(AttachTranslationFile(CString(L"later"), CString(L"\\de.po")));
        EXPECT_EQ(AttachTranslationFile(CString(L"dom"), CString(c.file)), c.read);
        EXPECT_EQ(ugettext(L"dom", L"Yes") + L"|" + ugettext(L"later", L"Yes"), L"Yes|Ja");
    }
    fieldkit::host::ResetProcessState();  // forgets the store too
    EXPECT_EQ(ugettext(L"Yes"), L"Yes");
}

// Fault: a missing resource's message not cut at 511 characters, or not translated
TEST_F(Translations, StringResources) {
    knobs_.ModuleFileName(L"\\Survey\\Survey.exe");
    knobs_.StringResource(nullptr, 7, L"Save");
    EXPECT_EQ(GetTranslatedString(7, nullptr), L"Save");
    EXPECT_EQ(GetTranslatedString(0xFFFFFFFFu, nullptr),
              L"String -1 not found in module \\Survey\\Survey.exe.");

    Write("\\app.po",
          "msgid \"Save\"\nmsgstr \"Sichern\"\n\n"
          "msgid \"String 8 not found in module Survey.exe.\"\nmsgstr \"Fehlt\"\n");
    AttachTranslationFile(L"\\app.po");
    knobs_.ModuleFileName(L"Survey.exe");
    EXPECT_EQ(GetTranslatedString(7, nullptr) + L"|" + GetTranslatedString(8, nullptr),
              L"Sichern|Fehlt");

    knobs_.ModuleFileName(CString(L'x', 700));  // the message is cut at 511
    EXPECT_EQ(GetTranslatedString(9, nullptr).GetLength(), 511);
}

// Fault: a lookup reads a domain's table while another thread replaces it
TEST_F(Translations, LookUpsFromManyThreads) {
    Write("\\app.po", "msgid \"Yes\"\nmsgstr \"Ja\"\n");
    AttachTranslationFile(L"\\app.po");
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t)
        readers.emplace_back([&] {
            while (!stop) {
                const CString yes = ugettext(L"dom", L"Yes");
                if (ugettext(L"Yes") != L"Ja" || (yes != L"Ja" && yes != L"Yes")) ++wrong;
            }
        });
    // Attaching belongs to start-up, but must stay defined while others look up.
    for (int i = 0; i < 200; ++i)
        AttachTranslationFile(CString(L"dom"), CString(L"\\app.po"));
    stop = true;
    for (std::thread& r : readers)
        r.join();
    EXPECT_EQ(wrong, 0);
}

// Catalogs whose texts sit beside their msgids in the catalog's own storage: a msgid given
// again takes the later text (the default catalog too, across files), and keys that differ in
// one character anywhere, keys longer than the storage's blocks and characters beyond U+FFFF
// each find their own text.
// Fault: two msgids differing in one character share a text, or a later entry loses to an earlier
TEST_F(Translations, EveryMsgidFindsItsOwnText) {
    std::string po;
    std::vector<std::pair<std::wstring, std::wstring>> expected;
    // One character changed at every position of a 40-character msgid.
    const std::string base(40, 'a');
    for (std::size_t i = 0; i < base.size(); ++i) {
        std::string id = base;
        id[i] = 'b';
        po += "msgid \"" + id + "\"\nmsgstr \"T" + std::to_string(i) + "\"\n\n";
        expected.emplace_back(fieldkit::Utf8ToWide(id), L"T" + std::to_wstring(i));
    }
    // Longer than a block of storage, and the same with one more character.
    const std::string huge(5000, 'h');
    po += "msgid \"" + huge + "\"\nmsgstr \"" + std::string(6000, 'H') + "\"\n";
    po += "msgid \"" + huge + "h\"\nmsgstr \"other\"\n";
    expected.emplace_back(std::wstring(5000, L'h'), std::wstring(6000, L'H'));
    expected.emplace_back(std::wstring(5001, L'h'), L"other");
    // U+1F600 and U+10FFFF in msgid and msgstr; U+1F601 differs in the last unit only.
    po +=
        "msgid \"smile \xF0\x9F\x98\x80\"\nmsgstr \"\xF4\x8F\xBF\xBF l\xC3\xA4"
        "cheln\"\n";
    po += "msgid \"smile \xF0\x9F\x98\x81\"\nmsgstr \"grinsen\"\n";
    expected.emplace_back(L"smile \U0001F600", L"\U0010FFFF l\u00E4cheln");
    expected.emplace_back(L"smile \U0001F601", L"grinsen");
    // Given twice: the later text, and an empty later text leaves the msgid untranslated.
    po += "msgid \"Twice\"\nmsgstr \"Erst\"\nmsgid \"Twice\"\nmsgstr \"Zweimal\"\n";
    po += "msgid \"Emptied\"\nmsgstr \"Voll\"\nmsgid \"Emptied\"\nmsgstr \"\"\n";
    expected.emplace_back(L"Twice", L"Zweimal");
    expected.emplace_back(L"Emptied", L"Emptied");
    Write("\\app.po", po);
    ASSERT_TRUE(AttachTranslationFile(L"\\app.po"));
    for (const auto& [id, text] : expected)
        EXPECT_EQ(ugettext(id.c_str()), CString(text)) << fieldkit::WideToUtf8(id).substr(0, 50);

    // A second file over the first: its texts win, the others stay.
    Write("\\more.po",
          "msgid \"Twice\"\nmsgstr \"Dreimal\"\nmsgid \"" + base + "\"\nmsgstr \"Basis\"\n");
    ASSERT_TRUE(AttachTranslationFile(L"\\more.po"));
    EXPECT_EQ(ugettext(L"Twice") + L"|" + ugettext(fieldkit::Utf8ToWide(base).c_str()) + L"|" +
                  ugettext(expected[0].first.c_str()),
              L"Dreimal|Basis|T0");
}
