// What the connection layer and the tables ask of the driver object, declared here so that sql/ and engine/ never
// see the driver's class: giving a connection back, forgetting a table the access interfaces' lookup cache may hold,
// the dump labels, and the factories a table registry creates through. driver/ defines them.
#pragma once

#include <cstdint>

class CAccessInterface;
class IHostNamedObject;
class CConnection;
class CCursor;
class CDriver;
class CErrorHolder;
class CTable;
class CTableRegistry;
class CSqlRewriter;
class CValueLeaf;
class CFieldValue;
class CColumn;
class CHostValue;
class CParameterBinding;
class IHostFileDescription;

// Gives a connection reference back through the driver object whose registry holds it, the one that made the table
// or description giving it back (which may drop a connection nothing uses any more), never through whichever driver
// is current; plainly when no registry holds it any more (its driver object may be gone).
void ReleaseConnectionThroughDriver(CConnection* connection);

// Empties the access interfaces' lookup cache when it holds this table; whatever takes a table away calls it first.
void ForgetCachedTable(const CTable* table);
// Empties that cache when it holds a table found in this registry; a registry going away calls it.
void ForgetCachedRegistry(const CTableRegistry* registry);

// Whether the current driver object's statement objects fetch backwards; true without a driver object.
bool bCurrentDriverReadsBackwards();
// Label 1 to 28 of the current driver object's dump labels (filled on first use); empty without a driver object.
const char16_t* pszCurrentDriverLabel(std::uint32_t index);

// The driver object's factories as a table registry uses them: null without a driver.
CErrorHolder* pCreateErrorHolderThrough(CDriver* driver);
CTable* pCreateTableThrough(CDriver* driver, IHostFileDescription* description, CConnection* connection,
                            CErrorHolder* holder);

// The current driver object's rewriter factory (count 0): the Oracle driver's makes its own class. Null without a
// driver object or when none was made.
CSqlRewriter* pCreateSqlRewriterThroughDriver(CErrorHolder* holder, CConnection* connection);
// The current driver object's value-leaf factory (count 0); null without a driver object or when none was made.
CValueLeaf* pCreateValueLeafThroughDriver(CFieldValue* value, std::uint64_t position, std::uint32_t flags,
                                          const char16_t* name);
// The same without a name, then given the column (CValueLeaf::SetColumn).
CValueLeaf* pCreateValueLeafForThroughDriver(CColumn* column, CFieldValue* value, std::uint64_t position,
                                             std::uint32_t flags);
// A field value of the current driver object (count 0): bound to the column when one is given (null, the value
// released, when that fails), else empty of the host type. Null without a driver object.
CFieldValue* pCreateItemForValueThroughDriver(CErrorHolder* holder, CConnection* connection, CColumn* column,
                                              std::uint16_t hostType);
// The same for the type of a runtime value, then holding that value; null, the value released, when the value
// cannot be taken.
CFieldValue* pCreateBoundItemThroughDriver(CErrorHolder* holder, CConnection* connection, CColumn* column,
                                           CHostValue& value);
// The current driver object's binding factories (count 0): a result column's binding (slot 46) and a statement
// parameter's (slot 47), for the entry at that index. Null without a driver object or when none was made.
CParameterBinding* pCreateResultBindingThroughDriver(void* entry, std::uint32_t index);
CParameterBinding* pCreateParameterBindingThroughDriver(void* entry, std::uint32_t index);
// The current driver object's statement-object factory (slot 51) for a table's record context, and its automatic
// identifier factory (slot 55); count 0, null without a driver object or when none was made.
void* pCreateCursorThroughDriver(CTable* table, CErrorHolder* holder);
void* pCreateAutomaticIdentifierThroughDriver();
// The current driver object's table factory (slot 50), count 0; null without a driver object or when none was made.
CTable* pCreateTableThroughDriver(IHostFileDescription* description, CConnection* connection, CErrorHolder* holder);

// A table's change told to every other open table of the access interface that created it (the table being skipped):
// each runs its NotifyOtherTables. Nothing without an access interface.
void NotifyTablesOfOwner(CAccessInterface* owner, CTable* skip, std::uint32_t kind, CCursor* context,
                         std::uint32_t flags);

// Puts a table among the open tables of an access interface (its copy made through a clone map); nothing without one.
void RegisterTableWithOwner(CAccessInterface* owner, CTable* table);

// The query source object of the access interface that registered a table (no reference): the runtime's object a
// query of that table is linked to. Null without an owner or a source.
IHostNamedObject* pGetOwnerQuerySource(CAccessInterface* owner);
