#include "fieldkit/i18n/window_translation.h"

#include <string>
#include <vector>

#include "fieldkit/i18n/translations.h"
#include "tests/support/device_root.h"

namespace {

using Texts = std::vector<std::wstring>;

class WindowTranslation : public DeviceRootTest {
  protected:
    static void Attach() {
        AttachTranslationFile(L"\\de.po");
        AttachTranslationFile(L"survey", L"\\survey.po");
    }
    void SetUp() override {
        DeviceRootTest::SetUp();
        knobs_.ModuleFileName(L"\\Survey.exe");  // the log lands in the root
        Write(
            "\\de.po",
            "msgid \"Open\"\nmsgstr \"\u00D6ffnen\"\nmsgid \"Settings\"\nmsgstr \"Einstellungen\"\n"
            "msgid \"Save\"\nmsgstr \"Speichern\"\nmsgid \"File\"\nmsgstr \"Datei\"\n"
            "msgid \"&Edit\"\nmsgstr \"&Bearbeiten\"\nmsgid \"Tools\"\nmsgstr \"Werk&zeuge\"\n"
            // A translation that is itself a msgid shows a text translated twice.
            "msgid \"Speichern\"\nmsgstr \"Sichern\"\n");
        Write("\\survey.po", "msgid \"Open\"\nmsgstr \"Auf\"\n");
    }
};

std::wstring Text(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

// Each item as "text id state"; a popup's id shows as "popup".
Texts Items(HMENU menu) {
    Texts items;
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID;
    for (UINT i = 0; GetMenuItemInfoW(menu, i, TRUE, &info); ++i) {
        const bool popup = GetSubMenu(menu, static_cast<int>(i)) != nullptr;
        wchar_t text[64] = {};
        GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
        items.push_back(std::wstring(text) + L" " + (popup ? L"popup" : std::to_wstring(info.wID)) +
                        L" " + std::to_wstring(GetMenuState(menu, i, MF_BYPOSITION) & 0xFF));
    }
    return items;
}

// Each button as "command:caption".
Texts Captions(CCommandBar& bar) {
    Texts captions;
    TBBUTTON button = {};
    for (WPARAM i = 0; bar.SendMessage(TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)); ++i) {
        wchar_t text[64] = {};
        bar.SendMessage(TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand),
                        reinterpret_cast<LPARAM>(text));
        captions.push_back(std::to_wstring(button.idCommand) + L":" + text);
    }
    return captions;
}

}  // namespace

// Fault: a translated item loses its greyed or checked state, or a shared submenu translated twice
TEST_F(WindowTranslation, MenusAndTheirSubmenus) {
    CMenu menu, sub;
    menu.CreateMenu();
    sub.CreatePopupMenu();
    sub.AppendMenu(MF_DISABLED, 20, L"Save");
    menu.AppendMenu(MF_CHECKED | MF_GRAYED, 10, L"Open");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_CHECKED, 11, L"Keep");
    menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub.GetSafeHmenu()), L"File");
    menu.AppendMenu(MF_STRING, 12, L"Settings");
    // A submenu hung under two popups is still translated once.
    menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub.GetSafeHmenu()), L"Tools");
    const HMENU submenu = sub.Detach();  // the menu's now
    Attach();
    TranslateMenu(menu);
    // Replaced items keep their greyed (1), disabled (2) and checked (8) state, so a translated
    // build enables nothing the English one keeps off; others, and the popup's caption, stay.
    EXPECT_EQ(Items(menu), (Texts{L"\u00D6ffnen 10 9", L" 0 0", L"Keep 11 8", L"File popup 16",
                                  L"Einstellungen 12 0", L"Tools popup 16"}));
    EXPECT_EQ(Items(submenu), (Texts{L"Speichern 20 2"}));
}

