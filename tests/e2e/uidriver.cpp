// A user at the keyboard for the end-to-end scripts: finds top-level
// windows by title (and class), presses their buttons by caption, and
// answers dialogs. Steps run in order; each waits up to --timeout seconds.
//
//   uidriver [--timeout S] STEP...
//   uidriver [--timeout S] @FILE      the words of the steps, one a line, UTF-8
//                                     (command lines from Unix lose non-ASCII)
//     window TITLE            wait until a visible window with this title exists
//     click TITLE BUTTON      press the visible, enabled button of that window
//     button TITLE BUTTON     wait until that button is visible and enabled
//     text TITLE TEXT         wait until a visible control of the window shows TEXT
//     gone TITLE              wait until no visible window has this title
//     dump TITLE              print the texts of that window's controls
//     list -                  print the titles of all top-level windows
//
// Exit code 0 when every step was done, 1 (with the failing step on
// standard error) otherwise. Output is UTF-8.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

DWORD g_timeoutMs = 30000;

std::string Utf8(const std::wstring& s) {
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n);
    return out;
}

std::vector<std::wstring> ReadWords(const std::wstring& path) {
    std::vector<std::wstring> words;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return words;
    std::string line;
    for (int c; (c = fgetc(f)) != EOF;) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            words.push_back(FromUtf8(line));
            line.clear();
        } else {
            line += char(c);
        }
    }
    if (!line.empty()) words.push_back(FromUtf8(line));
    fclose(f);
    return words;
}

std::wstring TextOf(HWND h) {
    wchar_t buf[1024] = L"";
    // WM_GETTEXT works across processes where GetWindowText would not.
    SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return buf;
}

std::wstring ClassOf(HWND h) {
    wchar_t buf[256] = L"";
    GetClassNameW(h, buf, 256);
    return buf;
}

struct Search {
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTop(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (IsWindowVisible(h) && TextOf(h) == s->title) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND FindTop(const std::wstring& title) {
    Search s{title};
    EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

struct ChildSearch {
    std::wstring text;
    bool buttonOnly;
    HWND found = nullptr;
};

// A caption matches with or without its "&" accelerator marks.
bool SameCaption(std::wstring caption, const std::wstring& wanted) {
    if (caption == wanted) return true;
    std::wstring plain;
    for (wchar_t c : caption)
        if (c != L'&') plain += c;
    return plain == wanted;
}

BOOL CALLBACK MatchChild(HWND h, LPARAM lp) {
    auto* s = reinterpret_cast<ChildSearch*>(lp);
    if (!IsWindowVisible(h)) return TRUE;
    if (s->buttonOnly && ClassOf(h) != L"Button") return TRUE;
    if (SameCaption(TextOf(h), s->text)) {
        s->found = h;
        return FALSE;
    }
    return TRUE;
}

HWND FindChild(HWND top, const std::wstring& text, bool buttonOnly) {
    ChildSearch s{text, buttonOnly};
    EnumChildWindows(top, MatchChild, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

template <typename F>
bool WaitFor(F&& ready) {
    for (DWORD waited = 0;; waited += 100) {
        if (ready()) return true;
        if (waited >= g_timeoutMs) return false;
        Sleep(100);
    }
}

HWND ReadyButton(const std::wstring& title, const std::wstring& caption) {
    HWND top = FindTop(title);
    if (!top) return nullptr;
    HWND b = FindChild(top, caption, true);
    return b && IsWindowEnabled(b) ? b : nullptr;
}

BOOL CALLBACK PrintChild(HWND h, LPARAM) {
    std::wstring text = TextOf(h);
    if (!text.empty()) printf("  %s: %s\n", Utf8(ClassOf(h)).c_str(), Utf8(text).c_str());
    return TRUE;
}

BOOL CALLBACK PrintTop(HWND h, LPARAM) {
    printf("  %s%s [%s]\n", IsWindowVisible(h) ? "" : "(hidden) ", Utf8(TextOf(h)).c_str(),
           Utf8(ClassOf(h)).c_str());
    return TRUE;
}

bool Step(const std::wstring& verb, const std::vector<std::wstring>& a) {
    if (verb == L"list") return EnumWindows(PrintTop, 0) != FALSE;
    if (verb == L"dump") {
        HWND top = nullptr;
        if (!WaitFor([&] { return (top = FindTop(a[0])) != nullptr; })) return false;
        EnumChildWindows(top, PrintChild, 0);
        return true;
    }
    if (verb == L"window") return WaitFor([&] { return FindTop(a[0]) != nullptr; });
    if (verb == L"gone") return WaitFor([&] { return FindTop(a[0]) == nullptr; });
    if (verb == L"button") return WaitFor([&] { return ReadyButton(a[0], a[1]) != nullptr; });
    if (verb == L"text")
        return WaitFor([&] {
            HWND top = FindTop(a[0]);
            return top && FindChild(top, a[1], false);
        });
    if (verb == L"click") {
        HWND b = nullptr;
        if (!WaitFor([&] { return (b = ReadyButton(a[0], a[1])) != nullptr; })) return false;
        // Posted: the click may open a modal dialog that this program answers next.
        PostMessageW(b, BM_CLICK, 0, 0);
        return true;
    }
    return false;
}

size_t Arity(const std::wstring& verb) {
    if (verb == L"window" || verb == L"gone" || verb == L"dump" || verb == L"list") return 1;
    if (verb == L"click" || verb == L"button" || verb == L"text") return 2;
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> words(argv + 1, argv + argc);
    size_t i = 0;
    if (i + 1 < words.size() && words[i] == L"--timeout") {
        g_timeoutMs = DWORD(_wtoi(words[i + 1].c_str())) * 1000;
        i += 2;
    }
    if (i + 1 == words.size() && !words[i].empty() && words[i][0] == L'@') {
        words = ReadWords(words[i].substr(1));
        i = 0;
    }
    while (i < words.size()) {
        std::wstring verb = words[i++];
        size_t n = Arity(verb);
        if (n == 0 || i + n > words.size()) {
            fprintf(stderr, "uidriver: bad step %s\n", Utf8(verb).c_str());
            return 2;
        }
        std::vector<std::wstring> args(words.begin() + i, words.begin() + i + n);
        i += n;
        std::string shown = Utf8(verb);
        for (const auto& a : args) shown += " \"" + Utf8(a) + "\"";
        if (!Step(verb, args)) {
            fprintf(stderr, "uidriver: step failed: %s\n", shown.c_str());
            return 1;
        }
        printf("uidriver: %s\n", shown.c_str());
        fflush(stdout);
    }
    return 0;
}
