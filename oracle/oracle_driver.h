// The Oracle driver classes: CDriverOra (the Oracle layer's middle class) and COracleDriver (the final class that
// piQueryInterface makes). Neither adds fields. Their factories choose the Oracle classes, so every connection,
// description and table the generic code creates is the Oracle one.
//
// The database list, the native type list, the catalog and the referential links are answered in
// oracle_driver_catalog.cpp. The statement object (slot 51) is the Oracle cursor.
#pragma once

#include "driver/driver.h"

class CDriverOra : public CDriver {
 public:
  int bListDatabases(void* value) override;  // slot 28
};

class COracleDriver final : public CDriverOra {
 public:
  void DeletingDestructor(std::uint32_t flags) override { DestroyAs(this, flags); }                // slot 39
  int bGetNativeTypeList(void* value) override;                                                    // slot 23
  void* pCreateFieldValue(CErrorHolder* holder, CConnection* connection) override;                 // slot 44
  // A field value of slot 44 with an own 24-byte buffer of 8-bit text, empty; the second word is the factory's
  // connection, passed on as it comes.
  void* pCreateNativeTextValue(CErrorHolder* holder, RuntimeWord connection) override;             // slot 45
  void* pCreateParameterBinding(RuntimeWord a, RuntimeWord b) override;                            // slot 46
  void* pCreateParameter(RuntimeWord a, RuntimeWord b) override;                                   // slot 47
  CRecordDescription* pCreateDescription(CConnection* connection, CErrorHolder* holder) override;  // slot 48
  CTable* pCreateTable(IHostFileDescription* description, CConnection* connection,
                       CErrorHolder* holder) override;                                                     // slot 50
  // A COracleCursor of (table, error holder).
  void* pCreateCursor(RuntimeWord table, RuntimeWord holder) override;                                     // slot 51
  void* pCreateColumnBinding(RuntimeWord a, RuntimeWord b) override;                                       // slot 52
  CSqlRewriter* pCreateSqlRewriter(CErrorHolder* holder, CConnection* connection) override;                 // slot 53
  // Oracle's identifiers come from a sequence, not from the maximum.
  void* pCreateAutomaticIdentifier() override;                                                              // slot 55
  CRecordDescription* pCreateDescriptionFor(const char16_t* name, CConnection* connection) override;       // slot 56
  CConnection* pCreateConnection(const char16_t* text, IHostConnectionDescription* description) override;  // slot 61
  int bListCatalog(void* value, CConnection* connection, std::uint32_t flags) override;                    // slot 64
  int bDescribeTable(std::uint32_t* found, const char16_t* name, CConnection* connection) override;        // slot 65
  int bGetReferentialLinks(CConnection* connection, RuntimeWord second, RuntimeWord third, void* value,
                           std::uint32_t flags) override;  // slot 66
  // The links of the owner's table (patterns of the dictionary's LIKE: an empty owner is "%"), one line each, into
  // the value as UTF-16 text.
  int bListReferentialLinks(const char16_t* owner, const char16_t* table, CConnection* connection,
                            std::uint32_t flags, void* value);
};
