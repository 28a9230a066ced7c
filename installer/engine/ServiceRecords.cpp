#include "engine/ServiceRecords.h"

#include <cstdlib>
#include <string>

namespace engine {

using F = journal::ServiceField;

JournalRecord ToJournal(const environment::ServiceRecord& s, const wchar_t* kind) {
    JournalRecord r{kind, std::vector<std::wstring>(F::kCount)};
    r.fields[F::kName] = s.name;
    r.fields[F::kDisplayName] = s.displayName;
    r.fields[F::kBinaryPath] = s.binaryPath;
    r.fields[F::kLoadOrderGroup] = s.loadOrderGroup;
    r.fields[F::kDependencies] = s.dependencies;
    r.fields[F::kAccount] = s.account;
    r.fields[F::kType] = std::to_wstring(s.type);
    r.fields[F::kStartType] = std::to_wstring(s.startType);
    r.fields[F::kErrorControl] = std::to_wstring(s.errorControl);
    r.fields[F::kRunning] = s.running ? L"1" : L"0";
    return r;
}

environment::ServiceRecord ServiceFromJournal(const JournalRecord& r) {
    environment::ServiceRecord s;
    s.name = r.Field(F::kName);
    s.displayName = r.Field(F::kDisplayName);
    s.binaryPath = r.Field(F::kBinaryPath);
    s.loadOrderGroup = r.Field(F::kLoadOrderGroup);
    s.dependencies = r.Field(F::kDependencies);
    s.account = r.Field(F::kAccount);
    s.type = DWORD(_wtoi(r.Field(F::kType).c_str()));
    s.startType = DWORD(_wtoi(r.Field(F::kStartType).c_str()));
    s.errorControl = DWORD(_wtoi(r.Field(F::kErrorControl).c_str()));
    s.running = r.Field(F::kRunning) == L"1";
    return s;
}

}  // namespace engine
