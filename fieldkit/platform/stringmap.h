// CStringHashMap<V>: the class library's string-keyed hash map, with its walk order.
//
// Files saved on the handheld list their sections, keys and catalog entries in the order this
// map walks, so the order is part of the format: 17 buckets visited 0 to 16, and in a bucket
// the newest entry first. The bucket of a key is h % 17 with h = h * 33 + u over its UTF-16
// units (unsigned 32-bit, starting at 0; characters above U+FFFF count as their surrogate
// pair). Storing under a key that is already there replaces the value and keeps the entry's
// place; only a new key goes to the front of its bucket. Look-up goes through an extra index,
// so it costs the same however many entries share a bucket.
//
// Keys compare exactly (case, blanks and all). A POSITION designates the next entry of a
// walk and is null when the walk is over; it stays valid while the map is not changed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "fieldkit/platform/cstring.h"
#include "fieldkit/platform/types.h"

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

}  // namespace fieldkit::detail

template <class V>
class CStringHashMap {
  public:
    CStringHashMap() = default;
    CStringHashMap(const CStringHashMap&) = delete;
    CStringHashMap& operator=(const CStringHashMap&) = delete;
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
        m_index.swap(other.m_index);
    }

    INT_PTR GetCount() const { return static_cast<INT_PTR>(m_index.size()); }
    bool IsEmpty() const { return m_index.empty(); }

    // The value stored under the key, or null.
    V* Find(std::wstring_view key) {
        const auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &it->second->value;
    }
    const V* Find(std::wstring_view key) const {
        const auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &it->second->value;
    }
    bool Lookup(const wchar_t* key, V& value) const {
        const V* v = Find(key ? key : L"");
        if (v == nullptr) return false;
        value = *v;
        return true;
    }

    // Stores the value; a new key goes to the front of its bucket, an existing one keeps its
    // place. Returns the stored value.
    V& SetAt(std::wstring_view key, V value) {
        if (V* existing = Find(key)) {
            *existing = std::move(value);
            return *existing;
        }
        auto node = std::make_unique<Node>();
        node->key.assign(key.data(), key.size());
        node->value = std::move(value);
        node->bucket = fieldkit::detail::StringMapBucket(key);
        Node*& head = m_heads[node->bucket];
        node->next = head;
        if (head) head->prev = node.get();
        head = node.get();
        Node* raw = node.get();
        m_index.emplace(std::wstring_view(raw->key), std::move(node));
        return raw->value;
    }

    bool RemoveKey(std::wstring_view key) {
        const auto it = m_index.find(key);
        if (it == m_index.end()) return false;
        Node* n = it->second.get();
        if (n->prev)
            n->prev->next = n->next;
        else
            m_heads[n->bucket] = n->next;
        if (n->next) n->next->prev = n->prev;
        m_index.erase(it);
        return true;
    }

    void RemoveAll() {
        m_index.clear();
        for (Node*& head : m_heads)
            head = nullptr;
    }

    POSITION GetStartPosition() const { return Position(First(0)); }

    // The entry at pos; pos moves to the next entry, null after the last. Does nothing for a
    // null pos.
    void GetNextAssoc(POSITION& pos, CString& key, V& value) const {
        const Node* n = AtPosition(pos);
        if (n == nullptr) return;
        key = CString(n->key);
        value = n->value;
        pos = Position(Next(n));
    }
    // The same, without copying: the key and value of the entry at pos.
    const std::wstring* NextEntry(POSITION& pos, const V** value) const {
        const Node* n = AtPosition(pos);
        if (n == nullptr) return nullptr;
        if (value) *value = &n->value;
        pos = Position(Next(n));
        return &n->key;
    }

  private:
    struct Node {
        std::wstring key;
        V value{};
        Node* prev = nullptr;
        Node* next = nullptr;
        unsigned bucket = 0;
    };

    const Node* First(unsigned bucket) const {
        for (; bucket < fieldkit::detail::kStringMapBuckets; ++bucket) {
            if (m_heads[bucket]) return m_heads[bucket];
        }
        return nullptr;
    }
    const Node* Next(const Node* n) const { return n->next ? n->next : First(n->bucket + 1); }
    static POSITION Position(const Node* n) {
        return reinterpret_cast<POSITION>(const_cast<Node*>(n));
    }
    static const Node* AtPosition(POSITION pos) { return reinterpret_cast<const Node*>(pos); }

    Node* m_heads[fieldkit::detail::kStringMapBuckets] = {};
    std::unordered_map<std::wstring_view, std::unique_ptr<Node>> m_index;
};
