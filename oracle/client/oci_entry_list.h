// The client entries in slot order: the OCI set (slots 0 to 108) then the OCI7 set (109 to 139). An entry the driver
// calls is listed with its published signature; the others are bound all the same and never called, so their
// signature does not matter. The names are the export names looked up and the texts the fall-back stubs throw.
//
// QZ_OCI_ENTRIES(CALLED, UNCALLED): CALLED(name, result, (parameters)), UNCALLED(name).
#pragma once

#include "oracle/client/oci_declarations.h"

// clang-format off
#define QZ_OCI_ENTRIES(CALLED, UNCALLED) \
  CALLED(OCIClientVersion, void, (sword*, sword*, sword*, sword*, sword*)) \
  CALLED(OCIInitialize, sword, (ub4, void*, MallocHook, ReallocHook, FreeHook)) \
  CALLED(OCITerminate, sword, (ub4)) \
  CALLED(OCIEnvCreate, sword, (OCIEnv**, ub4, void*, MallocHook, ReallocHook, FreeHook, std::size_t, void**)) \
  CALLED(OCIEnvNlsCreate, sword, (OCIEnv**, ub4, void*, MallocHook, ReallocHook, FreeHook, std::size_t, void**, \
                                  ub2, ub2)) \
  CALLED(OCINlsGetInfo, sword, (void*, OCIError*, OraText*, std::size_t, ub2)) \
  CALLED(OCIHandleAlloc, sword, (const void*, void**, ub4, std::size_t, void**)) \
  CALLED(OCIHandleFree, sword, (void*, ub4)) \
  CALLED(OCIDescriptorAlloc, sword, (const void*, void**, ub4, std::size_t, void**)) \
  CALLED(OCIDescriptorFree, sword, (void*, ub4)) \
  CALLED(OCIEnvInit, sword, (OCIEnv**, ub4, std::size_t, void**)) \
  CALLED(OCIServerAttach, sword, (OCIServer*, OCIError*, const OraText*, sb4, ub4)) \
  CALLED(OCIServerDetach, sword, (OCIServer*, OCIError*, ub4)) \
  CALLED(OCISessionBegin, sword, (OCISvcCtx*, OCIError*, OCISession*, ub4, ub4)) \
  CALLED(OCISessionEnd, sword, (OCISvcCtx*, OCIError*, OCISession*, ub4)) \
  UNCALLED(OCILogon) \
  UNCALLED(OCILogoff) \
  CALLED(OCIStmtPrepare, sword, (OCIStmt*, OCIError*, const OraText*, ub4, ub4, ub4)) \
  UNCALLED(OCIBindByPos) \
  CALLED(OCIBindByName, sword, (OCIStmt*, OCIBind**, OCIError*, const OraText*, sb4, void*, sb4, ub2, void*, ub2*, \
                                ub2*, ub4, ub4*, ub4)) \
  UNCALLED(OCIBindObject) \
  CALLED(OCIBindDynamic, sword, (OCIBind*, OCIError*, void*, CallbackInBind, void*, CallbackOutBind)) \
  UNCALLED(OCIBindArrayOfStruct) \
  CALLED(OCIStmtGetPieceInfo, sword, (OCIStmt*, OCIError*, void**, ub4*, ub1*, ub4*, ub4*, ub1*)) \
  CALLED(OCIStmtSetPieceInfo, sword, (void*, ub4, OCIError*, const void*, ub4*, ub1, const void*, ub2*)) \
  CALLED(OCIStmtExecute, sword, (OCISvcCtx*, OCIStmt*, OCIError*, ub4, ub4, const OCISnapshot*, OCISnapshot*, ub4)) \
  CALLED(OCIDefineByPos, sword, (OCIStmt*, OCIDefine**, OCIError*, ub4, void*, sb4, ub2, void*, ub2*, ub2*, ub4)) \
  UNCALLED(OCIDefineObject) \
  UNCALLED(OCIDefineDynamic) \
  UNCALLED(OCIDefineArrayOfStruct) \
  CALLED(OCIStmtFetch, sword, (OCIStmt*, OCIError*, ub4, ub2, ub4)) \
  UNCALLED(OCIStmtGetBindInfo) \
  CALLED(OCIDescribeAny, sword, (OCISvcCtx*, OCIError*, void*, ub4, ub1, ub1, ub1, OCIDescribe*)) \
  CALLED(OCIParamGet, sword, (const void*, ub4, OCIError*, void**, ub4)) \
  UNCALLED(OCIParamSet) \
  CALLED(OCITransStart, sword, (OCISvcCtx*, OCIError*, uword, ub4)) \
  CALLED(OCITransDetach, sword, (OCISvcCtx*, OCIError*, ub4)) \
  CALLED(OCITransCommit, sword, (OCISvcCtx*, OCIError*, ub4)) \
  CALLED(OCITransRollback, sword, (OCISvcCtx*, OCIError*, ub4)) \
  CALLED(OCITransPrepare, sword, (OCISvcCtx*, OCIError*, ub4)) \
  UNCALLED(OCITransMultiPrepare) \
  UNCALLED(OCITransForget) \
  CALLED(OCIErrorGet, sword, (void*, ub4, OraText*, sb4*, OraText*, ub4, ub4)) \
  UNCALLED(OCILobAppend) \
  UNCALLED(OCILobAssign) \
  UNCALLED(OCILobCharSetForm) \
  UNCALLED(OCILobCharSetId) \
  UNCALLED(OCILobCopy) \
  UNCALLED(OCILobCreateTemporary) \
  CALLED(OCILobClose, sword, (OCISvcCtx*, OCIError*, OCILobLocator*)) \
  UNCALLED(OCILobDisableBuffering) \
  UNCALLED(OCILobEnableBuffering) \
  UNCALLED(OCILobErase) \
  CALLED(OCILobFileClose, sword, (OCISvcCtx*, OCIError*, OCILobLocator*)) \
  UNCALLED(OCILobFileCloseAll) \
  UNCALLED(OCILobFileExists) \
  UNCALLED(OCILobFileGetName) \
  UNCALLED(OCILobFileIsOpen) \
  CALLED(OCILobFileOpen, sword, (OCISvcCtx*, OCIError*, OCILobLocator*, ub1)) \
  UNCALLED(OCILobFileSetName) \
  UNCALLED(OCILobFlushBuffer) \
  UNCALLED(OCILobFreeTemporary) \
  UNCALLED(OCILobGetChunkSize) \
  UNCALLED(OCILobGetLength) \
  UNCALLED(OCILobIsEqual) \
  UNCALLED(OCILobIsOpen) \
  UNCALLED(OCILobIsTemporary) \
  UNCALLED(OCILobLoadFromFile) \
  UNCALLED(OCILobLocatorAssign) \
  CALLED(OCILobLocatorIsInit, sword, (OCIEnv*, OCIError*, const OCILobLocator*, boolean*)) \
  CALLED(OCILobOpen, sword, (OCISvcCtx*, OCIError*, OCILobLocator*, ub1)) \
  CALLED(OCILobRead, sword, (OCISvcCtx*, OCIError*, OCILobLocator*, ub4*, ub4, void*, ub4, void*, CallbackLobRead, \
                             ub2, ub1)) \
  UNCALLED(OCILobTrim) \
  CALLED(OCILobWrite, sword, (OCISvcCtx*, OCIError*, OCILobLocator*, ub4*, ub4, void*, ub4, ub1, void*, \
                              CallbackLobWrite, ub2, ub1)) \
  UNCALLED(OCILobWriteAppend) \
  UNCALLED(OCIBreak) \
  UNCALLED(OCIReset) \
  CALLED(OCIServerVersion, sword, (void*, OCIError*, OraText*, ub4, ub1)) \
  UNCALLED(OCIServerRelease) \
  CALLED(OCIAttrGet, sword, (const void*, ub4, void*, ub4*, ub4, OCIError*)) \
  CALLED(OCIAttrSet, sword, (void*, ub4, void*, ub4, ub4, OCIError*)) \
  UNCALLED(OCISvcCtxToLda) \
  UNCALLED(OCILdaToSvcCtx) \
  UNCALLED(OCIResultSetToStmt) \
  UNCALLED(OCIFileClose) \
  UNCALLED(OCIUserCallbackRegister) \
  UNCALLED(OCIUserCallbackGet) \
  UNCALLED(OCISharedLibInit) \
  UNCALLED(OCIFileExists) \
  UNCALLED(OCIFileFlush) \
  UNCALLED(OCIFileGetLength) \
  UNCALLED(OCIFileInit) \
  UNCALLED(OCIFileOpen) \
  UNCALLED(OCIFileRead) \
  UNCALLED(OCIFileSeek) \
  UNCALLED(OCIFileTerm) \
  UNCALLED(OCIFileWrite) \
  UNCALLED(OCIDateToText) \
  CALLED(OCINumberToText, sword, (OCIError*, const OCINumber*, const OraText*, ub4, const OraText*, ub4, ub4*, \
                                  OraText*)) \
  CALLED(OCINumberFromText, sword, (OCIError*, const OraText*, ub4, const OraText*, ub4, const OraText*, ub4, \
                                    OCINumber*)) \
  UNCALLED(OCIDateFromText) \
  CALLED(OCIDateTimeToText, sword, (void*, OCIError*, const OCIDateTime*, const OraText*, ub1, ub1, const OraText*, \
                                    std::size_t, ub4*, OraText*)) \
  CALLED(OCIDateTimeConstruct, sword, (void*, OCIError*, OCIDateTime*, sb2, ub1, ub1, ub1, ub1, ub1, ub4, OraText*, \
                                       std::size_t)) \
  CALLED(OCIIntervalGetYearMonth, sword, (void*, OCIError*, sb4*, sb4*, const OCIInterval*)) \
  CALLED(OCIIntervalGetDaySecond, sword, (void*, OCIError*, sb4*, sb4*, sb4*, sb4*, sb4*, const OCIInterval*)) \
  CALLED(OCIIntervalSetDaySecond, sword, (void*, OCIError*, sb4, sb4, sb4, sb4, sb4, OCIInterval*)) \
  CALLED(OCIIntervalSetYearMonth, sword, (void*, OCIError*, sb4, sb4, OCIInterval*)) \
  UNCALLED(OCIThreadProcessInit) \
  UNCALLED(OCIThreadInit) \
  CALLED(obindps, sword, (Oci7DataArea*, ub1, OraText*, sb4, ub1*, sb4, sword, sword, sb2*, ub2*, ub2*, sb4, sb4, \
                          sb4, sb4, ub4, ub4*, OraText*, sb4, sword)) \
  UNCALLED(obreak) \
  UNCALLED(ocan) \
  CALLED(oclose, sword, (Oci7DataArea*)) \
  CALLED(ocof, sword, (Oci7DataArea*)) \
  CALLED(ocom, sword, (Oci7DataArea*)) \
  CALLED(ocon, sword, (Oci7DataArea*)) \
  CALLED(odefinps, sword, (Oci7DataArea*, ub1, sword, ub1*, sb4, sword, sword, sb2*, OraText*, sb4, sword, ub2*, \
                           ub2*, sb4, sb4, sb4, sb4)) \
  UNCALLED(odessp) \
  CALLED(odescr, sword, (Oci7DataArea*, sword, sb4*, sb2*, sb1*, sb4*, sb4*, sb2*, sb2*, sb2*)) \
  CALLED(oerhms, sword, (Oci7DataArea*, sb2, OraText*, sword)) \
  UNCALLED(oermsg) \
  CALLED(oexec, sword, (Oci7DataArea*)) \
  UNCALLED(oexfet) \
  UNCALLED(oexn) \
  CALLED(ofen, sword, (Oci7DataArea*, sword)) \
  UNCALLED(ofetch) \
  UNCALLED(oflng) \
  CALLED(ogetpi, sword, (Oci7DataArea*, ub1*, void**, ub4*, ub4*)) \
  UNCALLED(oopt) \
  UNCALLED(opinit) \
  CALLED(olog, sword, (Oci7DataArea*, ub1*, OraText*, sword, OraText*, sword, OraText*, sword, ub4)) \
  CALLED(ologof, sword, (Oci7DataArea*)) \
  CALLED(oopen, sword, (Oci7DataArea*, Oci7DataArea*, OraText*, sword, sword, OraText*, sword)) \
  CALLED(oparse, sword, (Oci7DataArea*, OraText*, sb4, sword, ub4)) \
  CALLED(orol, sword, (Oci7DataArea*)) \
  CALLED(osetpi, sword, (Oci7DataArea*, ub1, void*, ub4*)) \
  UNCALLED(onbset) \
  UNCALLED(onbtst) \
  UNCALLED(onbclr) \
  UNCALLED(ognfd)
// clang-format on
