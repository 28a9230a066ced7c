#include "ResultFile.h"

#include "Platform.h"

namespace quenlet {

std::wstring ResultFilePath(const std::wstring& executablePath, std::wstring_view delimiters) {
    size_t folderEnd = executablePath.find_last_of(delimiters);
    size_t dot = executablePath.rfind(L'.');
    bool hasExtension =
        dot != std::wstring::npos && (folderEnd == std::wstring::npos || dot > folderEnd);
    return (hasExtension ? executablePath.substr(0, dot) : executablePath) + L".res";
}

std::string ResultFileBytes(const std::wstring& ErrorText) {
    return platform::ToNarrow((ErrorText.empty() ? L"0" : L"-1") + std::wstring(L"\r\n") +
                              ErrorText + L"\r\n");
}

}  // namespace quenlet
