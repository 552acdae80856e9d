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
/// into the same blocks as the keys (with a terminating NUL, so data() is a C string). It hands
/// out views (Lookup, NextEntry), never pointers to what it stores, and a view stays valid
/// until the map is next changed. A text map of a few short entries (most sections of a
/// settings file) is one allocation holding its entries in walk order; it becomes a full table
/// when it grows.
///
/// Keys compare exactly (case, blanks and all). A POSITION designates the next entry of a
/// walk and is null when the walk is over; it stays valid while the map is not changed.
///
/// @ingroup text
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "fieldkit/text/cstring.h"
#include "fieldkit/text/types.h"

/// @addtogroup text
/// @{

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
        m_table.swap(other.m_table);
        m_small.swap(other.m_small);
        std::swap(m_smallCount, other.m_smallCount);
        std::swap(m_smallUsed, other.m_smallUsed);
        std::swap(m_smallRoom, other.m_smallRoom);
    }
    ///@}

    /// The number of entries, and whether there are none.
    ///@{
    INT_PTR GetCount() const {
        return static_cast<INT_PTR>(m_table ? m_table->Count() : m_smallCount);
    }
    bool IsEmpty() const { return GetCount() == 0; }
    ///@}

    /// The value stored under the key, or null. (A text map has no stored value to point at:
    /// use Lookup.)
    ///@{
    V* Find(std::wstring_view key) {
        static_assert(!kOwnsTexts, "a map of texts hands out views: use Lookup");
        return m_table ? m_table->Find(key) : nullptr;
    }
    const V* Find(std::wstring_view key) const {
        return const_cast<CStringHashMap*>(this)->Find(key);
    }
    ///@}
    /// Copies the value stored under the key into value; false when there is none.
    ///@{
    bool Lookup(const wchar_t* key, V& value) const {
        return Lookup(std::wstring_view(key ? key : L""), value);
    }
    bool Lookup(std::wstring_view key, V& value) const {
        if constexpr (kOwnsTexts) {
            if (IsSmall()) {
                const wchar_t* record = FindSmall(key);
                if (record == nullptr) return false;
                value = SmallValue(record);
                return true;
            }
        }
        const V* v = m_table ? m_table->Find(key) : nullptr;
        if (v == nullptr) return false;
        value = *v;
        return true;
    }
    ///@}

    /// Stores the value; a new key goes to the front of its bucket, an existing one keeps its
    /// place. Returns the stored value (nothing for a text map, which copies the text in).
    std::conditional_t<kOwnsTexts, void, V&> SetAt(std::wstring_view key, V value) {
        if constexpr (kOwnsTexts) {
            if (m_table) {
                m_table->SetAt(key, value);
                return;
            }
            // A key or text read from this map's block would move (or go) under the copy.
            std::wstring keyCopy, textCopy;
            if (InSmall(key)) key = keyCopy.assign(key);
            if (InSmall(value)) value = textCopy.assign(value);
            if (m_table == nullptr && SetSmall(key, value)) return;
            Table().SetAt(key, value);
        } else {
            return Table().SetAt(key, std::move(value));
        }
    }

    /// Removes the key's entry; false when there is none.
    bool RemoveKey(std::wstring_view key) {
        if constexpr (kOwnsTexts) {
            if (IsSmall()) return RemoveSmall(key);
        }
        return m_table != nullptr && m_table->RemoveKey(key);
    }

    /// Moves the entries into a map that holds no more room than they need, and leaves this
    /// one empty. A map of texts keeps its memory for the next table built in it, so that one
    /// map can build table after table (as loading a settings file does, section by section)
    /// without allocating for each: a table that fits a block is handed on as a block of just
    /// its size, a larger one whole.
    CStringHashMap TakeAll() {
        CStringHashMap taken;
        if constexpr (!kOwnsTexts) {
            taken.m_table = std::move(m_table);
        } else {
            const std::size_t used = m_table ? BlockChars(*m_table) : 0;
            if (m_table && used > kSmallChars) {
                taken.m_table = std::move(m_table);
                return taken;
            }
            if (GetCount() == 0) return taken;
            if (m_table) {
                // Written in walk order, which is the block's order.
                taken.m_smallRoom = static_cast<std::uint16_t>(SmallRoom(used));
                taken.m_small = std::make_unique<wchar_t[]>(taken.m_smallRoom);
                wchar_t* r = taken.m_small.get();
                for (const auto* n = m_table->First(0); n; n = m_table->Next(n)) {
                    const std::wstring_view key(n->key, n->length);
                    WriteRecord(r, key, fieldkit::detail::StringMapBucket(key), n->value);
                    r += RecordSize(r);
                }
                taken.m_smallUsed = static_cast<std::uint16_t>(used);
                taken.m_smallCount = static_cast<std::uint16_t>(m_table->Count());
                m_table->Clear();
                return taken;
            }
            taken.m_smallRoom = static_cast<std::uint16_t>(SmallRoom(m_smallUsed));
            taken.m_small = std::make_unique<wchar_t[]>(taken.m_smallRoom);
            std::copy_n(m_small.get(), m_smallUsed, taken.m_small.get());
            taken.m_smallUsed = m_smallUsed;
            taken.m_smallCount = m_smallCount;
            m_smallUsed = m_smallCount = 0;
        }
        return taken;
    }

    /// Makes a map of texts a full table at once, as a map that builds tables for TakeAll
    /// should be: entries go in faster than into a block.
    void UseFullTable() { Table(); }

    /// Removes every entry and gives back the map's memory.
    void RemoveAll() {
        m_table.reset();
        m_small.reset();
        m_smallCount = m_smallUsed = m_smallRoom = 0;
    }

    /// The position of the first entry in walk order; null for an empty map.
    POSITION GetStartPosition() const {
        if (IsSmall()) return m_smallUsed > 0 ? Position(m_small.get()) : nullptr;
        return m_table ? Position(m_table->First(0)) : nullptr;
    }

    /// The entry at pos; pos moves to the next entry, null after the last. Does nothing for a
    /// null pos.
    void GetNextAssoc(POSITION& pos, CString& key, V& value) const {
        std::wstring_view name;
        if constexpr (kOwnsTexts) {
            if (!NextEntry(pos, name, value)) return;
        } else {
            const V* stored = nullptr;
            if (!NextEntry(pos, name, &stored)) return;
            value = *stored;
        }
        key = CString(name.data(), static_cast<int>(name.size()));
    }
    /// The same without copying: false for a null pos; otherwise the entry's key and value
    /// are viewed in place.
    bool NextEntry(POSITION& pos, std::wstring_view& key, const V** value) const {
        static_assert(!kOwnsTexts, "a map of texts hands out views of its texts");
        const auto* n = At<typename HashTable::Node>(pos);
        if (n == nullptr) return false;
        key = std::wstring_view(n->key, n->length);
        if (value) *value = &n->value;
        pos = Position(m_table->Next(n));
        return true;
    }
    /// For a map of texts: the entry's key and text.
    bool NextEntry(POSITION& pos, std::wstring_view& key, std::wstring_view& text) const {
        static_assert(kOwnsTexts, "only a map of texts gives texts");
        if (pos == nullptr) return false;
        if (IsSmall()) {
            const auto* record = At<wchar_t>(pos);
            key = SmallKey(record);
            text = SmallValue(record);
            const wchar_t* next = record + RecordSize(record);
            pos = next == m_small.get() + m_smallUsed ? nullptr : Position(next);
            return true;
        }
        const auto* n = At<typename HashTable::Node>(pos);
        key = std::wstring_view(n->key, n->length);
        text = n->value;
        pos = Position(m_table->Next(n));
        return true;
    }

  private:
    bool IsSmall() const { return m_table == nullptr && m_small != nullptr; }

    static POSITION Position(const void* at) {
        return reinterpret_cast<POSITION>(const_cast<void*>(at));
    }
    template <class T>
    static const T* At(POSITION pos) {
        return reinterpret_cast<const T*>(pos);
    }

    // ---- a text map of a few short entries --------------------------------------------------
    // One block of wide characters holds each entry in walk order as
    //   [key length * 32 + bucket] [text length] key text NUL
    // Look-up and insertion read the block from the start, which for this many characters is
    // about as quick as hashing into buckets, and a table of one key costs one small allocation
    // where the full table starts at hundreds of bytes.
    static constexpr std::size_t kSmallEntries = 64;
    static constexpr std::size_t kSmallChars = 1000;  // so the head fits a 16-bit wchar_t too
    static constexpr std::size_t kRecordHead = 2;

    static std::size_t KeyLength(const wchar_t* r) { return static_cast<std::size_t>(r[0]) >> 5; }
    static unsigned Bucket(const wchar_t* r) { return static_cast<unsigned>(r[0]) & 31u; }
    static std::size_t TextLength(const wchar_t* r) { return static_cast<std::size_t>(r[1]); }
    static std::size_t RecordSize(const wchar_t* r) {
        return kRecordHead + KeyLength(r) + TextLength(r) + 1;
    }
    static std::wstring_view SmallKey(const wchar_t* r) {
        return std::wstring_view(r + kRecordHead, KeyLength(r));
    }
    static std::wstring_view SmallValue(const wchar_t* r) {
        return std::wstring_view(r + kRecordHead + KeyLength(r), TextLength(r));
    }

    static wchar_t Head(std::wstring_view key, unsigned bucket) {
        return static_cast<wchar_t>(key.size() << 5 | bucket);
    }
    static void WriteRecord(wchar_t* r, std::wstring_view key, unsigned bucket,
                            std::wstring_view text) {
        r[0] = Head(key, bucket);
        r[1] = static_cast<wchar_t>(text.size());
        std::copy_n(key.data(), key.size(), r + kRecordHead);
        std::copy_n(text.data(), text.size(), r + kRecordHead + key.size());
        r[kRecordHead + key.size() + text.size()] = L'\0';
    }
    /// The characters a full table's entries take in a block; more than kSmallChars when
    /// they do not fit one.
    template <class Table>
    static std::size_t BlockChars(const Table& table) {
        if (table.Count() > kSmallEntries) return kSmallChars + 1;
        std::size_t used = 0;
        for (const auto* n = table.First(0); n; n = table.Next(n))
            used += kRecordHead + n->length + n->value.size() + 1;
        return used;
    }

    /// The key's entry, or null; `at` is where the entry is or a new one would go: before the
    /// first entry of its bucket or of a later one. The block is in bucket order, so the search
    /// ends with the key's bucket, and the head (length and bucket) rules out most entries
    /// before their characters are compared.
    const wchar_t* FindSmall(std::wstring_view key, const wchar_t** at = nullptr) const {
        const unsigned bucket = fieldkit::detail::StringMapBucket(key);
        const wchar_t head = Head(key, bucket);
        const wchar_t* end = m_small.get() + m_smallUsed;
        const wchar_t* r = m_small.get();
        for (; r != end && Bucket(r) < bucket; r += RecordSize(r)) {
        }
        if (at) *at = r;
        for (; r != end && Bucket(r) == bucket; r += RecordSize(r)) {
            if (r[0] == head && SmallKey(r) == key) return at ? *at = r : r;
        }
        return nullptr;
    }

    /// The allocator hands out 16-byte steps less an 8-byte header, so room up to the next step
    /// costs nothing.
    static std::size_t SmallRoom(std::size_t chars) {
        const std::size_t bytes = (chars * sizeof(wchar_t) + 8 + 15) / 16 * 16 - 8;
        return std::max<std::size_t>(bytes, 24) / sizeof(wchar_t);
    }

    bool InSmall(std::wstring_view text) const {
        const std::less<const wchar_t*> before;
        return !text.empty() && m_small && !before(text.data(), m_small.get()) &&
               before(text.data(), m_small.get() + m_smallRoom);
    }

    /// Stores the entry in the block; false (nothing changed) when it would outgrow it.
    bool SetSmall(std::wstring_view key, std::wstring_view text) {
        const wchar_t* where = nullptr;
        const wchar_t* found = m_small ? FindSmall(key, &where) : nullptr;
        const std::size_t oldSize = found ? RecordSize(found) : 0;
        const std::size_t newSize = kRecordHead + key.size() + text.size() + 1;
        const std::size_t used = m_smallUsed - oldSize + newSize;
        if ((found == nullptr && m_smallCount == kSmallEntries) || used > kSmallChars) return false;
        // A new key goes before the first entry of its bucket or of a later one.
        const std::size_t at = m_small ? static_cast<std::size_t>(where - m_small.get()) : 0;
        const std::size_t tail = at + oldSize;  // the entries after the one replaced
        if (used > m_smallRoom) {
            // Doubled, so that a table growing key by key is not copied at every key (TakeAll
            // hands on a table of just the size needed).
            const std::size_t room =
                SmallRoom(std::max(used, std::min<std::size_t>(kSmallChars, 2u * m_smallUsed)));
            auto grown = std::make_unique<wchar_t[]>(room);
            std::copy_n(m_small.get(), at, grown.get());
            std::copy_n(m_small.get() + tail, m_smallUsed - tail, grown.get() + at + newSize);
            m_small = std::move(grown);
            m_smallRoom = static_cast<std::uint16_t>(room);
        } else {
            std::wmemmove(m_small.get() + at + newSize, m_small.get() + tail, m_smallUsed - tail);
        }
        WriteRecord(m_small.get() + at, key, fieldkit::detail::StringMapBucket(key), text);
        m_smallUsed = static_cast<std::uint16_t>(used);
        if (found == nullptr) ++m_smallCount;
        return true;
    }

    bool RemoveSmall(std::wstring_view key) {
        const wchar_t* found = FindSmall(key);
        if (found == nullptr) return false;
        const std::size_t at = static_cast<std::size_t>(found - m_small.get());
        const std::size_t size = RecordSize(found);
        std::wmemmove(m_small.get() + at, m_small.get() + at + size, m_smallUsed - at - size);
        m_smallUsed = static_cast<std::uint16_t>(m_smallUsed - size);
        if (--m_smallCount == 0) RemoveAll();
        return true;
    }

    class HashTable;
    /// The full table, made on first use; a text map's block moves into it in walk order.
    HashTable& Table() {
        if (m_table) return *m_table;
        auto table = std::make_unique<HashTable>();
        if constexpr (kOwnsTexts) {
            // A bucket's newest entry comes first in the block, so the entries go in from the
            // last: each new one goes to the front of its bucket.
            const wchar_t* records[kSmallEntries] = {};
            std::size_t n = 0;
            if (m_smallCount > 0) {
                // Room for the entry that does not fit, and an eighth more: a table of a loaded
                // section keeps what it reserves.
                const std::size_t chars = m_smallUsed - kRecordHead * m_smallCount;
                table->Reserve(m_smallCount + 1 + m_smallCount / 8u, chars + chars / 8u + 16u);
            }
            for (const wchar_t* r = m_small.get(); r != m_small.get() + m_smallUsed;
                 r += RecordSize(r))
                records[n++] = r;
            while (n > 0) {
                --n;
                table->SetAt(SmallKey(records[n]), SmallValue(records[n]));
            }
        }
        m_small.reset();
        m_smallCount = m_smallUsed = m_smallRoom = 0;
        m_table = std::move(table);
        return *m_table;
    }

    // ---- the full table ---------------------------------------------------------------------
    class HashTable {
      public:
        /// An entry. What a look-up reads (key, hash and value) comes first, so that it usually
        /// lies in one cache line. The bucket is not kept but worked out from the key where a
        /// walk leaves a bucket's list (17 times at most): 8 bytes less per entry, in maps of
        /// millions.
        struct Node {
            const wchar_t* key = nullptr;  ///< in the map's character blocks
            std::size_t length = 0;        ///< of the key
            std::uint64_t hash = 0;        ///< the index's hash of the key
            V value{};                     ///< the value (a text in the blocks, for a map of texts)
            Node* prev = nullptr;          ///< in the bucket's list
            Node* next = nullptr;          ///< in the bucket's list, or in the free list
        };

        std::size_t Count() const { return m_count; }

        /// Room for this many entries and characters before the next allocation (an empty
        /// table): a table that takes over a full block grows on from there in one step.
        void Reserve(std::size_t entries, std::size_t chars) {
            m_nodes.push_back({std::make_unique<Node[]>(entries), entries});
            m_nodeRoom = entries;
            m_keys.push_back(std::make_unique<wchar_t[]>(chars));
            m_keyBlockSize.push_back(chars);
            m_keyRoom = chars;
            if (entries > kIndexFrom) {
                std::size_t slots = 4 * kIndexFrom;
                while (slots < 2 * (entries + 1))
                    slots *= 2;
                m_slots.assign(slots, nullptr);
            }
        }

        /// Forgets every entry but keeps the memory, gathered into one block of each kind, for
        /// the next table built in it.
        void Clear() {
            if (m_nodes.size() > 1) {
                std::size_t total = 0;
                for (const NodeBlock& block : m_nodes)
                    total += block.size;
                m_nodes.clear();
                m_nodes.push_back({std::make_unique<Node[]>(total), total});
            }
            m_nodeRoom = m_nodes.empty() ? 0 : m_nodes.back().size;
            if (m_keys.size() > 1) {
                std::size_t total = 0;
                for (const std::size_t size : m_keyBlockSize)
                    total += size;
                m_keys.clear();
                m_keyBlockSize.clear();
                m_keys.push_back(std::make_unique<wchar_t[]>(total));
                m_keyBlockSize.push_back(total);
            }
            m_keyRoom = m_keys.empty() ? 0 : m_keyBlockSize.back();
            for (Node*& head : m_heads)
                head = nullptr;
            std::fill(m_slots.begin(), m_slots.end(), nullptr);
            m_free = nullptr;
            m_liveChars = m_deadChars = 0;
            m_count = 0;
        }

        V* Find(std::wstring_view key) {
            Node* n = FindNode(key, fieldkit::detail::StringMapIndexHash(key));
            return n ? &n->value : nullptr;
        }
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

        const Node* First(unsigned bucket) const {
            for (; bucket < fieldkit::detail::kStringMapBuckets; ++bucket) {
                if (m_heads[bucket]) return m_heads[bucket];
            }
            return nullptr;
        }
        const Node* Next(const Node* n) const { return n->next ? n->next : First(BucketOf(n) + 1); }

      private:
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
            // Entries never move: each block is allocated once and kept until RemoveAll. A block
            // of half the entries so far keeps the room held for growth under a third.
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

    std::unique_ptr<HashTable> m_table;
    std::unique_ptr<wchar_t[]> m_small;  // a text map's block, until it needs the table
    std::uint16_t m_smallCount = 0;
    std::uint16_t m_smallUsed = 0;  // characters
    std::uint16_t m_smallRoom = 0;
};

/// @}
