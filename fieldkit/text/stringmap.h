/// @file
/// CStringHashMap<V>: the class library's string-keyed hash map, with its walk order.
///
/// Files saved on the handheld list their sections, keys and catalog entries in the order this
/// map walks, so the order is part of the format: 17 buckets visited 0 to 16, and in a bucket
/// the newest entry first. The bucket of a key is h % 17 with h = h * 33 + u over its UTF-16
/// units (unsigned 32-bit, starting at 0; characters above U+FFFF count as their surrogate
/// pair). Storing under a key that is already there replaces the value and keeps the entry's
/// place; only a new key goes to the front of its bucket.
///
/// Look-up goes through a separate open-addressing index, so it costs the same however many
/// entries share one of the 17 buckets. Entries and their keys live in blocks owned by the map
/// (a few allocations per thousand entries, not several per entry).
///
/// A map of texts, CStringHashMap<std::wstring_view>, owns its texts: SetAt copies the text
/// into the same blocks as the keys (with a terminating NUL, so data() is a C string), and a
/// stored view stays valid until its entry is replaced, removed or the map is changed by a
/// removal (which may move the texts together).
///
/// Keys compare exactly (case, blanks and all). A POSITION designates the next entry of a
/// walk and is null when the walk is over; it stays valid while the map is not changed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/types.h"

