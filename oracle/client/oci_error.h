// The client's failures as the driver's errors: a failing status with the Oracle error number and text read from
// the client becomes a CXError in the caller's holder, its error code chosen by the category of the Oracle number,
// with the native number and text, the call site's identification and the status in the debug text. The connection's
// details come with the first error of a holder (the holder adds them when it records a connection's first error).
#pragma once

#include <cstdint>

class CErrorHolder;
class COracleConnection;

// The category of an Oracle error number: 1 locked or busy, 3 duplicate key, 4 integrity constraint, 5 logon
// refused, 8 mandatory value missing, 0 any other.
std::uint32_t nOracleErrorCategory(std::uint32_t nativeCode);

// With a handle, its first error record (OCIErrorGet with the handle type, the error handle's by default); without
// one, native number 0 and no text. No holder: nothing happens.
void RaiseOciError(COracleConnection* connection, CErrorHolder* holder, std::int32_t status, std::uint32_t unit,
                   std::uint32_t point, void* handle, std::uint32_t handleType = 2);
// The OCI7 form: the number is the data area's return code, the text from oerhms.
void RaiseOci7Error(COracleConnection* connection, CErrorHolder* holder, std::int32_t status, std::uint32_t unit,
                    std::uint32_t point, void* area);
// The OCI7 form for a number the client left elsewhere than in a data area (a column's return code).
void RaiseOci7NativeError(COracleConnection* connection, CErrorHolder* holder, std::int32_t status,
                          std::uint16_t native, std::uint32_t unit, std::uint32_t point);
void FillErrorRecord(COracleConnection* connection, CErrorHolder* holder, std::int32_t status, std::uint32_t nativeCode,
                     const char16_t* text, std::uint32_t unit, std::uint32_t point);
void OraErrorToHostError(COracleConnection* connection, CErrorHolder* holder, std::uint32_t nativeCode,
                         const char16_t* text);
