#include "toolkit/Seam.h"

#include <commdlg.h>
#include <shellapi.h>

#include <vector>

#include "toolkit/MessageDialog.h"

namespace toolkit {

namespace {

UiSeam g_real;
UiSeam* g_seam = &g_real;

}  // namespace

int UiSeam::RunMessage(MessageDialog& dialog) { return dialog.Execute(); }

bool UiSeam::RunOpenFile(const OpenFileRequest& request, std::wstring& path) {
    // "Description|pattern|..." becomes the NUL-separated, double-NUL list.
    std::wstring filter = request.filter;
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    filter.append(2, L'\0');
    std::vector<wchar_t> buffer(32768, L'\0');
    request.fileName.copy(buffer.data(), buffer.size() - 1);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = request.owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = static_cast<DWORD>(buffer.size());
    ofn.lpstrInitialDir = request.initialDir.empty() ? nullptr : request.initialDir.c_str();
    ofn.lpstrTitle = request.title.empty() ? nullptr : request.title.c_str();
    ofn.lpstrDefExt = request.defaultExt.empty() ? nullptr : request.defaultExt.c_str();
    // The installer finds its kit and the backup tool in the current
    // directory and tidies it when it closes; browsing must not move it.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&ofn)) return false;
    path = buffer.data();
    return true;
}

bool UiSeam::ShellOpen(const ShellOpenRequest& request) {
    auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        request.owner, L"open", request.target.c_str(),
        request.parameters.empty() ? nullptr : request.parameters.c_str(),
        request.directory.empty() ? nullptr : request.directory.c_str(), request.showCommand));
    return result > 32;
}

bool UiSeam::WindowStationVisible() {
    USEROBJECTFLAGS flags{};
    HWINSTA station = GetProcessWindowStation();
    // A station that cannot be asked is taken as the interactive one.
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

UiSeam& Ui() { return *g_seam; }

UiSeam* SetUiSeam(UiSeam* seam) {
    UiSeam* previous = g_seam;
    g_seam = seam ? seam : &g_real;
    return previous == &g_real ? nullptr : previous;
}

bool OpenFile(const OpenFileRequest& request, std::wstring& path) {
    return Ui().RunOpenFile(request, path);
}

bool ShellOpen(const ShellOpenRequest& request) { return Ui().ShellOpen(request); }

}  // namespace toolkit
