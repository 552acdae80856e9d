// Threads of a field application meeting in one window family: each race runs seeded rounds
// for about a second, and must also run clean under ThreadSanitizer and AddressSanitizer.
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

HWND Window(HWND parent = nullptr) {
    return CreateWindowW(L"w", L"", parent ? WS_CHILD : 0, 0, 0, 1, 1, parent, nullptr, nullptr,
                         nullptr);
}

// Rounds until the time is up (the sanitizers run slower, so a count would not be bounded).
struct Rounds {
    Clock::time_point end = Clock::now() + std::chrono::milliseconds(1000);
    bool More() const { return Clock::now() < end; }
};

// While one thread builds families and destroys them, a child at a time or all at once, walks
// from any child (live or just gone) answer a sibling or nothing, and nothing at the ends of
// the list only for a window that is gone.
TEST(WindowRaces, SiblingWalksWhileFamiliesComeAndGo) {
    std::array<std::atomic<HWND>, 8> recent{};
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        std::mt19937 rng(16);
        while (!stop.load()) {
            const HWND parent = Window();
            std::vector<HWND> children;
            for (unsigned n = 1 + rng() % 6; n > 0; --n) {
                children.push_back(Window(parent));
                recent[rng() % recent.size()] = children.back();
            }
            while (!children.empty() && rng() % 3 != 0) {  // down to none, or to the parent
                const auto victim = children.begin() + rng() % children.size();
                DestroyWindow(*victim);
                children.erase(victim);
            }
            DestroyWindow(parent);
        }
    });
    std::mt19937 rng(61);
    long walks = 0;
    for (Rounds rounds; rounds.More(); ++walks) {
        const HWND from = recent[rng() % recent.size()].load();
        const HWND family = GetParent(from);
        for (const UINT relation : {GW_HWNDFIRST, GW_HWNDLAST, GW_HWNDNEXT, GW_HWNDPREV}) {
            SetLastError(0);
            const HWND to = GetWindow(from, relation);
            if (to != nullptr) {
                const HWND up = GetParent(to);
                EXPECT_TRUE(family == nullptr || up == family || (up == nullptr && !IsWindow(to)));
            } else if (relation == GW_HWNDFIRST || relation == GW_HWNDLAST) {
                EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
            }
        }
    }
    stop = true;
    churn.join();
    EXPECT_GT(walks, 100);
}

// Children and grandchildren made by another thread while their parent is destroyed are
// refused or go with it: none outlives its parent.
TEST(WindowRaces, ChildrenOfAParentBeingDestroyed) {
    std::mt19937 rng(1400);
    int rounds = 0;
    for (Rounds time; time.More(); ++rounds) {
        const HWND parent = Window();
        std::vector<HWND> made;
        std::atomic<std::size_t> count{0};
        DWORD refusal = 0;
        std::thread maker([&] {
            for (;;) {
                const HWND child = Window(parent);
                if (child == nullptr) {
                    refusal = GetLastError();
                    return;
                }
                made.push_back(child);
                if (const HWND grandchild = Window(child)) made.push_back(grandchild);
                count = made.size();
            }
        });
        for (const std::size_t wanted = rng() % 40; count.load() < wanted;)
            std::this_thread::yield();
        EXPECT_TRUE(DestroyWindow(parent));
        maker.join();
        EXPECT_EQ(refusal, ERROR_INVALID_WINDOW_HANDLE);
        for (const HWND w : made)
            ASSERT_FALSE(IsWindow(w)) << "round " << rounds;
    }
    EXPECT_GT(rounds, 10);
}

// Posts from another thread to a window and its child while the window is destroyed: once
// DestroyWindow returns, no message for either is in the queue or arrives later.
TEST(WindowRaces, PostsAgainstTheDestruction) {
    std::mt19937 rng(1816);
    int rounds = 0;
    for (Rounds time; time.More(); ++rounds) {
        const HWND window = Window();
        const HWND child = Window(window);
        std::atomic<long> posted{0};
        DWORD refusal = 0;
        std::thread poster([&] {
            for (;; ++posted) {
                if (!PostMessageW(posted % 2 ? child : window, WM_USER, 0, 0)) {
                    refusal = GetLastError();
                    return;
                }
            }
        });
        for (const long wanted = static_cast<long>(rng() % 200); posted.load() < wanted;)
            std::this_thread::yield();
        EXPECT_TRUE(DestroyWindow(window));
        MSG m;
        const auto anyLeft = [&] {
            bool left = false;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
                left = true;
            return left;
        };
        EXPECT_FALSE(anyLeft());
        poster.join();
        EXPECT_FALSE(anyLeft());
        // A full queue may stop the poster first.
        EXPECT_TRUE(refusal == ERROR_INVALID_WINDOW_HANDLE || refusal == ERROR_NOT_ENOUGH_QUOTA)
            << refusal;
    }
    EXPECT_GT(rounds, 10);
}

}  // namespace
