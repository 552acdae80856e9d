#include <gtest/gtest.h>

#include <cstdint>
#include <list>
#include <random>
#include <string>
#include <unordered_map>

#include "fieldkit/text/stringmap.h"
#include "tests/support/cstring_printer.h"

namespace {

std::wstring Text(int value) {
    return std::to_wstring(value);
}
std::wstring Text(std::wstring_view value) {
    return std::wstring(value);
}

template <class V>
std::wstring Walk(const CStringHashMap<V>& map) {
    std::wstring order;
    for (POSITION pos = map.GetStartPosition(); pos != nullptr;) {
        CString key;
        V value{};
        map.GetNextAssoc(pos, key, value);
        order += key.GetString() + (L'=' + Text(value)) + L' ';
    }
    return order;
}

// The documented bucket, worked out here rather than taken from the map: h = h * 33 + unit in
// 32 bits, modulo 17.
std::size_t Bucket(const std::wstring& key) {
    std::uint32_t h = 0;
    for (const wchar_t unit : key)
        h = h * 33 + static_cast<std::uint32_t>(unit);
    return h % 17;
}

}  // namespace

// One-letter keys land in bucket code % 17: a (97) in 12, f (102) in 0, g (103) in 1,
// r (114) in 12 too. The empty key is in bucket 0; "ab" is 97 * 33 + 98 = 3299, bucket 1; U+1F600
// counts as its surrogate pair D83D DE00, (0xD83D * 33 + 0xDE00) % 17 = 13, where b (98) is.
// A map of numbers is a full table from the start; a map of this few texts is one block.
template <class V, class Value>
void WalkBucketsInOrderNewestFirst(Value value) {
    CStringHashMap<V> map;
    int n = 0;
    for (const wchar_t* key : {L"a", L"b", L"f", L"g", L"r", L"e", L"\U0001F600", L""})
        map.SetAt(key, value(++n));
    EXPECT_EQ(Walk(map), L"=8 f=3 g=4 r=5 a=1 \U0001F600=7 b=2 e=6 ");
    map.SetAt(L"f", value(10));  // a new value keeps the entry's place
    EXPECT_TRUE(map.RemoveKey(L"a"));
    EXPECT_FALSE(map.RemoveKey(L"a"));
    map.SetAt(L"a", value(9));    // back as a new entry: front of its bucket
    map.SetAt(L"ab", value(11));  // ahead of g, which came first
    EXPECT_EQ(Walk(map), L"=8 f=10 ab=11 g=4 a=9 r=5 \U0001F600=7 b=2 e=6 ");
    EXPECT_EQ(map.GetCount(), 9);
}

// Fault: the walk goes in insertion order, or an updated key moves to the front of its bucket
TEST(StringHashMap, WalksBucketsInOrderNewestFirst) {
    WalkBucketsInOrderNewestFirst<int>([](int n) { return n; });
    std::wstring texts[12];  // the map copies them in
    WalkBucketsInOrderNewestFirst<std::wstring_view>(
        [&](int n) { return std::wstring_view(texts[n] = std::to_wstring(n)); });
}

// Fault: keys compared without case or trailing blanks, or RemoveAll leaving entries to walk
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
    // (Thousands of keys are found through the index in the churn test below.)
    map.RemoveAll();
    EXPECT_EQ(map.GetStartPosition(), nullptr);
    CStringHashMap<CString> moved(std::move(map));
    moved.SetAt(L"x", L"1");
    EXPECT_EQ(moved.GetCount(), 1);
}

