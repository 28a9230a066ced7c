// Linux: the system's client library, the locale's narrow encoding, paths
// with "/".
#include <dlfcn.h>
#include <fcntl.h>
#include <langinfo.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <optional>

#include "Errors.h"
#include "Platform.h"
#include "UniqueFile.h"

namespace quenlet::platform {

const wchar_t kClientLibraryName[] = L"libfbclient.so.2";
const wchar_t kPathDelimiters[] = L"/";

namespace {

// Bytes the locale cannot decode travel as the code points U+DC80 to U+DCFF
// (no character of any locale), so that a name from argv reaches the server
// byte for byte instead of with "?" in their place.
constexpr wchar_t kRawByteBase = 0xDC00;

bool IsRawByte(wchar_t c) {
    return c >= kRawByteBase + 0x80 && c <= kRawByteBase + 0xFF;
}

std::string Encode(std::wstring_view text, bool& exact) {
    std::string out;
    out.reserve(text.size());
    std::mbstate_t state{};
    char bytes[MB_LEN_MAX];
    exact = true;
    for (wchar_t c : text) {
        if (IsRawByte(c)) {
            out += static_cast<char>(c - kRawByteBase);
            continue;
        }
        size_t n = std::wcrtomb(bytes, c, &state);
        if (n == static_cast<size_t>(-1)) {
            state = std::mbstate_t{};
            out += '?';
            exact = false;
        } else {
            out.append(bytes, n);
        }
    }
    return out;
}

struct FileDescriptorTraits {
    using Handle = int;
    static Handle Invalid() { return -1; }
    static bool Close(Handle fd) { return close(fd) == 0; }
};
using FileDescriptor = UniqueFile<FileDescriptorTraits>;

// Writes every byte, then closes the file: nothing when both worked, errno
// of the first failure otherwise.
std::optional<int> WriteAndClose(FileDescriptor& file, const std::string& bytes) {
    std::optional<int> error;
    size_t done = 0;
    while (!error && done < bytes.size()) {
        ssize_t n = write(file.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            error = errno;
        else
            done += size_t(n);
    }
    if (!file.Close() && !error) error = errno;
    return error;
}

}  // namespace

std::string ToNarrow(std::wstring_view text) {
    bool exact;
    return Encode(text, exact);
}

std::string ToServerFileName(std::wstring_view text, const wchar_t* what) {
    bool exact;
    std::string out = Encode(text, exact);
    if (!exact)
        throw ToolError(kParameterError,
                        std::wstring(what) +
                            L" contains characters that the locale's encoding cannot represent");
    return out;
}

std::wstring FromNarrow(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    std::mbstate_t state{};
    size_t i = 0;
    while (i < bytes.size()) {
        wchar_t c;
        size_t n = std::mbrtowc(&c, bytes.data() + i, bytes.size() - i, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            state = std::mbstate_t{};
            out += static_cast<wchar_t>(kRawByteBase + static_cast<unsigned char>(bytes[i]));
            ++i;
        } else {
            out += c;  // n == 0 for a NUL byte, which is one byte long
            i += n == 0 ? 1 : n;
        }
    }
    return out;
}

wchar_t DecimalSeparator() {
    std::wstring separator = FromNarrow(nl_langinfo(RADIXCHAR));
    return separator.empty() ? L'.' : separator[0];
}

void* OpenLibrary(const std::wstring& fileName) {
    void* library = dlopen(ToNarrow(fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* text = dlerror();
        throw ToolError(kLibraryError, text ? FromNarrow(text) : std::wstring());
    }
    return library;
}

void* FindEntryPoint(void* library, const char* name) {
    dlerror();
    void* entry = dlsym(library, name);
    if (!entry) {
        const char* text = dlerror();
        throw ToolError(kLibraryError, FromNarrow(text ? text : name));
    }
    return entry;
}

std::wstring OwnExecutablePath() {
    std::string path(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    path.resize(n > 0 ? size_t(n) : 0);
    return FromNarrow(path);
}

void DeleteFileQuietly(const std::wstring& path) {
    unlink(ToNarrow(path).c_str());
}

void WriteNewFile(const std::wstring& path, const std::string& bytes) {
    std::string name = ToNarrow(path);
    FileDescriptor file(open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    std::optional<int> error;
    if (!file.Valid())
        error = errno;
    else if ((error = WriteAndClose(file, bytes)))
        unlink(name.c_str());
    if (error)
        throw ToolError(kFileError, FromNarrow(name) + L": " + FromNarrow(std::strerror(*error)));
}

void ShowApplicationError(const std::wstring& text) {
    std::string message = "Application Error\n" + ToNarrow(text) + "\n";
    fputs(message.c_str(), stderr);
    fflush(stderr);
}

}  // namespace quenlet::platform
