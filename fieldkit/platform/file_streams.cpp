// Files as C streams and as one read: _wfopen with the handheld's text mode, unbuffered writes,
// whole-file reads. Apart from the handle calls, as these hand out FILE streams, not handles.
#include "fieldkit/platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fieldkit/platform/detail/device_root.h"
#include "fieldkit/platform/detail/file_calls.h"
#include "fieldkit/platform/detail/nothrow.h"
#include "fieldkit/text/codepage.h"

namespace fieldkit::detail {
namespace {

// Text mode reading: CR LF reads as LF, as files copied from the device expect.
struct TextReader {
    FILE* file;
    std::vector<char> raw = std::vector<char>(1 << 16);
    std::size_t pos = 0;
    std::size_t len = 0;
    bool pendingCr = false;  // a CR ended the last block; the next byte decides
    bool ended = false;
};

ssize_t TextRead(void* cookie, char* buffer, size_t size) {
    auto* t = static_cast<TextReader*>(cookie);
    size_t out = 0;
    while (out < size) {
        if (t->pos == t->len) {
            if (t->ended) break;
            t->len = std::fread(t->raw.data(), 1, t->raw.size(), t->file);
            t->pos = 0;
            if (t->len == 0) {
                t->ended = true;
                if (t->pendingCr) {
                    buffer[out++] = '\r';
                    t->pendingCr = false;
                }
                break;
            }
        }
        if (t->pendingCr) {
            t->pendingCr = false;
            if (t->raw[t->pos] != '\n') {
                buffer[out++] = '\r';
                continue;
            }
        }
        // Copy the run up to the next CR in one go.
        const char* from = t->raw.data() + t->pos;
        const std::size_t room = std::min(size - out, t->len - t->pos);
        const void* cr = std::memchr(from, '\r', room);
        const std::size_t run =
            cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - from) : room;
        std::memcpy(buffer + out, from, run);
        out += run;
        t->pos += run;
        if (cr == nullptr) continue;
        ++t->pos;  // the CR itself
        if (t->pos == t->len)
            t->pendingCr = true;
        else if (t->raw[t->pos] != '\n')
            buffer[out++] = '\r';
    }
    if (out == 0 && std::ferror(t->file)) return -1;
    return static_cast<ssize_t>(out);
}

int TextClose(void* cookie) {
    std::unique_ptr<TextReader> t(static_cast<TextReader*>(cookie));
    return std::fclose(t->file);
}

// fopen of a device path. The mode is the C one, with the handheld's text mode.
FILE* OpenStream(std::wstring_view path, std::string mode) {
    // ",ccs=..." names the encoding the handheld decodes on the fly; callers here decode.
    const std::size_t comma = mode.find(',');
    if (comma != std::string::npos) mode.erase(comma);
    const bool binary = mode.find('b') != std::string::npos;
    mode.erase(std::remove(mode.begin(), mode.end(), 't'), mode.end());
    if (mode.empty() || std::strchr("rwa", mode[0]) == nullptr)
        return FailWith<FILE*>(nullptr, ERROR_INVALID_PARAMETER);
    const bool update = mode.find('+') != std::string::npos;
    int flags = update ? O_RDWR : mode[0] == 'r' ? O_RDONLY : O_WRONLY;
    if (mode[0] == 'w') flags |= O_CREAT | O_TRUNC;
    if (mode[0] == 'a') flags |= O_CREAT | O_APPEND;
    if (mode.find('x') != std::string::npos) flags |= O_EXCL;
    // fdopen takes the mode without what only open understands.
    mode.erase(
        std::remove_if(mode.begin(), mode.end(), [](char c) { return c == 'x' || c == 'e'; }),
        mode.end());
    // The text reader is made before the file is opened: nothing can throw after that.
    const bool readOnly = mode[0] == 'r' && !update;
    std::unique_ptr<TextReader> reader;
    if (!binary && readOnly) reader = std::make_unique<TextReader>();
    const int fd = OpenDevicePath(path, flags, 0666);
    if (fd < 0) return Fail<FILE*>(nullptr);
    FILE* f = fdopen(fd, mode.c_str());
    if (f == nullptr) {
        const int error = errno;
        ::close(fd);
        return Fail<FILE*>(nullptr, error);
    }
    if (reader == nullptr) return f;
    reader->file = f;
    cookie_io_functions_t io{};
    io.read = TextRead;
    io.close = TextClose;
    FILE* text = fopencookie(reader.get(), "r", io);
    if (text == nullptr) {
        std::fclose(f);
        return Fail<FILE*>(nullptr);
    }
    reader.release();  // owned by the stream now, freed by TextClose
    return text;
}

struct StreamCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

// The first block a text-mode whole-file read takes; it doubles from there.
constexpr std::size_t kFirstTextBlock = std::size_t{1} << 16;

}  // namespace

