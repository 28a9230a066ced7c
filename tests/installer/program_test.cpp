// The built Istrel.exe, started as a user would and driven from outside:
// its window is found by title, its buttons pressed by messages.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "Places.h"
#include "ProductVersion.h"
#include "WinTestSupport.h"
#include "wizard/Messages.h"
#include "outside/Outside.h"
#include "ComputerName.h"
#include "wizard/Dialogs.h"
#include "wizard/Options.h"

using namespace testsupport;

namespace {

using wizard::kWindowTitle;

std::wstring IstrelExe() {
    std::wstring path = L"Z:" + FromUtf8(ISTREL_EXE);
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

struct Found {
    DWORD pid;
    const wchar_t* text;
    HWND hwnd;
};

BOOL CALLBACK MatchTop(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    wchar_t text[256] = L"";
    GetWindowTextW(h, text, 256);
    if (pid == f->pid && IsWindowVisible(h) && std::wstring(text) == f->text) {
        f->hwnd = h;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK MatchChild(HWND h, LPARAM lp) {
    auto* f = reinterpret_cast<Found*>(lp);
    wchar_t text[256] = L"";
    GetWindowTextW(h, text, 256);
    if (std::wstring(text) == f->text && IsWindowVisible(h)) {
        f->hwnd = h;
        return FALSE;
    }
    return TRUE;
}

// Istrel.exe started in a working folder; killed at the end if still running.
class Istrel {
public:
    Istrel(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd) {
        std::wstring cmd = L"\"" + exe + L"\" " + args;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        started_ = CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  cwd.c_str(), &si, &pi_) != FALSE;
    }
    ~Istrel() {
        if (!started_) return;
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 99);
        WaitForSingleObject(pi_.hProcess, 5000);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    bool Started() const { return started_; }
    // A visible top-level window of the program with this title.
    HWND WaitWindow(const wchar_t* title, DWORD timeoutMs = 15000) {
        for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
            Found f{pi_.dwProcessId, title, nullptr};
            EnumWindows(MatchTop, reinterpret_cast<LPARAM>(&f));
            if (f.hwnd) return f.hwnd;
            if (Ended(0)) return nullptr;
            Sleep(50);
        }
        return nullptr;
    }
    bool Ended(DWORD timeoutMs) { return WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0; }
    DWORD ExitCode() {
        DWORD code = 0;
        GetExitCodeProcess(pi_.hProcess, &code);
        return code;
    }
    // The program has loaded the DLL at this path.
    bool HasLoaded(const std::wstring& path) const {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pi_.dwProcessId);
        if (snapshot == INVALID_HANDLE_VALUE) return false;
        MODULEENTRY32W module{};
        module.dwSize = sizeof module;
        bool found = false;
        for (BOOL more = Module32FirstW(snapshot, &module); more && !found;
             more = Module32NextW(snapshot, &module))
            found = lstrcmpiW(module.szExePath, path.c_str()) == 0;
        CloseHandle(snapshot);
        return found;
    }

private:
    PROCESS_INFORMATION pi_{};
    bool started_ = false;
};

HWND Child(HWND parent, const wchar_t* text) {
    Found f{0, text, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&f));
    return f.hwnd;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        app_ = appRoot_.Path() + L"Lumera\\";
        registry_.Set(app_);
        markers_ = {app_ + outside::kStopMarker, app_ + outside::kCompsDir + outside::kNoRunPrefix + L"PC1"};
        leftovers_ = {app_ + outside::kDbCheckFile, app_ + outside::kTemplateDb,
                      work_.Path() + outside::kKitArchive, work_.Path() + L"setup.exe"};
        for (const auto& f : markers_) Touch(f);
        for (const auto& f : leftovers_) Touch(f);
        // The parameters page reads the kit's client version at start, so the
        // kit left in the working folder must be a real one.
        ASSERT_TRUE(CopyInto(KitArchive(), work_.Path() + outside::kKitArchive));
    }
    static void Touch(const std::wstring& path) {
        MakeDirs(path.substr(0, path.find_last_of(L'\\') + 1));
        WriteBytes(path, "x");
    }
    static int CountExisting(const std::vector<std::wstring>& files) {
        int n = 0;
        for (const auto& f : files) n += Exists(f) ? 1 : 0;
        return n;
    }

    AppDirValue registry_;
    TempDir appRoot_{L"app"}, work_{L"cwd"};
    std::wstring app_;
    std::vector<std::wstring> markers_, leftovers_;
};

