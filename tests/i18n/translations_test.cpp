#include "fieldkit/i18n/translations.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "fieldkit/platform/host.h"
#include "fieldkit/text/codepage.h"
#include "tests/support/device_root.h"

class Translations : public DeviceRootTest {};

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
