// Seeded races of a field application's threads in one window family, about a second each
// (timed, since the sanitizers run slower); they run under ThreadSanitizer and ASan too.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "fieldkit/platform/errors.h"
#include "fieldkit/ui/window.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRun = std::chrono::seconds(1);

HWND Window(HWND parent = nullptr) {
    return CreateWindowW(L"w", L"", parent ? WS_CHILD : 0, 0, 0, 1, 1, parent, nullptr, nullptr,
                         nullptr);
}

// Families built and destroyed by another thread, a child at a time or all at once: a walk
// from a child answers a sibling or nothing, and nothing at the ends only when it is gone.
// Fault: a sibling walk reads a family being destroyed without the lock and answers a stranger
TEST(WindowRaces, SiblingWalksWhileFamiliesComeAndGo) {
    std::array<std::atomic<HWND>, 8> recent{};
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        std::mt19937 rng(16);
        while (!stop) {
            const HWND parent = Window();
            std::vector<HWND> children(1 + rng() % 6);
            for (HWND& child : children)
                recent[rng() % 8] = child = Window(parent);
            for (; !children.empty() && rng() % 3 != 0; children.pop_back()) {
                std::swap(children[rng() % children.size()], children.back());
                DestroyWindow(children.back());
            }
            DestroyWindow(parent);
        }
    });
    std::mt19937 rng(61);
    for (const auto end = Clock::now() + kRun; Clock::now() < end;) {
        const HWND from = recent[rng() % 8], family = GetParent(from);
        for (UINT relation = GW_HWNDFIRST; relation <= GW_HWNDPREV; ++relation) {
            SetLastError(0);
            if (const HWND to = GetWindow(from, relation)) {
                EXPECT_TRUE(family == nullptr || GetParent(to) == family || !IsWindow(to));
            } else if (relation <= GW_HWNDLAST) {
                EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
            }
        }
    }
    stop = true;
    churn.join();
}

// Children and grandchildren made while their parent is destroyed are refused or go with it.
// Fault: a child made while its parent is destroyed survives it
TEST(WindowRaces, ChildrenOfAParentBeingDestroyed) {
    std::mt19937 rng(1400);
    for (const auto end = Clock::now() + kRun; Clock::now() < end;) {
        const HWND parent = Window();
        std::vector<HWND> made;
        std::atomic<std::size_t> count{0};
        std::thread maker([&] {
            while (const HWND child = Window(parent)) {
                made.push_back(child);
                if (const HWND grandchild = Window(child)) made.push_back(grandchild);
                count = made.size();
            }
            EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
        });
        for (const std::size_t wanted = rng() % 40; count < wanted;)
            std::this_thread::yield();
        EXPECT_TRUE(DestroyWindow(parent));
        maker.join();
        for (const HWND w : made)
            ASSERT_FALSE(IsWindow(w));
    }
}

// Once DestroyWindow returns, no message posted by another thread to the window or its child
// is in the queue, nor arrives later.
// Fault: a message posted during DestroyWindow arrives after it returns
TEST(WindowRaces, PostsAgainstTheDestruction) {
    std::mt19937 rng(1816);
    MSG m;
    for (const auto end = Clock::now() + kRun; Clock::now() < end;) {
        const HWND window = Window(), child = Window(window);
        std::atomic<long> posted{0};
        std::thread poster([&] {
            while (PostMessageW(posted % 2 ? child : window, WM_USER, 0, 0))
                ++posted;
            const DWORD error = GetLastError();  // a full queue may stop it first
            EXPECT_TRUE(error == ERROR_INVALID_WINDOW_HANDLE || error == ERROR_NOT_ENOUGH_QUOTA);
        });
        for (const long wanted = static_cast<long>(rng() % 200); posted < wanted;)
            std::this_thread::yield();
        EXPECT_TRUE(DestroyWindow(window));
        EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
        poster.join();
        EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    }
}

}  // namespace
