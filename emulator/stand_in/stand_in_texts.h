// What the stand-in library tells in its own box (caption "QUORVANEX emulator") when its scenario
// cannot be used, each with %ls where a value goes: the scenario's path, and what is wrong.
#pragma once

#include "text/operator_text.h"

namespace quorvanex::emulator {

#define QUORVANEX_STAND_IN_TEXTS(LINE, NOTICE, PATH_NOTICE, TEXT, LINES)                    \
    TEXT(kEmulatorCaption, L"QUORVANEX emulator")                                           \
    TEXT(kScenarioCannotBeRead, L"The scenario %ls cannot be read. No device is attached.") \
    TEXT(kScenarioIsWrong, L"%ls: %ls. No device is attached.")
QUORVANEX_TEXT_CONSTANTS(QUORVANEX_STAND_IN_TEXTS)

}  // namespace quorvanex::emulator
