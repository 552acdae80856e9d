// Running out of memory at any allocation inside a public call: the call answers its failure
// (Win32 ones with ERROR_NOT_ENOUGH_MEMORY), nothing escapes, the device root is byte for byte
// as it was (no temporary beside a target, no half-made file, the old contents intact) and no
// descriptor stays open. Each call runs again and again, its first allocation failing, then
// its second, and so on, until it runs without meeting the failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <new>

#include "fieldkit/i18n/translations.h"
#include "fieldkit/platform/file_system.h"
#include "fieldkit/platform/registry.h"
#include "fieldkit/platform/sync.h"
#include "fieldkit/settings/file_mapping.h"
#include "fieldkit/settings/ini_file.h"
#include "fieldkit/text/codepage.h"
#include "fieldkit/ui/commandbar.h"
#include "fieldkit/ui/menu.h"
#include "tests/support/device_root.h"

namespace {

// Allocations of this thread left before the armed one fails; -1 when not armed.
thread_local long t_left = -1;
thread_local bool t_fired = false;

void* Allocate(std::size_t size, std::size_t align, bool nothrow) {
    if (t_left >= 0 && t_left-- == 0) {
        t_fired = true;
        if (nothrow) return nullptr;
        throw std::bad_alloc();
    }
    void* p = nullptr;
    if (align == 0) {
        p = std::malloc(size == 0 ? 1 : size);
    } else if (posix_memalign(&p, align, size == 0 ? align : size) != 0) {
        p = nullptr;
    }
    if (p == nullptr && !nothrow) throw std::bad_alloc();
    return p;
}

std::size_t Align(std::align_val_t a) {
    return static_cast<std::size_t>(a);
}

}  // namespace

