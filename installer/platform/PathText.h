// Path and command-line text as Windows writes it, without calling Windows:
// header-only, so that the portable parts (the journal's format, built and
// tested natively too) share it with the rest.
#pragma once

#include <string>

namespace platform {

// The text with the letters A to Z in upper case, the one folding that code
// without Windows can do: two names equal under it are equal to Windows too
// (which folds other letters as well), so what it finds the same, Windows
// does.
inline std::wstring FoldedAscii(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'a' && c <= L'z') c = wchar_t(c - L'a' + L'A');
    return text;
}

// `text` begins with `head`, folded so.
inline bool StartsWithFoldedAscii(const std::wstring& text, const std::wstring& head) {
    return text.size() >= head.size() && FoldedAscii(text.substr(0, head.size())) == FoldedAscii(head);
}

// The folder with a trailing "\" added when missing (an empty text becomes "\").
inline std::wstring WithDelimiter(std::wstring folder) {
    if (folder.empty() || folder.back() != L'\\') folder += L'\\';
    return folder;
}

// The folder without its trailing "\", a drive's root ("C:\") excepted.
inline std::wstring WithoutDelimiter(std::wstring folder) {
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return folder;
}

// The program a service's command line starts, as the service manager
// finds it: the quoted part, or else up to the first ".exe" (any case)
// that ends a word, or else up to the first blank.
inline std::wstring ProgramOfCommand(const std::wstring& command) {
    if (command.starts_with(L'"')) {
        const size_t end = command.find(L'"', 1);
        return end == std::wstring::npos ? L"" : command.substr(1, end - 1);
    }
    const std::wstring folded = FoldedAscii(command);
    for (size_t at = folded.find(L".EXE"); at != std::wstring::npos; at = folded.find(L".EXE", at + 1))
        if (at + 4 == command.size() || command[at + 4] == L' ') return command.substr(0, at + 4);
    return command.substr(0, command.find(L' '));
}

}  // namespace platform
