// COracleCatalogLister: the list of a database's objects the runtime asks the driver for, built as one query over the
// dictionary views from the request's flag bits, run as an internal query, and handed back as one UTF-16 text of
// entries separated by "\r\n". System schemas stay out unless asked for.
#pragma once

#include <cstdint>

#include "foundation/text_buffer.h"

class CConnection;
class CErrorHolder;
class CHostValue;

inline constexpr std::uint32_t CATALOG_TABLES = 1;
inline constexpr std::uint32_t CATALOG_VIEWS_AND_SYNONYMS = 2;
inline constexpr std::uint32_t CATALOG_SYSTEM_SCHEMAS = 4;
inline constexpr std::uint32_t CATALOG_PROCEDURES = 8;
inline constexpr std::uint32_t CATALOG_SORTED = 16;
inline constexpr std::uint32_t CATALOG_WITH_FIELDS = 32;

// The value becomes a UTF-16 text (type 16) holding the text, neither NULL nor marked: made as a text (type 110) and
// converted, since a type-16 value takes only the runtime's own strings. 0 when the conversion fails or memory
// refused the text.
int bSetWideTextValue(CHostValue* value, const char16_t* text);

class COracleCatalogLister {
 public:
  // One reference on the holder (the driver's), for the lister's life.
  explicit COracleCatalogLister(CErrorHolder* holder);
  virtual ~COracleCatalogLister();
  COracleCatalogLister(const COracleCatalogLister&) = delete;
  COracleCatalogLister& operator=(const COracleCatalogLister&) = delete;

  // The list of the connection's objects into the value (flags 0 count as 1); 1 when it was made, else 0 with the
  // value NULL and the error in the holder (a failed open leaves the value as it was).
  int bList(CHostValue* value, CConnection* connection, std::uint32_t flags);
  static void BuildCatalogQuery(CTextBufferW& text, std::uint32_t flags);
  // False when memory refused part of the entry.
  static bool AppendCatalogEntry(CTextBufferW& list, const char16_t* owner, const char16_t* name,
                                 const char16_t* type, std::uint32_t flags);

 private:
  int bRunCatalogQuery(CHostValue* value, std::uint32_t flags);

  CErrorHolder* m_pErrorHolder;
  CConnection* m_pConnection = nullptr;
};