TEST_F(ProgramTest, StornoEndsAtOnceWithoutTheCloseCleanUp) {
    Istrel istrel(IstrelExe(), L"", work_.Path());
    ASSERT_TRUE(istrel.Started());
    HWND wizard = istrel.WaitWindow(kWindowTitle);
    ASSERT_NE(nullptr, wizard);
    HWND storno = Child(wizard, L"Storno");
    ASSERT_NE(nullptr, storno);
    Click(storno);
    ASSERT_TRUE(istrel.Ended(10000));
    EXPECT_EQ(2u, istrel.ExitCode());
    EXPECT_EQ(2, CountExisting(markers_));
    EXPECT_EQ(4, CountExisting(leftovers_)) << "the close clean-up ran";
}

TEST_F(ProgramTest, StornoAfterGivingUpTheWaitRemovesTheMarkersThisRunMade) {
    const std::wstring stop = app_ + outside::kStopMarker;
    const std::wstring noRun =
        app_ + outside::kCompsDir + outside::kNoRunPrefix + testsupport::ComputerName();
    DeleteFileW(stop.c_str());
    DeleteFileW(noRun.c_str());
    const std::wstring exe = app_ + outside::kAppExe;
    MakeDirs(app_ + outside::kAppExeDir);
    ASSERT_TRUE(WriteBytes(exe, "MZ"));
    HANDLE running = CreateFileW(exe.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, running);

    Istrel istrel(IstrelExe(), L"", work_.Path());
    HWND wizard = istrel.WaitWindow(kWindowTitle);
    ASSERT_NE(nullptr, wizard);
    Click(Child(wizard, L"Dokončiť"));
    HWND blocked = istrel.WaitWindow(L"Upozornenie");
    ASSERT_NE(nullptr, blocked);
    EXPECT_TRUE(Exists(stop));
    EXPECT_TRUE(Exists(noRun));
    Click(Child(blocked, L"Storno"));
    for (int i = 0; i < 100 && IsWindow(blocked); ++i) Sleep(50);
    Click(Child(wizard, L"Storno"));
    ASSERT_TRUE(istrel.Ended(10000));
    CloseHandle(running);
    EXPECT_FALSE(Exists(stop)) << "the scheduled backup would stay stopped";
    EXPECT_FALSE(Exists(noRun));
    EXPECT_EQ(4, CountExisting(leftovers_)) << "only the markers go";
}

