#include "engine/ExtractionRules.h"

#include <cmath>

#include "outside/Outside.h"
#include "platform/PathText.h"

namespace engine {

using platform::FoldedAscii;

namespace {

double RoundHalfEven(double x) {
    double floor = std::floor(x);
    double rest = x - floor;
    if (rest > 0.5) return floor + 1;
    if (rest < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

}  // namespace

int32_t ProgressUnits(double progress, int32_t requiredBytes) {
    if (!(progress > 0)) progress = 0;  // also NaN
    if (progress > 100) progress = 100;
    int64_t percent = int64_t(RoundHalfEven(progress));
    return int32_t(percent * int64_t(requiredBytes) / 100);
}

ProgressStep NextProgressStep(double progress, int32_t requiredBytes, int32_t previous) {
    ProgressStep step;
    step.next = ProgressUnits(progress, requiredBytes);
    step.advance = step.next > previous ? step.next - previous : 0;
    step.shown = step.next > previous ? step.next : previous;
    return step;
}

FailureChoice ChooseFileFailure(bool canceled, const std::wstring& fileName,
                                const std::wstring& errorMessage) {
    if (canceled) return {archive::fxaAbort, {}};
    std::wstring name = FoldedAscii(fileName);
    if (name == FoldedAscii(outside::kQuietEntryVorsel) ||
        name == FoldedAscii(outside::kQuietEntryMessages))
        return {archive::fxaIgnore, {}};
    return {archive::fxaIgnore, L"Chyba pri spracovaní archívu!\r\n" + errorMessage};
}

}  // namespace engine
