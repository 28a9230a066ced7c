// The installer's rules for the kit's extraction: the arithmetic and the
// choices behind the two extraction handlers, kept free of windows so they
// can be checked on their own (also in the native build).
#pragma once

#include <cstdint>
#include <string>

#include "archive/ArchiveReader.h"

namespace engine {

// Progress-bar units for a reported percentage: the percentage rounded to a
// whole number (half to even), times the units of the whole extraction,
// divided by 100 (truncating), in 64-bit arithmetic. Percentages outside
// 0..100 (or not a number) are held to that range.
int32_t ProgressUnits(double progress, int32_t requiredBytes);

// One step of the extraction's progress: units reached and how far the bar
// moves. The bar never moves back; shown keeps the most units shown so far.
struct ProgressStep {
    int32_t next = 0;     // the units the percentage stands for
    int32_t advance = 0;  // what pbSetup advances by
    int32_t shown = 0;    // the new m_ProgressPrevious
};
ProgressStep NextProgressStep(double progress, int32_t requiredBytes, int32_t previous);

// What an entry that cannot be extracted does. report is the text for
// the user, empty when nothing is to be shown.
struct FailureChoice {
    archive::TZFProcessFileFailureAction action = archive::fxaIgnore;
    std::wstring report;
};
FailureChoice ChooseFileFailure(bool canceled, const std::wstring& fileName,
                                const std::wstring& errorMessage);

}  // namespace engine
