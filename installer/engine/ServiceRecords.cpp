#include "engine/ServiceRecords.h"

#include <cstdlib>
#include <string>

namespace engine {

JournalRecord ToJournal(const environment::ServiceRecord& s, const wchar_t* kind) {
    return {kind,
            {s.name, s.displayName, s.binaryPath, s.loadOrderGroup, s.dependencies, s.account,
             std::to_wstring(s.type), std::to_wstring(s.startType), std::to_wstring(s.errorControl),
             s.running ? L"1" : L"0"}};
}

environment::ServiceRecord ServiceFromJournal(const JournalRecord& r) {
    environment::ServiceRecord s;
    s.name = r.Field(0);
    s.displayName = r.Field(1);
    s.binaryPath = r.Field(2);
    s.loadOrderGroup = r.Field(3);
    s.dependencies = r.Field(4);
    s.account = r.Field(5);
    s.type = DWORD(_wtoi(r.Field(6).c_str()));
    s.startType = DWORD(_wtoi(r.Field(7).c_str()));
    s.errorControl = DWORD(_wtoi(r.Field(8).c_str()));
    s.running = r.Field(9) == L"1";
    return s;
}

}  // namespace engine
