#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "fieldkit/platform/handles.h"
#include "fieldkit/platform/sync.h"
#include "fieldkit/ui/commandbar.h"
#include "fieldkit/ui/file_dialog.h"
#include "fieldkit/ui/gdi.h"
#include "fieldkit/ui/menu.h"
#include "fieldkit/ui/window.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/host_knobs.h"

// A window at the origin; CreateWindowW's remaining arguments play no part here.
static HWND Window(const wchar_t* cls, const wchar_t* text, DWORD style, int w, int h,
                   HWND parent = nullptr) {
    return CreateWindowW(cls, text, style, 0, 0, w, h, parent, nullptr, nullptr, nullptr);
}

// Fault: destroying a window leaves its children alive, or a class name overruns the buffer
TEST(Windows, TreeTextsAndDestruction) {
    const HWND top = Window(L"Dialog", L"Settings", 0, 200, 100);
    const HWND a = Window(L"button", L"OK", WS_CHILD | 0x0B, 50, 20, top);
    const HWND b = Window(L"static", L"Name", WS_CHILD, 50, 20, top);
    const HWND inner = Window(L"edit", L"x", WS_CHILD, 5, 5, b);
    EXPECT_EQ((std::array{GetWindow(top, GW_CHILD), GetWindow(a, GW_HWNDNEXT),
                          GetWindow(b, GW_HWNDNEXT), GetParent(inner)}),
              (std::array<HWND, 4>{a, b, nullptr, b}));
    wchar_t buf[8];
    EXPECT_EQ(GetClassNameW(a, buf, 4), 3);  // cut to the buffer
    EXPECT_STREQ(buf, L"but");
    EXPECT_TRUE(SetWindowTextW(b, L"Nom"));
    EXPECT_EQ(GetWindowTextW(b, buf, 8), 3);
    EXPECT_STREQ(buf, L"Nom");
    EXPECT_EQ(SendMessageW(b, WM_GETTEXTLENGTH, 0, 0), 3);
    RECT r;
    EXPECT_TRUE(GetClientRect(top, &r));
    EXPECT_EQ(r.right * 1000 + r.bottom, 200100);
    EXPECT_TRUE(DestroyWindow(b));  // takes its child with it
    EXPECT_FALSE(IsWindow(b) || IsWindow(inner));
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), nullptr);
    EXPECT_TRUE(DestroyWindow(top));
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(DestroyWindow(top));
    EXPECT_EQ(Window(L"x", L"", WS_CHILD, 1, 1, top), nullptr);  // a destroyed parent
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(GetWindow(a, GW_HWNDFIRST), nullptr);  // no place left to walk from
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

// Fault: destruction recursing per level, so a deep chain overflows the stack
TEST(Windows, DestroysAFamilyHoweverDeeplyNested) {
    // A chain this deep would overflow the stack of a walk that recursed per level.
    const HWND top = Window(L"Dialog", L"", 0, 1, 1);
    HWND last = top;
    HWND branch = nullptr;
    for (int i = 0; i < 200000 && last != nullptr; ++i) {
        last = Window(L"static", L"", WS_CHILD, 1, 1, last);
        if (i == 100) branch = Window(L"static", L"", WS_CHILD, 1, 1, last);
    }
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(DestroyWindow(top));
    EXPECT_FALSE(IsWindow(top) || IsWindow(branch) || IsWindow(last));
}

