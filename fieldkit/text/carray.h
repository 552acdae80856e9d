/// @file
/// CArray<T>: the growable array of the handheld's class library, over std::vector.
///
/// Indices are INT_PTR as there. Writing or removing outside the array does nothing and
/// inserting beyond the end appends, so a bad index never corrupts memory; reading outside the
/// array is a programming error that stops the program with a message (there is no element to
/// return a reference to).
///
/// @ingroup text
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "fieldkit/text/types.h"

/// @addtogroup text
/// @{

/// A growable array of T; ArgT is how elements are passed in.
template <class T, class ArgT = const T&>
class CArray {
  public:
    /// The number of elements, and whether there are none.
    ///@{
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    bool IsEmpty() const { return m_items.empty(); }
    ///@}

    /// Grows with default elements or shrinks to the new size (a negative size empties).
    void SetSize(INT_PTR size) { m_items.resize(size > 0 ? static_cast<std::size_t>(size) : 0); }

    /// Appends the item; answers its index.
    INT_PTR Add(ArgT item) {
        m_items.push_back(item);
        return GetSize() - 1;
    }

    /// The element at the index; an index outside the array stops the program.
    ///@{
    const T& GetAt(INT_PTR index) const { return m_items[Checked(index)]; }
    T& GetAt(INT_PTR index) { return m_items[Checked(index)]; }
    const T& operator[](INT_PTR index) const { return GetAt(index); }
    T& operator[](INT_PTR index) { return GetAt(index); }
    ///@}

    /// Replaces the element at the index; nothing happens outside the array.
    void SetAt(INT_PTR index, ArgT item) {
        if (InRange(index)) m_items[static_cast<std::size_t>(index)] = item;
    }
    /// Replaces the element, first growing the array to reach the index; a negative index does
    /// nothing.
    void SetAtGrow(INT_PTR index, ArgT item) {
        if (index < 0) return;
        if (index >= GetSize()) SetSize(index + 1);
        m_items[static_cast<std::size_t>(index)] = item;
    }

    /// Inserts `count` copies of `item` before `index` (at the end when index is past it).
    void InsertAt(INT_PTR index, ArgT item, INT_PTR count = 1) {
        if (count <= 0) return;
        const std::size_t at =
            index <= 0 ? 0 : std::min(static_cast<std::size_t>(index), m_items.size());
        m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at),
                       static_cast<std::size_t>(count), item);
    }

    /// Removes up to `count` elements from `index` on.
    void RemoveAt(INT_PTR index, INT_PTR count = 1) {
        if (!InRange(index) || count <= 0) return;
        const auto first = m_items.begin() + index;
        const INT_PTR n = std::min<INT_PTR>(count, GetSize() - index);
        m_items.erase(first, first + n);
    }
    /// Removes every element.
    void RemoveAll() { m_items.clear(); }

    /// Iteration over the elements in order.
    ///@{
    typename std::vector<T>::iterator begin() { return m_items.begin(); }
    typename std::vector<T>::iterator end() { return m_items.end(); }
    typename std::vector<T>::const_iterator begin() const { return m_items.begin(); }
    typename std::vector<T>::const_iterator end() const { return m_items.end(); }
    ///@}

  private:
    bool InRange(INT_PTR index) const { return index >= 0 && index < GetSize(); }
    std::size_t Checked(INT_PTR index) const {
        if (!InRange(index)) {
            std::fprintf(stderr, "CArray: index %ld outside 0..%ld\n", static_cast<long>(index),
                         static_cast<long>(GetSize()) - 1);
            std::abort();
        }
        return static_cast<std::size_t>(index);
    }

    std::vector<T> m_items;
};

/// @}
