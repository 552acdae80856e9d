// Reads arbitrary bytes line by line with ReadLine over a CFile and compares the lines with a
// split of its own: lines end at runs of CRs and LFs, a NUL cuts a line, white space alone
// reads as an empty line, and each byte is the character of its value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fieldkit/numbers/text_utils.h"
#include "fieldkit/platform/cfile.h"
#include "fieldkit/text/charclass.h"
#include "fuzz/fuzz_support.h"

namespace {

std::vector<std::wstring> ExpectedLines(const std::string& bytes) {
    std::vector<std::wstring> lines;
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::wstring line;
        bool cut = false;
        while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n') {
            const auto b = static_cast<unsigned char>(bytes[i++]);
            if (b == 0) cut = true;
            if (!cut) line.push_back(static_cast<wchar_t>(b));
        }
        while (i < bytes.size() && (bytes[i] == '\r' || bytes[i] == '\n'))
            ++i;
        bool blank = true;
        for (const wchar_t c : line)
            blank = blank && fieldkit::IsWideSpace(c);
        if (blank) line.clear();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A long first line in front moves the rest across the file's 4 KiB read-ahead.
    const std::size_t pad = fuzz::TakePadding(data, size, 4096);
    const std::string bytes = std::string(pad, 'a') + fuzz::Bytes(data, size);
    fuzz::DeviceRoot::Get().Write("\\fuzz\\lines.txt", bytes);

    CFile file;
    FUZZ_CHECK(file.Open(L"\\fuzz\\lines.txt", CFile::modeRead | CFile::typeBinary));
    const std::vector<std::wstring> expected = ExpectedLines(bytes);
    std::size_t n = 0;
    CString line;
    while (file.GetPosition() < file.GetLength()) {
        const ULONGLONG before = file.GetPosition();
        ReadLine(file, line);
        FUZZ_CHECK(file.GetPosition() > before);
        FUZZ_CHECK(n < expected.size());
        FUZZ_CHECK(line.GetStdString() == expected[n]);
        ++n;
    }
    FUZZ_CHECK(n == expected.size());
    // At the end of the file the line comes back empty.
    line = L"stale";
    ReadLine(file, line);
    FUZZ_CHECK(line.IsEmpty());
    return 0;
}