// Inserts, updates and removals against a model of the documented walk: buckets 0..16, newest
// key first within a bucket. The map holds texts, which it copies in; the churn grows the index
// and recycles (moves) key and value text, and every text must still read whole, NUL-terminated.
// Fault: growing the index loses or reorders keys, or a recycled text is read after it moved
TEST(StringHashMap, AgreesWithAModelUnderRandomChurn) {
    std::mt19937 rng(20261207);
    CStringHashMap<std::wstring_view> map;
    std::unordered_map<std::wstring, std::wstring> values;
    std::list<std::wstring> model[17];
    for (int step = 0; step < 60000; ++step) {
        std::wstring key(1 + rng() % 8, L'a');
        for (wchar_t& c : key)
            c = static_cast<wchar_t>(L'a' + rng() % 3);
        auto& bucket = model[Bucket(key)];
        if (rng() % 3 == 0) {
            const bool present = values.erase(key) == 1;
            ASSERT_EQ(map.RemoveKey(key), present) << step;
            if (present) bucket.remove(key);
        } else {
            if (values.count(key) == 0) bucket.push_front(key);
            const std::wstring text(rng() % 40, static_cast<wchar_t>(L'a' + step % 26));
            map.SetAt(key, text);  // the text dies here: the map must hold its own copy
            values[key] = text;
        }
        if (step % 5000 != 4999) continue;
        ASSERT_EQ(map.GetCount(), static_cast<INT_PTR>(values.size()));
        POSITION pos = map.GetStartPosition();
        for (const auto& keys : model) {
            for (const std::wstring& expected : keys) {
                std::wstring_view seen, value, found;
                ASSERT_TRUE(map.NextEntry(pos, seen, value));
                ASSERT_EQ(seen, expected);
                ASSERT_TRUE(map.Lookup(expected, found));
                ASSERT_EQ(found.data(), value.data());
                ASSERT_EQ(value, values[expected]);
                ASSERT_EQ(value.data()[value.size()], L'\0');
            }
        }
        EXPECT_EQ(pos, nullptr);
    }
}

// A small map of texts is one block until it outgrows it, and one map can build table after
// table (as a settings file is loaded, section by section), handing each on whole. Each round
// fills a map past the block's limits (count and characters) against a model; some texts are
// read from the map itself and stored back into it, where the block moves under them.
// Fault: a text stored from the map's own block read after the block moved under it
TEST(StringHashMap, TextMapsAgreeWithAModelInBothForms) {
    std::mt19937 rng(20261208);
    CStringHashMap<std::wstring_view> builder;
    for (int round = 0; round < 60; ++round) {
        CStringHashMap<std::wstring_view> fresh;
        CStringHashMap<std::wstring_view>& map = round % 2 ? builder : fresh;
        // Every fourth round the builder works as the loader's does: a full table from the
        // start, handed on while its entries still fit a block.
        const int steps = round % 4 == 1 ? 60 : 300;
        if (round % 4 == 1) builder.UseFullTable();
        std::unordered_map<std::wstring, std::wstring> values;
        std::list<std::wstring> model[17];
        const auto expected = [&] {
            std::wstring walk;
            for (const auto& keys : model) {
                for (const std::wstring& key : keys)
                    walk += key + L'=' + values[key] + L' ';
            }
            return walk;
        };
        for (int step = 0; step < steps; ++step) {
            std::wstring key(1 + rng() % 2, L'a');  // 110 keys at most
            for (wchar_t& c : key)
                c = static_cast<wchar_t>(L'a' + rng() % 10);
            auto& bucket = model[Bucket(key)];
            const unsigned what = rng() % 8;
            if (what == 0) {
                const bool present = values.erase(key) == 1;
                ASSERT_EQ(map.RemoveKey(key), present) << step;
                if (present) bucket.remove(key);
                continue;
            }
            if (values.count(key) == 0) bucket.push_front(key);
            std::wstring_view own;
            if (what == 1 && !values.empty() && map.Lookup(values.begin()->first, own)) {
                const std::wstring copy(own);
                map.SetAt(key, own);
                values[key] = copy;
            } else {
                // Now and then a text long enough to outgrow the block by its characters.
                const std::size_t length = what == 2 && round % 3 == 0 ? 200 : rng() % 12;
                const std::wstring text(length, static_cast<wchar_t>(L'A' + step % 26));
                map.SetAt(key, text);
                values[key] = text;
            }
            ASSERT_EQ(map.GetCount(), static_cast<INT_PTR>(values.size()));
            ASSERT_EQ(Walk(map), expected()) << "round " << round << " step " << step;
            std::wstring_view found;
            ASSERT_TRUE(map.Lookup(key, found));
            ASSERT_EQ(found.data()[found.size()], L'\0');
        }
        if (&map == &builder) {
            // What was handed on is found and takes new keys in its place, as before.
            CStringHashMap<std::wstring_view> taken = builder.TakeAll();
            EXPECT_TRUE(builder.IsEmpty());
            EXPECT_EQ(builder.GetStartPosition(), nullptr);
            for (const auto& [key, value] : values) {
                std::wstring_view found;
                EXPECT_TRUE(taken.Lookup(key, found) && found == value) << Text(key);
            }
            for (const wchar_t* key : {L"f", L"k"}) {  // buckets 0 and 5
                if (values.count(key) == 0) model[Bucket(key)].push_front(key);
                values[key] = L"new";
                taken.SetAt(key, values[key]);
            }
            EXPECT_EQ(Walk(taken), expected()) << "round " << round;
        }
    }
}
