// Three fixed tables of the Oracle connection: the Oracle data type written in CREATE TABLE for each column type
// (by the server's major version and the API set of the client), the Oracle character-set id of a Windows ANSI code
// page (for a session in UTF-16), and the NLS language and territory of a Windows locale identifier (for a session
// whose language and territory are not configured).
#pragma once

#include <cstdint>

class CTString;
class CTypeNameTable;

// Sets the Oracle entries of a type-name table that holds the generic ones; the types it does not name (the reals,
// money, the one-character and fixed texts, the host-typed dates and reals) keep their generic texts. 0 when memory
// fails. serverMajor is -1 while the server is not known.
int FillOracleTypeNames(CTypeNameTable* table, bool oci7ApiSet, std::int32_t serverMajor);

// The Oracle character-set id of a Windows ANSI code page, -1 for a code page without one.
std::int32_t nCodePageToOracleCharset(std::uint32_t codePage);

// The code page of texts in an Oracle character set: the ANSI page of the table above, 65001 for AL32UTF8 (873);
// 0 for a character set no code page holds.
std::uint32_t nOracleCharsetToCodePage(std::int32_t charset);

// The code page of texts in an Oracle character set named as the client names it ("WE8MSWIN1252", "AL32UTF8"); 0
// for a name the table above does not hold.
std::uint32_t nOracleCharsetNameToCodePage(const char16_t* name);

// The NLS language and territory of a Windows locale identifier: 1 and both names, or 0 with both untouched.
int bLcidToNlsNames(std::uint32_t lcid, CTString& language, CTString& territory);
