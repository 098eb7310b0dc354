// The client call wrappers: one function per client operation, the only way to the client apart from the session
// set-up of the connection. Each takes the connection and the caller's error holder first, picks the OCI entry or
// its OCI7 counterpart by gbOci7Mode, runs each client call in a guarded region with its own point (identification
// 100.n), decides which statuses pass, and on failure leaves the connection's OCI error in the holder followed by
// the wrapper's message. None throws. Results are 1 on success and 0 on failure unless said.
//
// With the OCI7 set the callers still speak the OCI model: a statement handle is a 64-byte cursor data area, and
// the handle kinds OCI7 lacks are the placeholder handle (all bits one), which the free ignores.
//
// Handles are untyped here so that callers outside oracle/client/ need not see the client's declarations.
#pragma once

#include <cstdint>

#include "foundation/t_string.h"

class CErrorHolder;
class COracleConnection;

// The OCI7 stand-in for the handle kinds that set does not have.
void* pOci7PlaceholderHandle();

// ---- statements ----
// The new handle, or null on failure.
void* nOciHandleAlloc(COracleConnection* connection, CErrorHolder* holder, std::uint32_t kind);
int nOciHandleFree(COracleConnection* connection, CErrorHolder* holder, void* handle, std::uint32_t kind);
int nOci7OpenCursor(COracleConnection* connection, CErrorHolder* holder, void* area);
int nOciStmtPrepare(COracleConnection* connection, CErrorHolder* holder, void* statement, const char16_t* text);
// kind: 1 a query (run with no iteration), 6 a CREATE (run outside the attached global transaction); text only for
// messages. The last argument is not looked at.
int nOciStmtExecute(COracleConnection* connection, CErrorHolder* holder, void* statement, const char16_t* text,
                    std::uint32_t kind, std::uint32_t mode, std::uint32_t* needData, std::uint32_t unused);
int nOciAttrGet(COracleConnection* connection, CErrorHolder* holder, void* handle, std::uint32_t kind, void* value,
                std::uint32_t attribute, std::uint32_t* size);
int nOciAttrSet(COracleConnection* connection, CErrorHolder* holder, void* handle, std::uint32_t kind, void* value,
                std::uint32_t attribute, std::uint32_t size);
// The transaction handle attached to the connection's service context; null when none or on failure.
void* pOciGetAttachedTransaction(COracleConnection* connection, CErrorHolder* holder);
int nOciParamGet(COracleConnection* connection, CErrorHolder* holder, void* handle, std::uint32_t kind,
                 void** parameter, std::uint32_t position);
int nOciDefineByPos(COracleConnection* connection, CErrorHolder* holder, void* statement, void** define,
                    std::uint32_t position, void* buffer, std::uint32_t size, std::uint16_t* returnedLength,
                    std::uint16_t dataType, void* indicator, std::uint16_t* returnCode, std::uint32_t mode,
                    std::uint32_t columnType);
// name null or empty: the placeholder is ":<position>".
int nOciBindByName(COracleConnection* connection, CErrorHolder* holder, void* statement, void** bind,
                   std::uint32_t position, void* buffer, std::uint32_t size, std::uint16_t dataType, void* indicator,
                   std::uint16_t* returnCode, std::uint32_t mode, const char16_t* name, std::uint32_t columnType);
// end: 1 when the rows are exhausted; needData (may be null): 1 when a piece is wanted.
int nOciStmtFetch(COracleConnection* connection, CErrorHolder* holder, void* statement, std::uint32_t rows,
                  std::uint16_t orientation, std::uint32_t* end, std::uint32_t* needData);
int nOciDescribeAny(COracleConnection* connection, CErrorHolder* holder, const char16_t* name, std::uint8_t objectType,
                    void* describe);
int nOciDescribeColumn(COracleConnection* connection, CErrorHolder* holder, void* area, std::uint32_t position,
                       std::int32_t* databaseSize, std::int16_t* databaseType, CTString& name, std::int16_t* precision,
                       std::int16_t* scale, std::int16_t* nullable);
int nOciDescriptorAlloc(COracleConnection* connection, CErrorHolder* holder, void* environment, void** descriptor,
                        std::uint32_t type);
int nOciBindDynamic(COracleConnection* connection, CErrorHolder* holder, void* bind, void* inContext, void* inCallback,
                    void* outContext, void* outCallback);
// The define out names the column a fetched piece is for: the handle with the OCI set, the context the define gave
// with the OCI7 set (the statement when it gave none).
int nOciGetPieceInfo(COracleConnection* connection, CErrorHolder* holder, void* statement, void** handle,
                     std::uint32_t* handleKind, std::uint8_t* piece, void** define = nullptr);
int nOciSetPieceInfo(COracleConnection* connection, CErrorHolder* holder, void* handle, std::uint32_t handleKind,
                     void* buffer, std::uint32_t* length, std::uint8_t piece, std::uint16_t* indicator,
                     std::uint16_t* returnCode);

// ---- transactions and large values ----
int nOciTransStart(COracleConnection* connection, CErrorHolder* holder, std::uint32_t flags);
int nOciTransCommit(COracleConnection* connection, CErrorHolder* holder, std::uint32_t flags);
int nOciTransRollback(COracleConnection* connection, CErrorHolder* holder);
int nOciTransDetach(COracleConnection* connection, CErrorHolder* holder);
int nOciTransPrepare(COracleConnection* connection, CErrorHolder* holder, std::uint32_t* mustCommit);
int nOciLobOpen(COracleConnection* connection, CErrorHolder* holder, void* locator, std::uint32_t descriptorType,
                std::uint8_t mode);
int nOciLobClose(COracleConnection* connection, CErrorHolder* holder, void* locator, std::uint32_t descriptorType);
int nOciLobRead(COracleConnection* connection, CErrorHolder* holder, void* locator, std::uint32_t* amount,
                std::uint32_t offset, void* buffer, std::uint32_t bufferLength, std::uint32_t* morePieces,
                std::uint32_t national);
int nOciLobWrite(COracleConnection* connection, CErrorHolder* holder, void* locator, std::uint32_t* amount,
                 std::uint32_t offset, void* buffer, std::uint32_t length, std::uint8_t piece, std::uint32_t national);
// 1 when the locator is initialised; else 0 with error 1041 on top of whatever the holder holds.
int nOciLobLocatorIsInit(COracleConnection* connection, CErrorHolder* holder, void* locator);