FILE* DeviceFopen(const char* utf8Path, const char* mode) {
    if (utf8Path == nullptr || mode == nullptr || *utf8Path == '\0') {
        return FailWith<FILE*>(nullptr, ERROR_INVALID_PARAMETER);
    }
    // Bytes that are not UTF-8 reach the host name of the same bytes.
    return OpenStream(NameToDevice(utf8Path), mode);
}

std::size_t WriteUnbuffered(FILE* file, const char* data, std::size_t size) {
    if (file == nullptr || (data == nullptr && size != 0)) return 0;
    const int fd = fileno(file);
    if (fd < 0) return 0;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool IdentityOf(FILE* file, FileIdentity& identity) {
    struct stat st;
    if (file == nullptr || fstat(fileno(file), &st) != 0) return false;
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    return true;
}

WholeFile ReadWholeFile(const wchar_t* path, std::size_t limit, ReadMode mode, std::string& bytes) {
    bytes.clear();
    if (path == nullptr || *path == L'\0') {
        return FailWith(WholeFile::NotOpened, ERROR_INVALID_PARAMETER);
    }
    UniqueFd fd;
    std::unique_ptr<FILE, StreamCloser> text;
    const WholeFile result = NoThrow(WholeFile::NoMemory, ERROR_NOT_ENOUGH_MEMORY, [&] {
        std::size_t expected = kFirstTextBlock;
        if (mode == ReadMode::Text) {
            // Through the stream _wfopen gives, so both turn line ends into the same text. A CR
            // LF pair shrinks as it is read, so only the bytes read can tell the size.
            text.reset(OpenStream(path, "r"));
            if (text == nullptr) return WholeFile::NotOpened;
        } else {
            fd = UniqueFd(OpenDevicePath(path, O_RDONLY));
            struct stat st;
            if (!fd.Valid() || fstat(fd.Get(), &st) != 0) return Fail(WholeFile::NotOpened);
            if (static_cast<std::uint64_t>(st.st_size) > limit) {
                return FailWith(WholeFile::TooLarge, ERROR_FILE_INVALID);
            }
            expected = static_cast<std::size_t>(st.st_size);
        }
        // One byte more than allowed tells a file that grew meanwhile.
        bytes.resize(std::min(expected, limit) + 1);
        std::size_t got = 0;
        for (;;) {
            if (got == bytes.size()) {
                if (got > limit) {
                    bytes.resize(limit);
                    return FailWith(WholeFile::TooLarge, ERROR_FILE_INVALID);
                }
                bytes.resize(std::min(limit + 1, bytes.size() * 2));
            }
            const std::size_t room = bytes.size() - got;
            ssize_t n = 0;
            if (text != nullptr) {
                n = static_cast<ssize_t>(std::fread(&bytes[got], 1, room, text.get()));
                if (n == 0 && std::ferror(text.get())) n = -1;
            } else {
                n = ::read(fd.Get(), &bytes[got], room);
                if (n < 0 && errno == EINTR) continue;
            }
            if (n < 0) {
                const int error = errno;
                bytes.resize(got);
                return Fail(WholeFile::Cut, error);
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
        return WholeFile::Read;
    });
    if (result == WholeFile::NoMemory) bytes.clear();
    return result;
}

}  // namespace fieldkit::detail

using fieldkit::detail::FailWith;
using fieldkit::detail::NoThrow;
using fieldkit::detail::OpenStream;

FILE* _wfopen(const wchar_t* path, const wchar_t* mode) {
    if (path == nullptr || mode == nullptr || *path == L'\0') {
        return FailWith<FILE*>(nullptr, ERROR_INVALID_PARAMETER);
    }
    return NoThrow<FILE*>(nullptr, ERROR_NOT_ENOUGH_MEMORY,
                          [&] { return OpenStream(path, fieldkit::WideToUtf8(mode)); });
}