// The sized forms are declared by <new> only where the compiler uses them (clang leaves them off).
void operator delete(void* p, std::size_t) noexcept;
void operator delete[](void* p, std::size_t) noexcept;
void operator delete(void* p, std::size_t, std::align_val_t) noexcept;
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept;
// clang-format off
void* operator new(std::size_t n) { return Allocate(n, 0, false); }
void* operator new[](std::size_t n) { return Allocate(n, 0, false); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n, 0, true); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Allocate(n, 0, true); }
void* operator new(std::size_t n, std::align_val_t a) { return Allocate(n, Align(a), false); }
void* operator new[](std::size_t n, std::align_val_t a) { return Allocate(n, Align(a), false); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return Allocate(n, Align(a), true); }
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept { return Allocate(n, Align(a), true); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
// clang-format on

namespace {

namespace fs = std::filesystem;

struct Case {
    const char* name;
    std::function<void()> prepare;    // before the call, nothing failing
    std::function<bool()> call;       // true when the call succeeded
    bool lastError;                   // a Win32 call: its failure sets the last error
    std::function<void(bool)> after;  // what the outcome left, when there is more to see
};

class OutOfMemory : public DeviceRootTest {
  protected:
    // Every entry under the root with its bytes.
    std::map<std::string, std::string> Tree() const {
        std::map<std::string, std::string> tree;
        for (const auto& e : fs::recursive_directory_iterator(root_)) {
            const std::string name = e.path().lexically_relative(root_).string();
            tree[name] = e.is_directory() ? "<folder>" : Read(name);
        }
        return tree;
    }
    static long Descriptors() {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    }

    void Sweep(const Case& c) {
        SCOPED_TRACE(c.name);
        for (long n = 0; n < 10000; ++n) {
            SCOPED_TRACE("allocation " + std::to_string(n));
            fieldkit::host::ResetProcessState();
            for (const auto& e : fs::directory_iterator(root_))
                fs::remove_all(e.path());
            if (c.prepare) c.prepare();
            const auto before = Tree();
            const long descriptors = Descriptors();
            bool ok = false;
            bool escaped = false;
            t_fired = false;
            t_left = n;
            try {
                ok = c.call();
            } catch (...) {
                escaped = true;
            }
            t_left = -1;
            const DWORD error = GetLastError();
            ASSERT_FALSE(escaped);
            EXPECT_EQ(ok, !t_fired);
            if (t_fired) {
                EXPECT_TRUE(!c.lastError || error == ERROR_NOT_ENOUGH_MEMORY) << error;
                EXPECT_EQ(Tree(), before);
            }
            if (c.after) c.after(ok);
            fieldkit::host::ResetProcessState();  // closes every handle
            EXPECT_EQ(Descriptors(), descriptors);
            if (!t_fired) return;
        }
        ADD_FAILURE() << "still failing after 10000 allocations";
    }

    std::function<void()> File(const char* path, const char* bytes) {
        return [=] { Write(path, bytes); };
    }

    LONG code_ = 0;
    HKEY key_ = nullptr;
    HWND window_ = nullptr;
    HWND child_ = nullptr;
    HMENU menu_ = nullptr;
    FILE* stream_ = nullptr;
    LRESULT index_ = 0;
    double real_ = 0;
    std::unique_ptr<CCommandBar> bar_;
    std::unique_ptr<CINIFile> ini_;
    const CString domain_ = L"survey";
    const CString catalog_ = L"\\survey.po";
};

// Long enough that no text fits in a string's own room.
constexpr wchar_t kText[] = L"a text well beyond the room a short string keeps";

HWND Frame(const wchar_t* text) {
    return CreateWindowW(L"Frame", text, 0, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
}

// Fault: an allocation failure escapes as an exception, claims success, or leaves a half-made file
TEST_F(OutOfMemory, EveryAllocationOfACallMayFail) {
    const auto opened = [](HANDLE h) { return h != INVALID_HANDLE_VALUE; };
    const Case cases[] = {
        {"CreateFileW emptying a file", File("\\f.txt", "old"),
         [&] {
             return opened(
                 CreateFileW(L"\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
         },
         true, [&](bool ok) { EXPECT_EQ(Read("\\f.txt"), ok ? "" : "old"); }},
        {"CreateFileW making a file", nullptr,
         [&] {
             return opened(
                 CreateFileW(L"\\new.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
         },
         true, nullptr},
        {"FindFirstFileW", File("\\d\\e\\a.txt", "a"),
         [&] {
             WIN32_FIND_DATAW found;
             return opened(FindFirstFileW(L"\\d\\e\\*.txt", &found));
         },
         true, nullptr},
        {"CopyFileW onto a file", [&] { Write("\\from.txt", "new"), Write("\\to.txt", "old"); },
         [] { return CopyFileW(L"\\from.txt", L"\\to.txt", FALSE) != FALSE; }, true,
         [&](bool ok) { EXPECT_EQ(Read("\\to.txt"), ok ? "new" : "old"); }},
        {"MoveFileW", File("\\a.txt", "a"),
         [] { return MoveFileW(L"\\a.txt", L"\\b.txt") != FALSE; }, true,
         [&](bool ok) { EXPECT_EQ(Exists("\\b.txt"), ok); }},
        {"CreateDirectoryW", nullptr, [] { return CreateDirectoryW(L"\\d", nullptr) != FALSE; },
         true, [&](bool ok) { EXPECT_EQ(Exists("\\d"), ok); }},
        {"CFileMapping::SaveFile", File("\\m.bin", "old"),
         [] { return CFileMapping().SaveFile(L"\\m.bin", "new bytes", 9); }, false,
         [&](bool ok) { EXPECT_EQ(Read("\\m.bin"), ok ? "new bytes" : "old"); }},
        {"_wfopen in text mode", File("\\t.txt", "a\r\nb"),
         [&] { return (stream_ = _wfopen(L"\\t.txt", L"rt")) != nullptr; }, true,
         [&](bool ok) { EXPECT_EQ(ok && std::fclose(stream_) == 0, ok); }},
        {"RegCreateKeyExW", nullptr,
         [&] {
             code_ = RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Vendor\\App", 0, nullptr, 0,
                                     KEY_ALL_ACCESS, nullptr, &key_, nullptr);
             return code_ == ERROR_SUCCESS;
         },
         false,
         [&](bool ok) {
             EXPECT_EQ(code_, ok ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY);
             EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_READ, &key_),
                       ok ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);  // no key made on the way
         }},
        {"CreateEventW with a name", nullptr,
         [] { return CreateEventW(nullptr, TRUE, FALSE, L"ready") != nullptr; }, true,
         [](bool ok) { EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, L"ready") != nullptr, ok); }},
        {"CreateWindowW of a child", [&] { window_ = Frame(L""); },
         [&] {
             child_ = CreateWindowW(L"Static", kText, WS_CHILD, 0, 0, 9, 9, window_, nullptr,
                                    nullptr, nullptr);
             return child_ != nullptr;
         },
         true, [&](bool ok) { EXPECT_EQ(GetWindow(window_, GW_CHILD), ok ? child_ : nullptr); }},
        {"SetWindowTextW", [&] { window_ = Frame(L"old"); },
         [&] { return SetWindowTextW(window_, kText) != FALSE; }, true,
         [&](bool ok) {
             wchar_t text[64] = {};
             GetWindowTextW(window_, text, 64);
             EXPECT_STREQ(text, ok ? kText : L"old");
         }},
        {"AppendMenuW", [&] { menu_ = CreateMenu(); },
         [&] { return AppendMenuW(menu_, MF_STRING, 7, kText) != FALSE; }, true,
         [&](bool ok) { EXPECT_EQ(GetMenuState(menu_, 7, MF_BYCOMMAND) != 0xFFFFFFFF, ok); }},
        {"TB_ADDSTRINGW", [&] { (bar_ = std::make_unique<CCommandBar>())->Create(nullptr); },
         [&] {
             index_ = bar_->SendMessage(TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(kText));
             return index_ >= 0;
         },
         true,
         [&](bool ok) {
             EXPECT_EQ(index_, ok ? 0 : -1);
             EXPECT_EQ(bar_->SendMessage(TB_GETSTRINGW, 0, 0) >= 0, ok);  // string 0 is there
         }},
        {"CINIFile::SaveIni over a file",
         [&] {
             Write("\\s.ini", "old");
             ini_ = std::make_unique<CINIFile>();
             ini_->SetStringValue(L"Section", L"key", kText);
         },
         [&] { return ini_->SaveIni(L"\\s.ini"); }, false,
         [&](bool ok) {
             EXPECT_EQ(Read("\\s.ini"),
                       ok ? "[Section]\nkey=" + fieldkit::WideToUtf8(kText) + "\n\n" : "old");
         }},
        {"CINIFile::GetRealValue of a long number",
         [&] {
             ini_ = std::make_unique<CINIFile>();
             ini_->SetStringValue(L"s", L"k", L"2.718281828459045235360287471352662497757");
         },
         [&] { return (real_ = ini_->GetRealValue(L"s", L"k", -1.0)) > 0; }, false,
         [&](bool ok) { EXPECT_EQ(real_, ok ? 2.718281828459045 : -1.0); }},
        {"AttachTranslationFile", File("\\survey.po", "msgid \"Hello\"\nmsgstr \"Bonjour\"\n"),
         [&] { return AttachTranslationFile(domain_, catalog_); }, false,
         [&](bool ok) { EXPECT_EQ(ugettext(domain_, L"Hello"), ok ? L"Bonjour" : L"Hello"); }},
    };
    for (const bool walk : {false, true}) {
        SCOPED_TRACE(walk ? "paths resolved by the walk" : "paths resolved by the kernel");
        knobs_.ResolveByWalkOnly(walk);
        for (const Case& c : cases)
            Sweep(c);
    }
}

}  // namespace
