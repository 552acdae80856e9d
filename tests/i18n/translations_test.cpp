#include "fieldkit/i18n/translations.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "fieldkit/platform/host.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/device_root.h"

class Translations : public DeviceRootTest {};

TEST_F(Translations, WithoutAStoreTextsComeBackUnchanged) {
    EXPECT_EQ(ugettext(L"Open") + L"|" + ugettext(L"utils_base", L"Open") + L"|" + TAG_NONE(),
              L"Open|Open|<none>");

    Write("\\app.po", "msgid \"Open\"\nmsgstr \"Auf\"\n");
    EXPECT_TRUE(AttachTranslationFile(L"\\app.po"));
    EXPECT_EQ(ugettext(L"Open"), L"Auf");
    EXPECT_TRUE(FreeTranslations());
    EXPECT_EQ(ugettext(L"Open"), L"Open");
    EXPECT_TRUE(AttachTranslationFile(L"\\missing.po"));  // a new, empty store
    EXPECT_EQ(ugettext(L"Open"), L"Open");

    AttachTranslationFile(L"\\app.po");
    fieldkit::host::ResetProcessState();
    EXPECT_EQ(ugettext(L"Open"), L"Open");
}

TEST_F(Translations, ReadsTheEntriesOfACatalog) {
    // BOM, CR LF, and at the end a line without a line end.
    Write("\\app.po",
          "\xEF\xBB\xBFmsgid \"Open\"\r\nmsgstr \"Öffnen\"\r\n"
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
    const std::wstring longKey(3000, L'k');
    Write("\\long.po", "msgid \"" + std::string(3000, 'k') + "\"\nmsgstr \"lang\"\n");
    AttachTranslationFile(L"\\app.po");
    AttachTranslationFile(L"\\long.po");

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
        EXPECT_EQ(ugettext(text), CString(expected)) << CString(text).Left(20);
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
    EXPECT_EQ(ugettext(L"utils_base", L"Yes"), L"Yes");  // no fall-back to the default

    AttachTranslationFile(CString(L"utils_base"), CString(L"\\a.po"));
    EXPECT_EQ(TAG_NONE() + L"|" + ugettext(L"utils_base", L"Yes"), L"<none>|Ja");
    AttachTranslationFile(CString(L"utils_base"), CString(L"\\missing.po"));
    EXPECT_EQ(ugettext(L"utils_base", L"Yes") + L"|" + ugettext(L"Utils_base", L"Yes"), L"Yes|Ja");
}

TEST_F(Translations, StringResources) {
    fieldkit::host::SetModuleFileName(L"\\Survey\\Survey.exe");
    fieldkit::host::SetStringResource(nullptr, 7, L"Save");
    EXPECT_EQ(GetTranslatedString(7, nullptr), L"Save");
    EXPECT_EQ(GetTranslatedString(0xFFFFFFFFu, nullptr),
              L"String -1 not found in module \\Survey\\Survey.exe.");

    Write("\\app.po",
          "msgid \"Save\"\nmsgstr \"Sichern\"\n\n"
          "msgid \"String 8 not found in module Survey.exe.\"\nmsgstr \"Fehlt\"\n");
    AttachTranslationFile(L"\\app.po");
    fieldkit::host::SetModuleFileName(L"Survey.exe");
    EXPECT_EQ(GetTranslatedString(7, nullptr) + L"|" + GetTranslatedString(8, nullptr),
              L"Sichern|Fehlt");

    fieldkit::host::SetModuleFileName(CString(L'x', 700));  // the message is cut at 511
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