namespace fieldkit::detail {

constexpr unsigned kStringMapBuckets = 17;

// The bucket of a key, as the handheld's map class places it.
inline unsigned StringMapBucket(std::wstring_view key) {
    std::uint32_t h = 0;
    for (const wchar_t c : key) {
        const auto cp = static_cast<std::uint32_t>(c);
        if (cp > 0xFFFF && cp <= 0x10FFFF) {
            h = h * 33 + (0xD800 + ((cp - 0x10000) >> 10));
            h = h * 33 + (0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            h = h * 33 + cp;
        }
    }
    return h % kStringMapBuckets;
}

inline std::uint64_t RotateLeft(std::uint64_t x, int n) {
    return (x << n) | (x >> (64 - n));
}

// The hash of the look-up index, which nothing outside the map sees. It reads the key's bytes
// eight at a time in two independent lanes, so a look-up does not wait on one multiplication
// per character as the bucket hash's chain would; the last mix spreads every byte over all bits.
inline std::uint64_t StringMapIndexHash(std::wstring_view key) {
    constexpr std::uint64_t k1 = 0x9E3779B97F4A7C15ULL;
    constexpr std::uint64_t k2 = 0xC2B2AE3D27D4EB4FULL;
    const auto* p = reinterpret_cast<const unsigned char*>(key.data());
    std::size_t n = key.size() * sizeof(wchar_t);
    std::uint64_t a = n * k1;
    std::uint64_t b = n ^ k2;
    for (; n >= 16; p += 16, n -= 16) {
        std::uint64_t x, y;
        std::memcpy(&x, p, 8);
        std::memcpy(&y, p + 8, 8);
        a = RotateLeft((a ^ x) * k1, 29);
        b = RotateLeft((b ^ y) * k2, 31);
    }
    if (n >= 8) {
        std::uint64_t x;
        std::memcpy(&x, p, 8);
        a = RotateLeft((a ^ x) * k1, 29);
        p += 8;
        n -= 8;
    }
    if (n > 0) {
        std::uint64_t y = 0;
        std::memcpy(&y, p, n);
        b = RotateLeft((b ^ y) * k2, 31);
    }
    std::uint64_t h = a ^ RotateLeft(b, 32);
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

}  // namespace fieldkit::detail

/// A hash map from texts to V that walks its entries in the handheld's order.
template <class V>
class CStringHashMap {
    /// Texts kept in the map's own blocks rather than one allocation each.
    static constexpr bool kOwnsTexts = std::is_same_v<V, std::wstring_view>;

  public:
    CStringHashMap() = default;
    CStringHashMap(const CStringHashMap&) = delete;
    CStringHashMap& operator=(const CStringHashMap&) = delete;
    /// Moving takes the entries over and leaves the source empty; swapping exchanges them.
    ///@{
    CStringHashMap(CStringHashMap&& other) noexcept { Swap(other); }
    CStringHashMap& operator=(CStringHashMap&& other) noexcept {
        if (this != &other) {
            RemoveAll();
            Swap(other);
        }
        return *this;
    }
    void Swap(CStringHashMap& other) noexcept {
        for (unsigned b = 0; b < fieldkit::detail::kStringMapBuckets; ++b) {
            std::swap(m_heads[b], other.m_heads[b]);
        }
        m_nodes.swap(other.m_nodes);
        std::swap(m_nodeRoom, other.m_nodeRoom);
        std::swap(m_free, other.m_free);
        m_keys.swap(other.m_keys);
        m_keyBlockSize.swap(other.m_keyBlockSize);
        std::swap(m_keyRoom, other.m_keyRoom);
        std::swap(m_liveChars, other.m_liveChars);
        std::swap(m_deadChars, other.m_deadChars);
        m_slots.swap(other.m_slots);
        std::swap(m_count, other.m_count);
    }
    ///@}

    /// The number of entries, and whether there are none.
    ///@{
    INT_PTR GetCount() const { return static_cast<INT_PTR>(m_count); }
    bool IsEmpty() const { return m_count == 0; }
    ///@}

    /// The value stored under the key, or null.
    ///@{
    V* Find(std::wstring_view key) {
        Node* n = FindNode(key, fieldkit::detail::StringMapIndexHash(key));
        return n ? &n->value : nullptr;
    }
    const V* Find(std::wstring_view key) const {
        return const_cast<CStringHashMap*>(this)->Find(key);
    }
    bool Lookup(const wchar_t* key, V& value) const {
        const V* v = Find(key ? key : L"");
        if (v == nullptr) return false;
        value = *v;
        return true;
    }
    ///@}

    /// Stores the value; a new key goes to the front of its bucket, an existing one keeps its
    /// place. Returns the stored value.
    V& SetAt(std::wstring_view key, V value) {
        const std::uint64_t hash = fieldkit::detail::StringMapIndexHash(key);
        if (Node* existing = FindNode(key, hash)) {
            if constexpr (kOwnsTexts) {
                value = StoreValue(value);
                ReleaseValue(existing->value);
            }
            existing->value = std::move(value);
            if constexpr (kOwnsTexts) CompactWhenMostlyDead();
            return existing->value;
        }
        // A new entry's text follows its key, so that a look-up reads on from the one into the
        // other.
        const wchar_t* storedKey = StoreKey(key);
        if constexpr (kOwnsTexts) value = StoreValue(value);
        Node* n = NewNode();
        n->key = storedKey;
        n->length = key.size();
        m_liveChars += key.size();
        n->hash = hash;
        n->value = std::move(value);
        Node*& head = m_heads[fieldkit::detail::StringMapBucket(key)];
        n->prev = nullptr;
        n->next = head;
        if (head) head->prev = n;
        head = n;
        ++m_count;
        Index(n);
        return n->value;
    }

    /// Removes the key's entry; false when there is none.
    bool RemoveKey(std::wstring_view key) {
        const std::uint64_t hash = fieldkit::detail::StringMapIndexHash(key);
        Node* n = nullptr;
        if (m_slots.empty()) {
            n = FindNode(key, hash);
        } else {
            const std::size_t mask = m_slots.size() - 1;
            std::size_t i = hash & mask;
            for (; m_slots[i] != nullptr; i = (i + 1) & mask) {
                if (Matches(m_slots[i], key, hash)) break;
            }
            n = m_slots[i];
            if (n != nullptr) Unindex(i);
        }
        if (n == nullptr) return false;
        if (n->prev)
            n->prev->next = n->next;
        else
            m_heads[BucketOf(n)] = n->next;
        if (n->next) n->next->prev = n->prev;
        if constexpr (kOwnsTexts) ReleaseValue(n->value);
        n->value = V{};
        n->next = m_free;
        m_free = n;
        --m_count;
        m_liveChars -= n->length;
        m_deadChars += n->length;
        n->key = nullptr;
        n->length = 0;
        // Keys of removed entries stay in their blocks until the dead text outweighs the live
        // text; then the live keys move to fresh blocks, so churn never grows memory unbounded.
        CompactWhenMostlyDead();
        return true;
    }

    /// Removes every entry and gives back the map's memory.
    void RemoveAll() {
        for (Node*& head : m_heads)
            head = nullptr;
        m_nodes.clear();
        m_nodeRoom = 0;
        m_free = nullptr;
        m_keys.clear();
        m_keyBlockSize.clear();
        m_keyRoom = 0;
        m_liveChars = 0;
        m_deadChars = 0;
        m_slots.clear();
        m_count = 0;
    }

    /// The position of the first entry in walk order; null for an empty map.
    POSITION GetStartPosition() const { return Position(First(0)); }

    /// The entry at pos; pos moves to the next entry, null after the last. Does nothing for a
    /// null pos.
    void GetNextAssoc(POSITION& pos, CString& key, V& value) const {
        const Node* n = AtPosition(pos);
        if (n == nullptr) return;
        key = CString(n->key, static_cast<int>(n->length));
        value = n->value;
        pos = Position(Next(n));
    }
    /// The same without copying: false for a null pos; otherwise the entry's key and value
    /// are viewed in place.
    bool NextEntry(POSITION& pos, std::wstring_view& key, const V** value) const {
        const Node* n = AtPosition(pos);
        if (n == nullptr) return false;
        key = std::wstring_view(n->key, n->length);
        if (value) *value = &n->value;
        pos = Position(Next(n));
        return true;
    }

  private:
    // What a look-up reads (key, hash and value) comes first, so that it usually lies in one
    // cache line. The bucket is not kept but worked out from the key where a walk leaves a
    // bucket's list (17 times at most): 8 bytes less per entry, in maps of millions of entries.
    struct Node {
        const wchar_t* key = nullptr;
        std::size_t length = 0;
        std::uint64_t hash = 0;
        V value{};
        Node* prev = nullptr;
        Node* next = nullptr;  // in the bucket's list, or in the free list
    };

    static unsigned BucketOf(const Node* n) {
        return fieldkit::detail::StringMapBucket(std::wstring_view(n->key, n->length));
    }

    /// Blocks start small, so that the many small tables of a settings file stay small, and
    /// grow with the map up to these sizes.
    ///@{
    static constexpr std::size_t kKeyBlock = 4096;   // wide characters
    static constexpr std::size_t kNodeBlock = 1024;  // entries
    ///@}

    static bool Matches(const Node* n, std::wstring_view key, std::uint64_t hash) {
        return n->hash == hash && n->length == key.size() &&
               (key.empty() || std::wmemcmp(n->key, key.data(), key.size()) == 0);
    }

    Node* FindNode(std::wstring_view key, std::uint64_t hash) const {
        if (m_slots.empty()) {
            // A small map has no index: its bucket's list is short.
            for (Node* n = m_heads[fieldkit::detail::StringMapBucket(key)]; n; n = n->next) {
                if (Matches(n, key, hash)) return n;
            }
            return nullptr;
        }
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask; m_slots[i] != nullptr; i = (i + 1) & mask) {
            if (Matches(m_slots[i], key, hash)) return m_slots[i];
        }
        return nullptr;
    }

    Node* NewNode() {
        if (m_free) {
            Node* n = m_free;
            m_free = n->next;
            return n;
        }
        // Entries never move: each block is allocated once and kept until RemoveAll.
        if (m_nodeRoom == 0) {
            const std::size_t size = std::clamp<std::size_t>(m_count, 1, kNodeBlock);
            m_nodes.push_back({std::make_unique<Node[]>(size), size});
            m_nodeRoom = size;
        }
        return &m_nodes.back().nodes[m_nodes.back().size - m_nodeRoom--];
    }

    /// Copies the key (and a NUL when asked) into the map's blocks; a key longer than a block
    /// gets its own.
    const wchar_t* StoreKey(std::wstring_view key, bool terminate = false) {
        if (key.empty() && !terminate) return L"";
        const std::size_t need = key.size() + (terminate ? 1 : 0);
        if (need > m_keyRoom) {
            const std::size_t size =
                std::max(std::clamp<std::size_t>(2 * m_liveChars, 16, kKeyBlock), need);
            m_keys.push_back(std::make_unique<wchar_t[]>(size));
            m_keyBlockSize.push_back(size);
            m_keyRoom = size;
        }
        wchar_t* at = m_keys.back().get() + (m_keyBlockSize.back() - m_keyRoom);
        key.copy(at, key.size());
        if (terminate) at[key.size()] = L'\0';
        m_keyRoom -= need;
        return at;
    }

    void CompactWhenMostlyDead() {
        if (m_deadChars > kKeyBlock && m_deadChars > m_liveChars) CompactKeys();
    }

    /// A copy of the text in the blocks, followed by a NUL.
    ///@{
    std::wstring_view StoreValue(std::wstring_view text) {
        const wchar_t* at = StoreKey(std::wstring_view(text.data(), text.size()), true);
        m_liveChars += text.size() + 1;
        return std::wstring_view(at, text.size());
    }
    void ReleaseValue(std::wstring_view text) {
        m_liveChars -= text.size() + 1;
        m_deadChars += text.size() + 1;
    }
    ///@}

    void CompactKeys() {
        std::vector<std::unique_ptr<wchar_t[]>> oldKeys;
        oldKeys.swap(m_keys);  // the old text stays readable until every key is copied
        m_keyBlockSize.clear();
        m_keyRoom = 0;
        for (Node* head : m_heads) {
            for (Node* n = head; n != nullptr; n = n->next) {
                n->key = StoreKey(std::wstring_view(n->key, n->length));
                if constexpr (kOwnsTexts)
                    n->value = std::wstring_view(StoreKey(n->value, true), n->value.size());
            }
        }
        m_deadChars = 0;
    }

    /// Linear probing at most half full, once a map has more entries than a bucket list should
    /// be searched for (the many small tables of a settings file have no index at all).
    ///@{
    static constexpr std::size_t kIndexFrom = 8;
    void Index(Node* n) {
        if (m_slots.empty()) {
            if (m_count <= kIndexFrom) return;
            m_slots.assign(4 * kIndexFrom, nullptr);
            for (Node* head : m_heads) {
                for (Node* o = head; o != nullptr; o = o->next)
                    Place(o);  // `n` is in its list already
            }
            return;
        }
        if ((m_count + 1) * 2 > m_slots.size()) {
            std::vector<Node*> old;
            old.swap(m_slots);
            m_slots.assign(old.empty() ? 16 : old.size() * 2, nullptr);
            for (Node* o : old) {
                if (o && o != n) Place(o);
            }
        }
        Place(n);
    }
    void Place(Node* n) {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = n->hash & mask;
        while (m_slots[i] != nullptr)
            i = (i + 1) & mask;
        m_slots[i] = n;
    }
    ///@}
    /// Removes slot i and closes the gap, so probing never stops short of an entry.
    void Unindex(std::size_t i) {
        const std::size_t mask = m_slots.size() - 1;
        m_slots[i] = nullptr;
        for (std::size_t j = (i + 1) & mask; m_slots[j] != nullptr; j = (j + 1) & mask) {
            const std::size_t home = m_slots[j]->hash & mask;
            // Entry j may move into the gap when its home does not lie in (i, j].
            const bool between = i <= j ? (home > i && home <= j) : (home > i || home <= j);
            if (!between) {
                m_slots[i] = m_slots[j];
                m_slots[j] = nullptr;
                i = j;
            }
        }
    }

    const Node* First(unsigned bucket) const {
        for (; bucket < fieldkit::detail::kStringMapBuckets; ++bucket) {
            if (m_heads[bucket]) return m_heads[bucket];
        }
        return nullptr;
    }
    const Node* Next(const Node* n) const { return n->next ? n->next : First(BucketOf(n) + 1); }
    static POSITION Position(const Node* n) {
        return reinterpret_cast<POSITION>(const_cast<Node*>(n));
    }
    static const Node* AtPosition(POSITION pos) { return reinterpret_cast<const Node*>(pos); }

    Node* m_heads[fieldkit::detail::kStringMapBuckets] = {};
    struct NodeBlock {
        std::unique_ptr<Node[]> nodes;
        std::size_t size;
    };
    std::vector<NodeBlock> m_nodes;
    std::size_t m_nodeRoom = 0;  // unused entries in the last block
    Node* m_free = nullptr;
    std::vector<std::unique_ptr<wchar_t[]>> m_keys;
    std::vector<std::size_t> m_keyBlockSize;
    std::size_t m_keyRoom = 0;  // characters left in the last key block
    std::size_t m_liveChars = 0;
    std::size_t m_deadChars = 0;  // characters of removed keys still held in the blocks
    std::vector<Node*> m_slots;
    std::size_t m_count = 0;
};
