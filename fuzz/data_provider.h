// Splits a fuzz input into typed values the way libFuzzer's FuzzedDataProvider does (strings
// from the front, integers from the back), for the few calls the targets use. Kept here so that
// the targets build, and their seeds mean the same values, without clang's headers: the seeds
// are replayed by every build.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <type_traits>

namespace fuzz {

class DataProvider {
  public:
    DataProvider(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    // Up to `maxLength` bytes; "\\" stands for one backslash, and a backslash followed by any
    // other byte ends the string (both bytes consumed).
    std::string ConsumeRandomLengthString(std::size_t maxLength) {
        std::string result;
        for (std::size_t i = 0; i < maxLength && m_size != 0; ++i) {
            char next = static_cast<char>(Take());
            if (next == '\\' && m_size != 0) {
                next = static_cast<char>(Take());
                if (next != '\\') break;
            }
            result += next;
        }
        return result;
    }

    // A value from min to max made of as many bytes from the end as the range needs, big-endian,
    // reduced modulo the range; min once the input is used up.
    template <class T>
    T ConsumeIntegralInRange(T min, T max) {
        static_assert(std::is_integral<T>::value && sizeof(T) <= sizeof(std::uint64_t));
        if (min > max) std::abort();
        const std::uint64_t range =
            static_cast<std::uint64_t>(max) - static_cast<std::uint64_t>(min);
        std::uint64_t result = 0;
        for (std::size_t bits = 0;
             bits < sizeof(T) * CHAR_BIT && (range >> bits) > 0 && m_size != 0; bits += CHAR_BIT) {
            result = (result << CHAR_BIT) | m_data[--m_size];
        }
        if (range != std::numeric_limits<std::uint64_t>::max()) result %= range + 1;
        return static_cast<T>(static_cast<std::uint64_t>(min) + result);
    }

    template <class T>
    T ConsumeIntegral() {
        return ConsumeIntegralInRange(std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
    }

    bool ConsumeBool() { return (ConsumeIntegral<std::uint8_t>() & 1) != 0; }

  private:
    std::uint8_t Take() {
        --m_size;
        return *m_data++;
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
};

}  // namespace fuzz