TEST_F(ProgramTest, CloseIconRunsTheCleanUpAndEnds) {
    Istrel istrel(IstrelExe(), L"", work_.Path());
    HWND wizard = istrel.WaitWindow(kWindowTitle);
    ASSERT_NE(nullptr, wizard);
    EXPECT_NE(nullptr, Child(wizard, L"Dokončiť"));
    EXPECT_EQ(nullptr, Child(wizard, L"Ďalej >")) << "Next is hidden on the parameters page";
    PostMessageW(wizard, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(istrel.Ended(10000));
    EXPECT_EQ(2u, istrel.ExitCode()) << "closed before installing";
    EXPECT_FALSE(Exists(app_ + outside::kDbCheckFile));
    EXPECT_FALSE(Exists(app_ + outside::kTemplateDb));
    // Ended with 2: the same command must find its kit again.
    EXPECT_TRUE(Exists(work_.Path() + outside::kKitArchive));
    EXPECT_TRUE(Exists(work_.Path() + L"setup.exe"));
    EXPECT_EQ(2, CountExisting(markers_)) << "markers this run did not make stay";
}

TEST_F(ProgramTest, RichEditLibraryPlantedBesideTheInstallerIsNotLoaded) {
    const std::wstring self = work_.Path() + L"Istrel.exe";
    const std::wstring planted = work_.Path() + L"msftedit.dll";
    ASSERT_TRUE(CopyFileW(IstrelExe().c_str(), self.c_str(), FALSE));
    ASSERT_TRUE(CopyInto(DoublesDir() + L"noversion.dll", planted));
    Istrel istrel(self, L"", work_.Path());
    HWND wizard = istrel.WaitWindow(kWindowTitle);
    ASSERT_NE(nullptr, wizard) << "the end page's rich text is made with the window";
    EXPECT_FALSE(istrel.HasLoaded(planted));
    PostMessageW(wizard, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(istrel.Ended(10000));
}

TEST_F(ProgramTest, ProgramNamedSetupExeKeepsItselfAndLosesItsAttributes) {
    std::wstring self = work_.Path() + L"SETUP.EXE";
    DeleteFileW((work_.Path() + L"setup.exe").c_str());
    ASSERT_TRUE(CopyFileW(IstrelExe().c_str(), self.c_str(), FALSE));
    SetFileAttributesW(self.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    Istrel istrel(self, L"", work_.Path());
    HWND wizard = istrel.WaitWindow(kWindowTitle);
    ASSERT_NE(nullptr, wizard);
    PostMessageW(wizard, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(istrel.Ended(10000));
    EXPECT_TRUE(Exists(self));
    EXPECT_EQ(0u, GetFileAttributesW(self.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(ProgramTest, WithoutTheApplicationInteractiveShowsErrorThenEnds) {
    registry_.Remove();
    Istrel istrel(IstrelExe(), L"", work_.Path());
    HWND box = istrel.WaitWindow(L"Chyba");
    ASSERT_NE(nullptr, box);
    EXPECT_NE(nullptr, Child(box, wizard::kNoApplication));
    Click(Child(box, L"OK"));
    ASSERT_TRUE(istrel.Ended(10000));
    EXPECT_EQ(4, CountExisting(leftovers_)) << "no window was closed, so nothing was cleaned";
}

TEST_F(ProgramTest, WithoutTheApplicationUnattendedEndsSilently) {
    registry_.Remove();
    Istrel istrel(IstrelExe(), L"/S", work_.Path());
    ASSERT_TRUE(istrel.Ended(10000));
    EXPECT_EQ(1u, istrel.ExitCode());
}

std::wstring VersionString(const std::vector<char>& block, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT len = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\041B04B0\\") + name;
    if (!VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &len)) return L"";
    return std::wstring(value, len ? len - 1 : 0);
}

TEST(ProgramResources, VersionAndManifest) {
    std::wstring exe = IstrelExe();
    DWORD size = GetFileVersionInfoSizeW(exe.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    // The numbers of VERSION, the same in every place that shows them.
    const std::wstring version = L"" ISTREL_VERSION_TEXT;
    const std::wstring fixedVersion =
        std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
        std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
        std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
        std::to_wstring(LOWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(version, fixedVersion);
    EXPECT_EQ(fixed->dwFileVersionMS, fixed->dwProductVersionMS);
    EXPECT_EQ(fixed->dwFileVersionLS, fixed->dwProductVersionLS);
    EXPECT_EQ(L"FB - inštalačný program", VersionString(block, L"FileDescription"));
    EXPECT_EQ(L"Lumera SQL", VersionString(block, L"ProductName"));
    EXPECT_EQ(L"Velmora", VersionString(block, L"CompanyName"));
    EXPECT_EQ(version, VersionString(block, L"FileVersion"));
    EXPECT_EQ(version, VersionString(block, L"ProductVersion"));
    EXPECT_EQ(L"Istrel " + version, wizard::ProgramAndVersion());

    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(nullptr, res);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, res))),
                         SizeofResource(module, res));
    FreeLibrary(module);
    EXPECT_NE(std::string::npos,
              manifest.find("name=\"Velmora.Istrel\" version=\"" ISTREL_VERSION_TEXT "\""));
    EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
    EXPECT_NE(std::string::npos, manifest.find("<dpiAware"));
    EXPECT_NE(std::string::npos, manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
}

}  // namespace
