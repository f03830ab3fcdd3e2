// A library with the bridge library's name and only its first operation, for the test that a
// library without all eight is named and refused.
#include <cstdint>

extern "C" __declspec(dllexport) std::uint32_t
    __stdcall IncompleteCountDevices(std::uint32_t* count) {
    *count = 0;
    return 0;
}
