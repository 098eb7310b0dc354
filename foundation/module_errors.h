// Raising this module's errors from the driver object, the connection layer and the tables: the error code with its
// message arguments, the file name (when given and not empty), information item 16 with the code, and the
// identification record "IEQZORA=<unit>.<point>". The error goes to the holder under the recorded code with the
// reporter (a connection adds its details); without a holder it is dumped as an ignored error and dropped.
#pragma once

#include <cstdint>

class CConnection;
class CErrorHolder;

// Message arguments are UTF-16 texts (null reads as empty) or 32-bit numbers, as the message's inserts say.
void RaiseModuleError(CErrorHolder* holder, std::uint32_t recordedCode, std::uint32_t unit, std::uint32_t point,
                      CConnection* reporter, const char16_t* file, std::uint32_t errorCode, ...);

// Error 8 (operation not available) recorded with code 7: what an object answers for an operation whose work it
// cannot do, here also for the operations of the table engine and the Oracle layer that are not built yet.
inline constexpr std::uint32_t ERROR_NOT_AVAILABLE = 8;
inline constexpr std::uint32_t RECORDED_NOT_AVAILABLE = 7;
void RaiseNotAvailable(CErrorHolder* holder, std::uint32_t unit, std::uint32_t point, CConnection* reporter,
                       const char16_t* file);

// The out-of-memory error in the holder's error; null holder ignored.
void SetHolderOutOfMemory(CErrorHolder* holder);
