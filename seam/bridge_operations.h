// The bridge library's eight operations, as the rest of the program sees them: one table of
// function pointers. On Windows the table is filled from the library by ordinal; in the tests
// and the benchmarks the QUORVANEX emulator fills it.
#pragma once

#include <cstdint>

// On 32-bit Windows the library's operations use the stdcall convention (WINAPI): the callee
// removes its arguments from the stack. A pointer declared with the caller-cleans convention
// still compiles and even runs for a while, with the stack shifted by the size of the arguments
// after every call. Every function type below carries this macro for that reason.
#if defined(_WIN32) && defined(__i386__)
#define BRIDGE_CALL __stdcall
#else
#define BRIDGE_CALL
#endif

namespace quorvanex {

// Every operation answers with a 32-bit status: zero is success, anything else a failure.
using BridgeStatus = std::uint32_t;
inline constexpr BridgeStatus kBridgeSuccess = 0;

// The library's handle of an open device; pointer-sized, opaque.
using BridgeHandle = void*;

// Options of the string query (ordinal 2).
inline constexpr std::uint32_t kDeviceStringSerial = 0;
inline constexpr std::uint32_t kDeviceStringProduct = 2;
// The string query fills a buffer of this size.
inline constexpr std::uint32_t kDeviceStringBufferSize = 256;

// The one list of the operations: name, ordinal, parameters, and the parameters' names as the
// arguments of a call that passes them on. The two flags of the set-up call are declared 32 bits
// wide on purpose: stdcall passes every argument in a 4-byte stack slot, and a full 32-bit 1 is
// right whether the library reads a byte or a whole word from that slot.
#define QUORVANEX_BRIDGE_OPERATIONS(X)                                                            \
    X(CountDevices, 1, (std::uint32_t * deviceCount), (deviceCount))                              \
    X(GetDeviceString, 2, (std::uint32_t deviceIndex, char* buffer, std::uint32_t option),        \
      (deviceIndex, buffer, option))                                                              \
    X(OpenBridgeDevice, 3, (std::uint32_t deviceIndex, quorvanex::BridgeHandle * handle),         \
      (deviceIndex, handle))                                                                      \
    X(CloseBridgeDevice, 4, (quorvanex::BridgeHandle handle), (handle))                           \
    X(ReadReply, 6,                                                                               \
      (quorvanex::BridgeHandle handle, void* buffer, std::uint32_t bytesToRead,                   \
       std::uint32_t* bytesRead, void* overlapped),                                               \
      (handle, buffer, bytesToRead, bytesRead, overlapped))                                       \
    X(WriteFrame, 7,                                                                              \
      (quorvanex::BridgeHandle handle, const void* buffer, std::uint32_t bytesToWrite,            \
       std::uint32_t* bytesWritten, void* overlapped),                                            \
      (handle, buffer, bytesToWrite, bytesWritten, overlapped))                                   \
    X(SetUpDevice, 9,                                                                             \
      (quorvanex::BridgeHandle handle, std::uint32_t firstFlag, std::uint32_t secondFlag),        \
      (handle, firstFlag, secondFlag))                                                            \
    X(CheckReceiveQueue, 12,                                                                      \
      (quorvanex::BridgeHandle handle, std::uint32_t * bytesQueued, std::uint32_t * queueStatus), \
      (handle, bytesQueued, queueStatus))

#define QUORVANEX_BRIDGE_FUNCTION_TYPE(name, ordinal, parameters, arguments) \
    using name##Function = BridgeStatus BRIDGE_CALL parameters;
QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_BRIDGE_FUNCTION_TYPE)
#undef QUORVANEX_BRIDGE_FUNCTION_TYPE

struct BridgeOperations {
#define QUORVANEX_BRIDGE_MEMBER(name, ordinal, parameters, arguments) \
    name##Function* name = nullptr;
    QUORVANEX_BRIDGE_OPERATIONS(QUORVANEX_BRIDGE_MEMBER)
#undef QUORVANEX_BRIDGE_MEMBER
};

// True when every operation of the table is set.
bool BridgeOperationsComplete(const BridgeOperations& operations);

// The process-wide table. It is filled once, before the first device call of an update, and
// read by the device link afterwards; the table is never changed while an update runs.
const BridgeOperations& Bridge();
bool BridgeOperationsInstalled();
void InstallBridgeOperations(const BridgeOperations& operations);
void RemoveBridgeOperations();

}  // namespace quorvanex
