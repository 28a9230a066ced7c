#include "platform/Registry.h"

#include <vector>

#include "platform/Errors.h"
#include "platform/UniqueHandle.h"

namespace platform {

std::optional<std::wstring> ReadRegString(HKEY root, const std::wstring& subKey,
                                          const std::wstring& name, REGSAM extraAccess) {
    UniqueRegKey key;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ | extraAccess, key.receive()) != ERROR_SUCCESS)
        return std::nullopt;

    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (rc != ERROR_SUCCESS) throw SystemError(DWORD(rc));
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw SystemError(ERROR_INVALID_DATATYPE);

    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD bytes = DWORD(buffer.size() * sizeof(wchar_t));
    rc = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (rc != ERROR_SUCCESS) throw SystemError(DWORD(rc));
    std::wstring value(buffer.data(), bytes / sizeof(wchar_t));
    if (auto nul = value.find(L'\0'); nul != std::wstring::npos) value.resize(nul);
    return value;
}

}  // namespace platform