// Fault: a posted message lands in the poster's queue, or PM_NOREMOVE removes it
TEST(Windows, PostedMessagesGoToTheCreatingThread) {
    HWND window = nullptr;
    std::vector<UINT> received;
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread owner([&] {
        window = Window(L"w", L"", 0, 1, 1);
        SetEvent(created);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            received.push_back(msg.message);
        DestroyWindow(window);
    });
    ASSERT_EQ(WaitForSingleObject(created, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(PostMessageW(window, WM_USER + 1, 7, 0));
    EXPECT_TRUE(PostMessageW(window, WM_USER + 2, 0, 0));
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));  // not in this thread's queue
    PostThreadMessageW(GetWindowThreadProcessId(window, nullptr), WM_QUIT, 0, 0);
    owner.join();
    EXPECT_EQ(received, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
    EXPECT_FALSE(PostMessageW(window, WM_USER, 0, 0));  // gone
    CloseHandle(created);

    // Filters: by window and by message range; without PM_REMOVE the message stays.
    const HWND w = Window(L"w", L"", 0, 1, 1);
    PostMessageW(w, 10, 0, 0);
    PostMessageW(nullptr, 20, 0, 0);
    EXPECT_TRUE(PeekMessageW(&m, nullptr, 15, 25, PM_NOREMOVE));
    EXPECT_EQ(m.message, 20u);
    EXPECT_TRUE(PeekMessageW(&m, w, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, 10u);
    EXPECT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(w);
}

// Messages to a destroyed window and its children leave the queue with them; a queue holds
// 10,000 messages.
// Fault: messages for a destroyed child stay queued, or the queue grows past 10,000
TEST(Windows, QueuesOfDestroyedWindowsAndFullQueues) {
    const HWND top = Window(L"w", L"", 0, 1, 1), other = Window(L"w", L"", 0, 1, 1);
    const HWND child = Window(L"w", L"", WS_CHILD, 1, 1, top);
    for (const HWND w : {top, other, child, HWND{}, top})
        PostMessageW(w, WM_USER, 0, 0);
    EXPECT_TRUE(DestroyWindow(top));
    std::vector<HWND> left;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
        left.push_back(m.hwnd);
    EXPECT_EQ(left, (std::vector<HWND>{other, nullptr}));
    EXPECT_FALSE(PostMessageW(child, WM_USER, 0, 0));
    EXPECT_EQ(GetMessageW(&m, top, 0, 0), -1);  // would otherwise wait for ever
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);

    int posted = 0;
    while (PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0))
        ++posted;
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_QUOTA);
    EXPECT_EQ(posted + PostMessageW(nullptr, WM_USER, 0, 0), 10000);
    PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);
    EXPECT_TRUE(PostMessageW(other, WM_USER, 0, 0));  // room for one again
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// The windows a thread created go when it ends, with what hangs below them, and so does its
// queue; a thread without a queue takes no messages.
// Fault: an ended thread's windows stay alive, or it still takes posted messages
TEST(Windows, AThreadsWindowsEndWithIt) {
    const HWND mine = Window(L"w", L"", 0, 1, 1);
    HWND its = nullptr, itsChild = nullptr, childOfMine = nullptr, mineBelowIts = nullptr;
    DWORD id = 0;
    HANDLE made = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread thread([&] {
        its = Window(L"w", L"", 0, 1, 1);
        itsChild = Window(L"w", L"", WS_CHILD, 1, 1, its);
        childOfMine = Window(L"w", L"", WS_CHILD, 1, 1, mine);
        id = GetCurrentThreadId();
        SetEvent(made);
        WaitForSingleObject(done, 5000);
    });
    ASSERT_EQ(WaitForSingleObject(made, 5000), WAIT_OBJECT_0);
    mineBelowIts = Window(L"w", L"", WS_CHILD, 1, 1, its);
    SetEvent(done);
    thread.join();
    for (const HWND w : {its, itsChild, childOfMine, mineBelowIts})
        EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(GetWindow(mine, GW_CHILD), nullptr);
    EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
    std::thread([&] { id = GetCurrentThreadId(); }).join();
    EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
    CloseHandle(made);
    CloseHandle(done);
    DestroyWindow(mine);
}

