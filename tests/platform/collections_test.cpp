#include <gtest/gtest.h>

#include <list>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "fieldkit/platform/stringmap.h"
#include "tests/support/cstring_printer.h"

namespace {

std::wstring Walk(const CStringHashMap<int>& map) {
    std::wstring order;
    for (POSITION pos = map.GetStartPosition(); pos != nullptr;) {
        CString key;
        int value = 0;
        map.GetNextAssoc(pos, key, value);
        order += key.GetString() + (L'=' + std::to_wstring(value)) + L' ';
    }
    return order;
}

}  // namespace

// One-letter keys land in bucket code % 17: a (97) in 12, f (102) in 0, r (114) in 12 too.
TEST(StringHashMap, WalksBucketsInOrderNewestFirst) {
    CStringHashMap<int> map;
    int n = 0;
    for (const wchar_t* key : {L"a", L"b", L"f", L"g", L"r", L"e"})
        map.SetAt(key, ++n);
    EXPECT_EQ(Walk(map), L"f=3 g=4 r=5 a=1 b=2 e=6 ");
    map.SetAt(L"a", 10);  // a new value keeps the entry's place
    EXPECT_EQ(Walk(map), L"f=3 g=4 r=5 a=10 b=2 e=6 ");
    EXPECT_TRUE(map.RemoveKey(L"r"));
    EXPECT_FALSE(map.RemoveKey(L"r"));
    map.SetAt(L"r", 7);  // back as a new entry: front of its bucket again
    EXPECT_EQ(Walk(map), L"f=3 g=4 r=7 a=10 b=2 e=6 ");
    // "ab" is 97 * 33 + 98 = 3299, bucket 1, behind g, which came first.
    map.SetAt(L"ab", 8);
    EXPECT_EQ(Walk(map), L"f=3 ab=8 g=4 r=7 a=10 b=2 e=6 ");
    EXPECT_EQ(map.GetCount(), 7);
}

TEST(StringHashMap, HashesCharactersAboveTheBmpAsSurrogatePairs) {
    // U+1F600 is D83D DE00: (0xD83D * 33 + 0xDE00) % 17 = 14; the key "c" (99) is in 14 too.
    EXPECT_EQ(fieldkit::detail::StringMapBucket(std::wstring(1, static_cast<wchar_t>(0x1F600))),
              (0xD83Du * 33 + 0xDE00u) % 17);
    EXPECT_EQ(fieldkit::detail::StringMapBucket(L""), 0u);
    EXPECT_EQ(fieldkit::detail::StringMapBucket(L"ab"), 1u);
}

TEST(StringHashMap, LookUpIsExactAndRemovalKeepsTheRest) {
    CStringHashMap<CString> map;
    map.SetAt(L"Key", L"v");
    map.SetAt(L"key ", L"w");
    map.SetAt(L"", L"empty");
    CString v;
    EXPECT_TRUE(map.Lookup(L"Key", v));
    EXPECT_EQ(v, L"v");
    EXPECT_FALSE(map.Lookup(L"key", v));
    EXPECT_TRUE(map.Lookup(L"", v));
    EXPECT_EQ(v, L"empty");
    ASSERT_NE(map.Find(L"key "), nullptr);
    EXPECT_EQ(*map.Find(L"key "), L"w");
    // Many keys in one table stay reachable (look-up goes through the index).
    CStringHashMap<int> big;
    for (int i = 0; i < 20000; ++i)
        big.SetAt(std::to_wstring(i), i);
    for (int i = 0; i < 20000; i += 997)
        ASSERT_EQ(*big.Find(std::to_wstring(i)), i);
    big.RemoveAll();
    EXPECT_EQ(big.GetStartPosition(), nullptr);
    CStringHashMap<int> moved(std::move(big));
    moved.SetAt(L"x", 1);
    EXPECT_EQ(moved.GetCount(), 1);
}

TEST(StringHashMap, AgreesWithAModelUnderRandomChurn) {
    // Inserts, updates and removals against a model of the documented walk: buckets 0..16,
    // newest key first within a bucket. Enough churn to grow the index and recycle key text.
    std::mt19937 rng(20261207);
    CStringHashMap<int> map;
    std::unordered_map<std::wstring, int> values;
    std::list<std::wstring> model[fieldkit::detail::kStringMapBuckets];
    for (int step = 0; step < 60000; ++step) {
        std::wstring key(1 + rng() % 8, L'a');
        for (wchar_t& c : key)
            c = static_cast<wchar_t>(L'a' + rng() % 3);
        auto& bucket = model[fieldkit::detail::StringMapBucket(key)];
        if (rng() % 3 == 0) {
            const bool present = values.erase(key) == 1;
            ASSERT_EQ(map.RemoveKey(key), present) << step;
            if (present) bucket.remove(key);
        } else {
            if (values.count(key) == 0) bucket.push_front(key);
            values[key] = step;
            map.SetAt(key, step);
        }
        if (step % 5000 != 4999) continue;
        ASSERT_EQ(map.GetCount(), static_cast<INT_PTR>(values.size()));
        POSITION pos = map.GetStartPosition();
        for (const auto& keys : model) {
            for (const std::wstring& expected : keys) {
                std::wstring_view seen;
                const int* value = nullptr;
                ASSERT_TRUE(map.NextEntry(pos, seen, &value));
                ASSERT_EQ(seen, expected);
                ASSERT_EQ(*value, values[expected]);
            }
        }
        EXPECT_EQ(pos, nullptr);
    }
}

TEST(StringHashMap, OwnsItsTextsThroughReplacementAndRemoval) {
    // A map of texts copies them in; replacing and removing many times recycles the blocks
    // (moving the texts) and every text must still read whole, NUL-terminated.
    CStringHashMap<std::wstring_view> map;
    std::unordered_map<std::wstring, std::wstring> model;
    std::mt19937 rng(7);
    for (int step = 0; step < 40000; ++step) {
        const std::wstring key = L"k" + std::to_wstring(rng() % 300);
        if (rng() % 4 == 0) {
            map.RemoveKey(key);
            model.erase(key);
            continue;
        }
        std::wstring text(rng() % 40, static_cast<wchar_t>(L'a' + step % 26));
        map.SetAt(key, text);  // the local text dies here: the map must hold its own copy
        model[key] = std::move(text);
    }
    ASSERT_EQ(map.GetCount(), static_cast<INT_PTR>(model.size()));
    for (const auto& [key, text] : model) {
        const std::wstring_view* stored = map.Find(key);
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(*stored, text);
        EXPECT_EQ(stored->data()[stored->size()], L'\0');
    }
}
