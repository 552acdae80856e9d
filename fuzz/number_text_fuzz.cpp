// Feeds arbitrary text to the number, date, height and station readers and to the formatter.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fieldkit/fieldkit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const CString text(fieldkit::Utf8ToWide(bytes));
    double d = 0;
    int i = 0;
    StringToDouble(text.GetString(), d);
    StringToInt(text.GetString(), i);
    StringToDouble(text);
    DateToInt(text);
    StringToHeight(text);
    double chainage = 0;
    StnFromString(text, chainage, 100);
    // The text as a format with a few arguments: must never read past what was passed.
    fieldkit::detail::FormatA(bytes.c_str(), 1, 2.5, "s");
    return 0;
}