// Fault: a popup item's id not its submenu's handle, or a menu made its own submenu
TEST(Menus, HandlesItemsAndThePopupIdentifierQuirk) {
    const HMENU bar = CreateMenu();
    const HMENU file = CreatePopupMenu();
    EXPECT_GT(reinterpret_cast<UINT_PTR>(bar), 100000u);
    AppendMenuW(file, MF_STRING, 101, L"&Open");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING | MF_CHECKED, 102, L"E&xit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID;
    ASSERT_TRUE(GetMenuItemInfoW(bar, 0, TRUE, &info));
    EXPECT_EQ(info.wID, static_cast<UINT>(reinterpret_cast<UINT_PTR>(file)));
    EXPECT_EQ(GetSubMenu(bar, 0), file);
    EXPECT_FALSE(GetMenuItemInfoW(file, 3, TRUE, &info));
    EXPECT_EQ(GetLastError(), ERROR_MENU_ITEM_NOT_FOUND);
    wchar_t text[16];
    EXPECT_EQ(GetMenuStringW(file, 102, text, 16, MF_BYCOMMAND), 5);
    EXPECT_STREQ(text, L"E&xit");
    EXPECT_EQ(CheckMenuItem(file, 102, MF_UNCHECKED), MF_CHECKED);  // the state before
    EXPECT_TRUE(InsertMenuW(file, 0, MF_BYPOSITION, 100, L"New"));
    EXPECT_EQ(GetMenuStringW(file, 0, text, 16, MF_BYPOSITION), 3);
    // Deleting the popup item destroys the submenu with it.
    EXPECT_TRUE(DeleteMenu(bar, 0, MF_BYPOSITION));
    EXPECT_FALSE(GetMenuItemInfoW(file, 0, TRUE, &info));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_MENU_HANDLE);
    // A menu cannot open itself or an ancestor.
    const HMENU inner = CreatePopupMenu();
    EXPECT_TRUE(AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(inner), L"In"));
    EXPECT_FALSE(AppendMenuW(inner, MF_POPUP, reinterpret_cast<UINT_PTR>(bar), L"Loop"));
    EXPECT_FALSE(AppendMenuW(inner, MF_POPUP, reinterpret_cast<UINT_PTR>(inner), L"Self"));
    EXPECT_TRUE(DestroyMenu(bar));
    EXPECT_FALSE(DestroyMenu(bar));
    EXPECT_FALSE(DestroyMenu(inner));  // went with its parent

    CMenu menu;
    ASSERT_TRUE(menu.CreateMenu());
    CMenu sub;
    sub.CreatePopupMenu();
    sub.AppendMenu(MF_STRING, 1, L"One");
    menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub.Detach()), L"Sub");
    CMenu* temporary = menu.GetSubMenu(0);
    ASSERT_NE(temporary, nullptr);
    EXPECT_EQ(temporary, menu.GetSubMenu(0));  // one object per handle
    CString s;
    temporary->GetMenuString(0, s, MF_BYPOSITION);
    EXPECT_EQ(s, L"One");
    EXPECT_EQ(menu.GetSubMenu(1), nullptr);
}

