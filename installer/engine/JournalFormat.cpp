#include "engine/JournalFormat.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "archive/ArchiveText.h"
#include "engine/InstanceName.h"
#include "environment/Port.h"
#include "outside/Outside.h"
#include "platform/PathText.h"

namespace engine {

const std::wstring& JournalRecord::Field(size_t i) const {
    static const std::wstring kNone;
    return i < fields.size() ? fields[i] : kNone;
}

namespace journal {

namespace {

using archive::zip::DecodeUtf8;
using archive::zip::EncodeUtf8;
using Why = std::optional<std::wstring>;

constexpr char kMagic[] = "istrel-journal";
constexpr char kVersion[] = "1";
constexpr size_t kRunIdDigits = 32, kChecksumDigits = 8;
constexpr wchar_t kForeign[] = L"nezačína hlavičkou záznamu tohto inštalátora";

// The service manager's codes as ToJournal writes them: a program of its
// own (SERVICE_WIN32_OWN_PROCESS), started automatically, on demand or not
// at all, a failure at start ignored or logged.
constexpr const wchar_t* kOwnProcess = L"16";
constexpr const wchar_t* kStartTypes[] = {L"2", L"3", L"4"};
constexpr const wchar_t* kErrorControls[] = {L"0", L"1"};
constexpr const wchar_t* kFlags[] = {L"0", L"1"};

bool IsControl(wchar_t c) {
    return c < 0x20 || c == 0x7F;
}

// Windows compares names without regard to case; FoldedAscii folds ASCII
// letters only, so two texts that count as equal here are equal there too.
using platform::FoldedAscii;
using platform::StartsWithFoldedAscii;

bool EqualFolded(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && StartsWithFoldedAscii(a, b);
}

// Strictly below `folder`, which ends with "\".
bool Inside(const std::wstring& path, const std::wstring& folder) {
    return path.size() > folder.size() && StartsWithFoldedAscii(path, folder);
}

template <size_t N>
bool OneOf(const std::wstring& text, const wchar_t* const (&values)[N]) {
    return std::any_of(values, values + N, [&](const wchar_t* v) { return text == v; });
}

// A text fit for a message: control characters shown as "?", cut short.
std::wstring Shown(std::wstring text) {
    if (text.size() > 80) text = text.substr(0, 80) + L"…";
    std::replace_if(text.begin(), text.end(), IsControl, L'?');
    return text;
}

bool IsDeviceName(const std::wstring& name) {
    const std::wstring base = FoldedAscii(name.substr(0, name.find(L'.')));
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL") return true;
    return base.size() == 4 && (base.starts_with(L"COM") || base.starts_with(L"LPT")) &&
           base[3] >= L'1' && base[3] <= L'9';
}

// A name Windows takes as it stands: none of its reserved characters, no
// device, no trailing dot or blank (which it drops: "..", "x." and "x "
// all name something else).
bool IsPlainName(const std::wstring& name) {
    return !name.empty() && name.back() != L'.' && name.back() != L' ' &&
           name.find_first_of(L"<>:\"/\\|?*") == std::wstring::npos &&
           std::none_of(name.begin(), name.end(), IsControl) && !IsDeviceName(name);
}

// A full path on a drive of this PC ("X:\" and plain names between single
// "\"): no UNC or device path, no "..". A folder may end with "\".
bool IsPlainPath(const std::wstring& path, bool folder) {
    const wchar_t drive = wchar_t(path.empty() ? 0 : path[0] | 0x20);
    if (path.size() < 3 || drive < L'a' || drive > L'z' || path[1] != L':' || path[2] != L'\\')
        return false;
    std::wstring rest = path.substr(3);
    if (folder && !rest.empty() && rest.back() == L'\\') rest.pop_back();
    for (size_t start = 0; start < rest.size();) {
        const size_t end = std::min(rest.find(L'\\', start), rest.size());
        if (!IsPlainName(rest.substr(start, end - start)) || end + 1 == rest.size()) return false;
        start = end + 1;
    }
    return true;
}

bool IsDriveRoot(const std::wstring& path) {
    return path.size() <= 3;
}

std::wstring NotAPath(const std::wstring& path) {
    return L"cesta " + Shown(path) + L" nie je úplná cesta na disku počítača";
}

// The installer's own instances: FirebirdServer + velmora64b_<port>,
// velmora32b_<port>, or the legacy velmora64b.
bool IsOwnService(const std::wstring& name) {
    return InstanceName::OfService(name) ||
           EqualFolded(name, std::wstring(outside::kServiceNamePrefix) + outside::kLegacyInstance);
}

template <typename Text>
std::vector<Text> Split(const Text& text, typename Text::value_type separator) {
    std::vector<Text> parts;
    for (size_t start = 0;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(Text(text.substr(start, end == Text::npos ? Text::npos : end - start)));
        if (end == Text::npos) return parts;
        start = end + 1;
    }
}

uint32_t Checksum(const std::string& runId, std::string_view text) {
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(runId.data()), uInt(runId.size()));
    crc = crc32(crc, reinterpret_cast<const Bytef*>("\t"), 1);
    return uint32_t(crc32(crc, reinterpret_cast<const Bytef*>(text.data()), uInt(text.size())));
}

std::string Hex(uint32_t value) {
    char digits[kChecksumDigits + 1];
    std::snprintf(digits, sizeof digits, "%08x", unsigned(value));
    return digits;
}

bool IsLowerHex(std::string_view text, size_t digits) {
    return text.size() == digits && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string Line(const std::string& runId, const std::string& text) {
    return Hex(Checksum(runId, text)) + '\t' + text + '\n';
}

// The header's own check; it names the run id the other lines use.
Why ReadHeader(std::string_view text, Contents& contents) {
    const std::vector<std::string_view> parts = Split(text, '\t');
    if (parts.size() != 3 || parts[0] != kMagic) return kForeign;
    if (parts[1] != kVersion)
        return L"neznáma verzia formátu " + Shown(DecodeUtf8(parts[1].substr(0, 20)));
    if (!IsLowerHex(parts[2], kRunIdDigits)) return L"chybný identifikátor inštalácie";
    contents.runId = std::string(parts[2]);
    return std::nullopt;
}

// One complete line (without its line feed), the first being the header.
Why ReadLine(std::string_view line, bool first, Contents& contents, Checker& checker) {
    if (line.find('\t') != kChecksumDigits ||
        !IsLowerHex(line.substr(0, kChecksumDigits), kChecksumDigits))
        return first ? Why(kForeign) : Why(L"chýba kontrolný súčet");
    const std::string_view text = line.substr(kChecksumDigits + 1);
    if (first)
        if (Why why = ReadHeader(text, contents)) return why;
    if (Hex(Checksum(contents.runId, text)) != line.substr(0, kChecksumDigits))
        return L"nesedí kontrolný súčet";
    if (first) return std::nullopt;
    const std::wstring decoded = DecodeUtf8(text);
    if (EncodeUtf8(decoded) != text) return L"text nie je v kódovaní UTF-8";
    std::vector<std::wstring> parts = Split(decoded, L'\t');
    JournalRecord record{std::move(parts.front()), {parts.begin() + 1, parts.end()}};
    if (Why why = checker.Check(record)) return why;
    contents.records.push_back(std::move(record));
    return std::nullopt;
}

}  // namespace

std::string EncodeHeader(const std::string& runId) {
    return Line(runId, std::string(kMagic) + '\t' + kVersion + '\t' + runId);
}

std::string EncodeRecord(const std::string& runId, const JournalRecord& record) {
    std::wstring text = record.kind;
    for (const std::wstring& field : record.fields) text += L'\t' + field;
    return Line(runId, EncodeUtf8(text));
}

std::optional<std::wstring> Checker::Check(const JournalRecord& r) {
    const auto found = std::find_if(std::begin(kKinds), std::end(kKinds),
                                    [&](const Kind* k) { return r.kind == k->name; });
    if (found == std::end(kKinds)) return L"neznámy druh záznamu " + Shown(r.kind);
    const Kind& kind = **found;
    if (r.fields.size() != kind.fields)
        return L"záznam " + r.kind + L" má " + std::to_wstring(r.fields.size()) +
               L" údajov namiesto " + std::to_wstring(kind.fields);
    for (const std::wstring& field : r.fields)
        if (std::any_of(field.begin(), field.end(), IsControl) ||
            DecodeUtf8(EncodeUtf8(field)) != field)
            return L"záznam " + r.kind + L" obsahuje znak, ktorý sa nedá zapísať";
    if (kind.place == Kind::kOpening && run_) return L"druhý záznam o inštalácii";
    if (kind.place == Kind::kInRun && !run_)
        return L"záznam " + r.kind + L" predchádza záznamu o inštalácii";
    if (kind.check)
        if (Why why = kind.check(r, Scope{run_ ? &*run_ : nullptr, limits_})) return why;
    if (kind.place == Kind::kOpening) run_ = r;
    return std::nullopt;
}

namespace fields {

namespace {

const std::wstring& ServerDirOf(const Scope& scope) {
    return scope.run->Field(RunField::kServerDir);
}

}  // namespace

Why Marker(const JournalRecord& r, const Scope&) {
    const std::wstring &app = r.Field(MarkerField::kAppDir), &path = r.Field(MarkerField::kPath);
    if (!IsPlainPath(app, true)) return NotAPath(app);
    if (!IsPlainPath(path, false)) return NotAPath(path);
    const std::wstring folder = platform::WithDelimiter(app);
    const std::wstring noRun = folder + outside::kCompsDir + outside::kNoRunPrefix;
    if (EqualFolded(path, folder + outside::kStopMarker) ||
        (Inside(path, noRun) && path.find(L'\\', noRun.size()) == std::wstring::npos))
        return std::nullopt;
    return L"súbor " + Shown(path) + L" nie je značkou aplikácie v priečinku " + Shown(folder);
}

// The run record: install, reconfigure or remove, the application's folder, a
// server folder below a drive's root, port, mode code, the installer's
// folder (read from only, and perhaps a network share).
Why Run(const JournalRecord& r, const Scope&) {
    const std::wstring &how = r.Field(RunField::kHow), &app = r.Field(RunField::kAppDir),
                       &server = r.Field(RunField::kServerDir);
    if (how != L"install" && how != L"reconfigure" && how != L"remove")
        return L"neznámy druh inštalácie " + Shown(how);
    if (!IsPlainPath(app, true)) return NotAPath(app);
    if (!IsPlainPath(server, true) || !server.ends_with(L'\\')) return NotAPath(server);
    if (IsDriveRoot(server)) return L"priečinok servera " + server + L" je koreň disku";
    if (!environment::Port::Parse(r.Field(RunField::kPort)))
        return L"chybný port " + Shown(r.Field(RunField::kPort));
    const std::wstring& mode = r.Field(RunField::kMode);
    if (!mode.empty() &&
        std::none_of(outside::kServerModes.begin(), outside::kServerModes.end(),
                     [&](const outside::ServerMode& m) { return mode == m.iniCode; }))
        return L"neznámy režim servera " + Shown(mode);
    return std::nullopt;
}

// A removed instance as ToJournal wrote it; restoring it registers a
// service, so it must be one of the installer's, run as a program of its
// own from the server folder (or the legacy server's).
Why RemovedService(const JournalRecord& r, const Scope& scope) {
    const std::wstring& name = r.Field(ServiceField::kName);
    const std::wstring service = L"služba " + Shown(name);
    if (!IsOwnService(name)) return service + L" nie je inštanciou servera tohto inštalátora";
    if (r.Field(ServiceField::kType) != kOwnProcess)
        return service + L" nie je program bežiaci ako samostatný proces (typ " +
               Shown(r.Field(ServiceField::kType)) + L")";
    if (!OneOf(r.Field(ServiceField::kStartType), kStartTypes))
        return service + L" má nedovolený spôsob spustenia";
    if (!OneOf(r.Field(ServiceField::kErrorControl), kErrorControls))
        return service + L" má nedovolenú reakciu na chybu";
    if (!OneOf(r.Field(ServiceField::kRunning), kFlags)) return service + L" má chybný stav";
    const std::wstring program = platform::ProgramOfCommand(r.Field(ServiceField::kBinaryPath)),
                       &server = ServerDirOf(scope);
    const std::wstring& legacy = scope.limits.legacyServerDir;
    if (IsPlainPath(program, false) &&
        (Inside(program, server) ||
         (IsPlainPath(legacy, true) && Inside(program, platform::WithDelimiter(legacy)))))
        return std::nullopt;
    return service + L" spúšťa program " + Shown(program) + L" mimo priečinka servera " + server;
}

Why OwnService(const JournalRecord& r, const Scope&) {
    if (IsOwnService(r.Field(kSubject))) return std::nullopt;
    return L"služba " + Shown(r.Field(kSubject)) + L" nie je inštanciou servera tohto inštalátora";
}

Why AboveServerFolder(const JournalRecord& r, const Scope& scope) {
    const std::wstring &server = ServerDirOf(scope), &path = r.Field(kSubject);
    if (!IsPlainPath(path, false)) return NotAPath(path);
    if (!IsDriveRoot(path) && Inside(server, path + L'\\')) return std::nullopt;
    return L"priečinok " + path + L" nie je nad priečinkom servera " + server;
}

Why ServerFolderOrInside(const JournalRecord& r, const Scope& scope) {
    const std::wstring &server = ServerDirOf(scope), &path = r.Field(kSubject);
    if (IsPlainPath(path, false) && EqualFolded(path + L'\\', server)) return std::nullopt;
    return InsideServerFolder(r, scope);
}

Why TheServerFolder(const JournalRecord& r, const Scope& scope) {
    const std::wstring &server = ServerDirOf(scope), &path = r.Field(kSubject);
    if (IsPlainPath(path, false) && EqualFolded(path + L'\\', server)) return std::nullopt;
    return L"priečinok " + Shown(path) + L" nie je priečinkom servera " + server;
}

Why InsideServerFolder(const JournalRecord& r, const Scope& scope) {
    const std::wstring &server = ServerDirOf(scope), &path = r.Field(kSubject);
    if (!IsPlainPath(path, false)) return NotAPath(path);
    if (Inside(path, server)) return std::nullopt;
    return L"cesta " + path + L" leží mimo priečinka servera " + server;
}

// Both the file's path and its place in the stash lie in the server folder.
Why Stashed(const JournalRecord& r, const Scope& scope) {
    const std::wstring &server = ServerDirOf(scope), &stashed = r.Field(StashedField::kStashed);
    if (Why why = InsideServerFolder(r, scope)) return why;
    if (!IsPlainPath(stashed, false)) return NotAPath(stashed);
    if (Inside(stashed, server)) return std::nullopt;
    return L"cesta " + stashed + L" leží mimo priečinka servera " + server;
}

}  // namespace fields

Contents ReadJournal(std::string_view bytes, const Limits& limits) {
    Contents contents;
    Checker checker(limits);
    size_t number = 0;
    for (size_t start = 0, end; (end = bytes.find('\n', start)) != std::string_view::npos;
         start = end + 1) {
        if (Why why =
                ReadLine(bytes.substr(start, end - start), ++number == 1, contents, checker)) {
            contents.problem = L"riadok " + std::to_wstring(number) + L": " + *why;
            contents.records.clear();
            return contents;
        }
        contents.complete = end + 1;
    }
    return contents;
}

}  // namespace journal
}  // namespace engine
