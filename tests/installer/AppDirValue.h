// The application's registry value "BaseDir" for a test: removed when the
// object is made and when it goes, set in between as the test needs.
#pragma once

#include <windows.h>

#include <string>

#include "outside/Outside.h"

class AppDirValue {
public:
    AppDirValue() {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, outside::kAppKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
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
