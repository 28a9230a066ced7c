// The application's registry value "BaseDir" for a test: removed when the
// object is made and when it goes, set in between as the test needs. Under
// the PC's key only for the built program; suites give the wizard places of
// their own (ScratchPlaces).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "WinTestSupport.h"
#include "engine/Engine.h"
#include "outside/Outside.h"

class AppDirValue {
public:
    explicit AppDirValue(const std::wstring& key = outside::kAppKey) {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
        Remove();
    }
    ~AppDirValue() {
        Remove();
        RegCloseKey(key_);
    }
    AppDirValue(const AppDirValue&) = delete;
    AppDirValue& operator=(const AppDirValue&) = delete;

    void Set(const std::wstring& dir) {
        RegSetValueExW(key_, outside::kAppDirValue, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(dir.c_str()),
                       static_cast<DWORD>((dir.size() + 1) * sizeof(wchar_t)));
    }
    void Remove() { RegDeleteValueW(key_, outside::kAppDirValue); }

private:
    HKEY key_ = nullptr;
};

// Machine-wide places of a test's own: the application's key, the journal's
// folder (with the deployment guard's file) and a Program Files folder, none
// of them the PC's, so suites run side by side; and the installer's folder
// the test gives (where it puts the kit), else none.
class ScratchPlaces {
public:
    explicit ScratchPlaces(const std::wstring& installerDir = L"")
        : places_(Make(dir_, installerDir)), app_(places_.appKey) {}
    ~ScratchPlaces() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, places_.appKey.c_str()); }
    ScratchPlaces(const ScratchPlaces&) = delete;
    ScratchPlaces& operator=(const ScratchPlaces&) = delete;

    const engine::Places& Places() const { return places_; }
    std::wstring JournalPath() const { return places_.JournalPath(); }
    // The key's BaseDir.
    AppDirValue& App() { return app_; }

private:
    static engine::Places Make(const testsupport::TempDir& dir, const std::wstring& installerDir) {
        static std::atomic<int> count{0};
        const std::wstring id =
            std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
        return {L"SOFTWARE\\IstrelTests\\" + id, dir / L"Program Files\\Velmora\\Istrel\\",
                dir / L"Program Files\\", installerDir};
    }

    testsupport::TempDir dir_{L"places"};
    const engine::Places places_;
    AppDirValue app_;
};