// Code that checks or greys a command through the menu bar reaches it in its submenu.
// Fault: a by-command lookup stops at the top level and misses the submenus
TEST(Menus, ByCommandSearchesTheSubmenusDepthFirst) {
    // bar: [File: [Recent: [7 "deep"], 7 "file", 8 "Exit"], 7 "top"]
    const HMENU bar = CreateMenu(), file = CreatePopupMenu(), recent = CreatePopupMenu();
    AppendMenuW(recent, MF_STRING, 7, L"deep");
    AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), L"Recent");
    AppendMenuW(file, MF_STRING, 7, L"file");
    AppendMenuW(file, MF_STRING, 8, L"Exit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
    AppendMenuW(bar, MF_STRING, 7, L"top");
    wchar_t text[8];
    EXPECT_EQ(GetMenuStringW(bar, 7, text, 8, MF_BYCOMMAND), 4);
    EXPECT_STREQ(text, L"deep");
    EXPECT_EQ(CheckMenuItem(bar, 8, MF_BYCOMMAND | MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(EnableMenuItem(bar, 8, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);
    EXPECT_EQ(GetMenuState(file, 2, MF_BYPOSITION), MF_CHECKED | MF_GRAYED);
    EXPECT_EQ(GetMenuState(bar, 9, MF_BYCOMMAND), 0xFFFFFFFFu);
    // A popup's own identifier matches only when nothing inside does.
    EnableMenuItem(bar, static_cast<UINT>(reinterpret_cast<UINT_PTR>(recent)), MF_GRAYED);
    EXPECT_EQ(GetMenuState(file, 0, MF_BYPOSITION), MF_POPUP | MF_GRAYED);
    // Deleting and inserting by command work in the submenu that holds the item.
    EXPECT_TRUE(DeleteMenu(bar, 7, MF_BYCOMMAND));              // "deep"
    EXPECT_TRUE(InsertMenuW(bar, 7, MF_BYCOMMAND, 6, L"new"));  // before "file"
    EXPECT_EQ(GetMenuStringW(file, 1, text, 8, MF_BYPOSITION), 3);
    EXPECT_EQ(GetMenuStringW(recent, 0, text, 8, MF_BYPOSITION), 0);
    DestroyMenu(bar);
}

// Fault: TB_GETSTRINGW copies past the given size, or a deleted button still answers
TEST(CommandBar, AnswersTheToolbarMessages) {
    CWnd frame;
    frame.Attach(Window(L"Frame", L"", 0, 480, 640));
    CCommandBar bar;
    ASSERT_TRUE(bar.Create(&frame));
    EXPECT_EQ(GetParent(bar.GetSafeHwnd()), frame.GetSafeHwnd());
    EXPECT_EQ(bar.SendMessage(TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(L"File")), 0);
    EXPECT_EQ(bar.SendMessage(TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(L"Edit")), 1);
    TBBUTTON buttons[2] = {{0, 10, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
                           {0, 11, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 1}};
    EXPECT_TRUE(bar.SendMessage(TB_ADDBUTTONSW, 2, reinterpret_cast<LPARAM>(buttons)));
    wchar_t text[8];
    EXPECT_EQ(bar.SendMessage(TB_GETBUTTONTEXTW, 11, reinterpret_cast<LPARAM>(text)), 4);
    EXPECT_STREQ(text, L"Edit");
    TBBUTTON got{};
    EXPECT_TRUE(bar.SendMessage(TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&got)));
    EXPECT_EQ(got.idCommand, 10);
    got.iString = 1;
    EXPECT_TRUE(bar.SendMessage(TB_INSERTBUTTON, 0, reinterpret_cast<LPARAM>(&got)));
    EXPECT_TRUE(bar.SendMessage(TB_DELETEBUTTON, 1));
    EXPECT_FALSE(bar.SendMessage(TB_DELETEBUTTON, 9));
    EXPECT_EQ(bar.SendMessage(TB_GETBUTTONTEXTW, 10, reinterpret_cast<LPARAM>(text)), 4);
    EXPECT_STREQ(text, L"Edit");
    EXPECT_EQ(bar.SendMessage(TB_GETSTRINGW, (0u << 16) | 3u, reinterpret_cast<LPARAM>(text)), 4);
    EXPECT_STREQ(text, L"Fi");  // cut to the given size
    EXPECT_EQ(bar.SendMessage(TB_GETSTRINGW, (5u << 16) | 8u, reinterpret_cast<LPARAM>(text)), -1);
    frame.DestroyWindow();
    EXPECT_FALSE(IsWindow(bar.GetSafeHwnd()));
}

// The screen's size, resolution and presence, contexts and stretched bitmaps are seen at work
// through the display factors, and text extents through the path shortening; what those leave
// out is here.
// Fault: GetTextExtentExPoint counts characters that fit wrongly, or GetBitmap answers 0
TEST(Gdi, TextExtentsAndAnswersTheDisplayIgnores) {
    HostKnobs knobs;
    knobs.CharWidth(7);
    const HDC screen = GetDC(nullptr);
    SIZE size;
    int fit = 0;
    EXPECT_TRUE(GetTextExtentExPointW(screen, L"abcdef", -1, 30, &fit, nullptr, &size));
    EXPECT_EQ(size.cx * 1000 + fit, 42004);
    ReleaseDC(nullptr, screen);
    // GetBitmap answers how much it filled in, DeleteObject whether there was a bitmap.
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(2, 2, 1, 32, nullptr));
    BITMAP info;
    EXPECT_EQ(bitmap.GetBitmap(&info), static_cast<int>(sizeof(BITMAP)));
    EXPECT_TRUE(::DeleteObject(bitmap.Detach()));
}

// The answer of a handler is seen at work through the file functions.
// Fault: an exception thrown by a dialog handler escapes into the caller
TEST(FileDialogs, CancelledWithoutAHandlerOrWhenItThrows) {
    HostKnobs knobs;
    OPENFILENAMEW dialog{};
    EXPECT_FALSE(GetOpenFileNameW(&dialog));
    knobs.FileDialog([](OPENFILENAMEW&) -> bool { throw 1; });
    EXPECT_FALSE(GetSaveFileNameW(&dialog));
}
