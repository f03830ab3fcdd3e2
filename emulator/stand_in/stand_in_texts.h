// What the stand-in library tells in its own box (caption "QUORVANEX emulator") when its scenario
// cannot be used, each with %ls where a value goes: the scenario's path, and what is wrong.
#pragma once

namespace quorvanex::emulator {

inline constexpr const wchar_t* kEmulatorCaption = L"QUORVANEX emulator";
inline constexpr const wchar_t* kScenarioCannotBeRead =
    L"The scenario %ls cannot be read. No device is attached.";
inline constexpr const wchar_t* kScenarioIsWrong = L"%ls: %ls. No device is attached.";

}  // namespace quorvanex::emulator