// Fault: a menu item without a text leaves its button out, shifting every later caption
TEST_F(WindowTranslation, CommandBarTakesTheMenuTexts) {
    CWnd frame;
    frame.Attach(CreateWindowW(L"frame", L"", 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr));
    CCommandBar bar;
    bar.Create(&frame);
    CMenu menu;
    menu.CreateMenu();
    for (const wchar_t* text : {L"&File", L"", L"&Edit", L"Tools"}) {
        menu.AppendMenu(MF_STRING, 1, text);
        TBBUTTON button = {};
        button.idCommand = 100 + static_cast<int>(bar.SendMessage(TB_BUTTONCOUNT));
        button.iString = bar.SendMessage(TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(L"-"));
        bar.SendMessage(TB_ADDBUTTONS, 1, reinterpret_cast<LPARAM>(&button));
    }
    Attach();
    FreeTranslations();
    EXPECT_FALSE(TranslateMenuBar(bar, menu));  // no catalogs: attached and freed
    EXPECT_EQ(Captions(bar), (Texts{L"100:-", L"101:-", L"102:-", L"103:-"}));
    EXPECT_FALSE(Exists("\\Survey.log"));

    Attach();
    EXPECT_FALSE(TranslateMenuBar(bar, menu));  // item 1 has no text
    EXPECT_EQ(Captions(bar), (Texts{L"100:File", L"101:-", L"102:Bearbeiten", L"103:Werkzeuge"}));
    const std::string log = Read("\\Survey.log");
    for (const char* line : {"OnChangeFileMenu: mmenu=", "OnChangeFileMenu: itemcount=4\n",
                             "OnChangeFileMenu: sMenuText=&File\n", "sMenuText=\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;

    menu.DeleteMenu(1, MF_BYPOSITION);
    EXPECT_TRUE(TranslateMenuBar(bar, menu));
    menu.AppendMenu(MF_STRING, 5, L"Help");
    menu.AppendMenu(MF_STRING, 6, L"About");    // one item more than buttons
    EXPECT_FALSE(TranslateMenuBar(bar, menu));  // and no stray button for it
    CMenu gone, none;
    gone.m_hMenu = CreateMenu();
    DestroyMenu(gone.m_hMenu);
    EXPECT_FALSE(TranslateMenuBar(bar, gone) || TranslateMenuBar(bar, none));
    EXPECT_EQ(Captions(bar),
              (Texts{L"100:File", L"101:Bearbeiten", L"102:Werkzeuge", L"103:Help"}));
    frame.DestroyWindow();
}

// Fault: an edit or list box translated, or grandchildren translated too
TEST_F(WindowTranslation, WindowsAndTheirDirectChildren) {
    const struct {
        const wchar_t* cls;
        DWORD style;
        bool translated;
    } children[] = {{L"Edit", 0, false},      {L"LISTBOX", 0, false},   {L"combobox", 0, false},
                    {L"static", 0x03, false}, {L"static", 0x0E, false}, {L"static", 0, true},
                    {L"STATIC", 0x01, true},  {L"static", 0x0C, true},  {L"button", 0, true},
                    {L"button", 0x0B, true},  {L"SurveyGrid", 0, true}};
    for (const CString domain : {L"", L"survey"}) {  // the domain's catalog only
        CWnd dialog;
        dialog.Attach(CreateWindowW(L"dialog", L"Settings", 0, 0, 0, 9, 9, nullptr, nullptr,
                                    nullptr, nullptr));
        std::vector<HWND> made;
        for (const auto& c : children)
            made.push_back(CreateWindowW(c.cls, L"Open", c.style | WS_CHILD, 0, 0, 9, 9, dialog,
                                         nullptr, nullptr, nullptr));
        const HWND grandchild = CreateWindowW(L"static", L"Open", WS_CHILD, 0, 0, 9, 9, made.back(),
                                              nullptr, nullptr, nullptr);
        Attach();
        domain.IsEmpty() ? TranslateWnd(dialog) : TranslateWnd(domain, dialog);
        EXPECT_EQ(Text(dialog), domain.IsEmpty() ? L"Einstellungen" : L"Settings");
        const wchar_t* open = domain.IsEmpty() ? L"\u00D6ffnen" : L"Auf";
        for (std::size_t i = 0; i < made.size(); ++i)
            EXPECT_EQ(Text(made[i]), children[i].translated ? open : L"Open") << children[i].cls;
        EXPECT_EQ(Text(grandchild), L"Open");
        dialog.DestroyWindow();
        FreeTranslations();
    }
}
