// The runtime's description objects as the driver calls them: by operation number, so each is declared with its
// operations in slot order, and slots the driver never calls are declared only to keep the later ones in place. The
// runtime owns these objects; the driver keeps a pointer only where it takes a reference (the connection
// description's slots 5 and 6).
//
// Texts are UTF-16 and may be null.
#pragma once

#include <cstdint>

// A word the runtime hands over and the driver passes on untouched, never reading it: a 64-bit value or a pointer.
// One name everywhere, so that it is never taken for a runtime value record.
using RuntimeWord = std::uintptr_t;

// The runtime's description of a connection.
class IHostConnectionDescription {
 public:
  virtual std::uint32_t nGetInterfaceVersion() = 0;           // slot 0
  virtual void Slot1() = 0;                                   // slot 1
  virtual void Slot2() = 0;                                   // slot 2
  virtual void Slot3() = 0;                                   // slot 3
  virtual void Slot4() = 0;                                   // slot 4
  virtual void AddRef(std::uint32_t a, std::uint32_t b) = 0;  // slot 5: called with (0, 1)
  virtual void Release() = 0;                                 // slot 6
  virtual const char16_t* pszGetUserId() = 0;                 // slot 7
  virtual const char16_t* pszGetPassword() = 0;               // slot 8
  virtual const char16_t* pszGetDataSource() = 0;             // slot 9: the server
  virtual void Slot10() = 0;                                  // slot 10
  virtual std::uint32_t nGetAccessMode() = 0;                 // slot 11: 1 read-only
  virtual void Slot12() = 0;                                  // slot 12
  virtual void Slot13() = 0;                                  // slot 13
  virtual const char16_t* pszGetProvider() = 0;               // slot 14
  virtual std::int32_t nGetConnectionTimeout() = 0;           // slot 15
  virtual std::int32_t nGetCommandTimeout() = 0;              // slot 16
  virtual const char16_t* pszGetExtendedInformation() = 0;    // slot 17
  virtual const char16_t* pszGetName() = 0;                   // slot 18
  virtual std::uint32_t nGetCursorLocationFlags() = 0;        // slot 19: bit 0 server, bit 1 client
  virtual std::uint32_t nGetNamedParameterFlag() = 0;         // slot 20
  virtual const char16_t* pszGetDatabase() = 0;               // slot 21
  virtual std::int64_t nGetCacheSize() = 0;                   // slot 22: asked from version 4 on
  virtual void Slot23() = 0;                                  // slot 23
  virtual void Slot24() = 0;                                  // slot 24
  virtual const char16_t* pszGetLabel() = 0;                  // slot 25
};

// The runtime's file-description interface: the description of a table or a query result. The driver's own
// CRecordDescription implements it (the runtime reads tables through it), and the runtime may hand the driver a
// description of its own making; either way the driver calls only these slots. Slot 21 is what the driver calls
// the runtime table description's name.
class IHostFileDescription {
 public:
  virtual std::uint32_t nGetInterfaceLevel() = 0;         // slot 0
  virtual std::int32_t nSlot1() = 0;                      // slot 1
  virtual std::int32_t nSlot2() = 0;                      // slot 2
  virtual std::int32_t nSlot3() = 0;                      // slot 3
  virtual void Slot4() = 0;                               // slot 4
  virtual std::uint32_t AddExternalRef() = 0;             // slot 5
  virtual std::uint32_t nReleaseExternal() = 0;           // slot 6
  virtual const char16_t* pszGetName() = 0;               // slot 7
  virtual const char16_t* pszGetNameAgain() = 0;          // slot 8
  virtual const char16_t* pszGetEmptyText() = 0;          // slot 9
  virtual std::uint32_t nGetRecordSize() = 0;             // slot 10
  virtual std::uint32_t nGetFullSize() = 0;               // slot 11
  virtual std::uint32_t nGetItemCount() = 0;              // slot 12
  virtual std::uint32_t nGetKeyCount() = 0;               // slot 13
  virtual std::uint32_t nGetLargeItemCount() = 0;         // slot 14
  virtual std::uint32_t nGetColumnCount() = 0;            // slot 15
  virtual void* piGetItem(std::uint32_t index) = 0;       // slot 16
  virtual void* piFindItem(const char16_t* name) = 0;     // slot 17
  virtual void* piGetKey(std::uint32_t index) = 0;        // slot 18
  virtual void* piGetLargeItem(std::uint32_t index) = 0;  // slot 19
  virtual std::int32_t nSlot20() = 0;                     // slot 20
  virtual const char16_t* pszGetSqlTableName() = 0;       // slot 21
  virtual void* piGetIdentifyingKey() = 0;                // slot 22
  virtual const char16_t* pszGetSecondaryName() = 0;      // slot 23
  virtual const char16_t* pszGetTertiaryName() = 0;       // slot 24
  virtual const char16_t* pszGetOwnerName() = 0;          // slot 25
  virtual const char16_t* pszGetDatabaseName() = 0;       // slot 26
};

class CHostValue;
class IHostExpressionNode;

// The runtime's item-description interface: one item (column) of a file or query description. The driver's
// CColumnDescriptor implements it, so the runtime reads the driver's columns through the same operations with which
// the driver reads the runtime's own items. Slots 38, 39 and 44 are the runtime's item kind (0 a column, 1 an
// expression), sub-description and item type code, 46 whether the item of a query can be written back, 50 the column
// a query item comes from, 51 the name of its file in the query and 52 the expression tree of an expression item;
// the driver's own descriptors answer 0 (null) at all of them. A sub-description is an item too: its kind is its
// slot 38.
class IHostItemDescription {
 public:
  virtual std::uint32_t nGetInterfaceLevel() = 0;                        // slot 0
  virtual std::int32_t nSlot1() = 0;                                     // slot 1
  virtual std::int32_t nSlot2() = 0;                                     // slot 2
  virtual std::int32_t nSlot3() = 0;                                     // slot 3
  virtual void Slot4() = 0;                                              // slot 4
  virtual std::uint32_t AddRef() = 0;                                    // slot 5
  virtual std::uint32_t nRelease() = 0;                                  // slot 6
  virtual const char16_t* pszGetName() = 0;                              // slot 7
  virtual std::uint32_t nGetElementCount() = 0;                          // slot 8
  virtual std::uint32_t nGetSize() = 0;                                  // slot 9
  virtual std::uint32_t nGetDataLength(std::int32_t element) = 0;        // slot 10
  virtual std::uint32_t nGetTotalSize() = 0;                             // slot 11
  virtual std::uint32_t nGetType() = 0;                                  // slot 12
  virtual std::uint32_t nGetPosition() = 0;                              // slot 13
  virtual std::int32_t bIsKeyed() = 0;                                   // slot 14
  virtual std::int32_t bIsMemo() = 0;                                    // slot 15
  virtual std::int32_t bIsTextMemo() = 0;                                // slot 16
  virtual std::int32_t bIsBinaryMemo() = 0;                              // slot 17
  virtual std::int32_t bIsNumeric() = 0;                                 // slot 18
  virtual std::int32_t bIsText() = 0;                                    // slot 19
  virtual std::uint32_t nGetKeyNumber() = 0;                             // slot 20
  virtual std::uint32_t nGetComponentCount() = 0;                        // slot 21
  virtual std::int32_t bIsPrimaryKey() = 0;                              // slot 22
  virtual std::int32_t bIsUnique() = 0;                                  // slot 23
  virtual std::int32_t bIsKeyWithDuplicates() = 0;                       // slot 24
  virtual std::int32_t bIsCompositeKey() = 0;                            // slot 25
  virtual std::int32_t bIsAscendingKey() = 0;                            // slot 26
  virtual std::int32_t bIsDescending() = 0;                              // slot 27
  virtual std::int32_t bHasFlag0080() = 0;                               // slot 28
  virtual std::int32_t bHasFlag0040() = 0;                               // slot 29
  virtual std::int32_t bHasFlag0020() = 0;                               // slot 30
  virtual IHostItemDescription* pGetComponent(std::uint32_t index) = 0;  // slot 31: from 1, referenced
  virtual std::uint32_t nGetElementOffset(std::int32_t element) = 0;     // slot 32
  virtual std::uint32_t nGetNullFlagIndex(std::int32_t element) = 0;     // slot 33
  virtual CHostValue* pGetDefaultValue() = 0;                            // slot 34
  virtual const char16_t* pszGetSecondName() = 0;                        // slot 35
  virtual const char16_t* pszGetAlias() = 0;                             // slot 36
  virtual const char16_t* pszGetThirdName() = 0;                         // slot 37
  virtual std::uint32_t nGetItemKind() = 0;                              // slot 38
  virtual IHostItemDescription* piGetSubDescription() = 0;               // slot 39
  virtual std::uint32_t nGetPrecision() = 0;                             // slot 40
  virtual std::uint32_t nGetScale() = 0;                                 // slot 41
  virtual const char16_t* pszGetCaption() = 0;                           // slot 42
  virtual const char16_t* pszGetTableName() = 0;                         // slot 43
  virtual std::uint32_t nGetItemTypeCode() = 0;                          // slot 44
  virtual void Slot45() = 0;                                             // slot 45
  virtual std::int32_t bIsUpdatable() = 0;                               // slot 46
  virtual void Slot47() = 0;                                             // slot 47
  virtual std::int32_t bIsOption4Clear() = 0;                            // slot 48
  virtual void SetOption4(std::int32_t clear) = 0;                       // slot 49
  virtual const char16_t* pszGetOrigin() = 0;                            // slot 50
  virtual const char16_t* pszGetFileName() = 0;                          // slot 51
  virtual IHostExpressionNode* piGetExpression() = 0;                    // slot 52
  virtual std::int32_t nSlot53() = 0;                                    // slot 53
  virtual std::int32_t bIsNullAllowed() = 0;                             // slot 54
  virtual void DeletingDestructor(std::uint32_t flags) = 0;              // slot 55
  virtual void SetPrecision(std::uint32_t precision) = 0;                // slot 56
  virtual void SetScale(std::uint32_t scale) = 0;                        // slot 57
  virtual IHostItemDescription* pCopyAs(IHostFileDescription* description,
                                        std::uint32_t options) = 0;  // slot 58
  // The span of a select item or of an INSERT's column in the statement's text; 0 and 0 for any other item.
  virtual std::uint32_t nGetTextStart() = 0;  // slot 59
  virtual std::uint32_t nGetTextEnd() = 0;    // slot 60
};

// The runtime's interface header (slots 0 to 4) where the driver calls none of it.
class IHostObjectHeader {
 public:
  virtual void Slot0() = 0;
  virtual void Slot1() = 0;
  virtual void Slot2() = 0;
  virtual void Slot3() = 0;
  virtual void Slot4() = 0;
};

// The runtime's key of a context's table registry.
class IHostRegistryKey : public IHostObjectHeader {
 public:
  virtual void Slot5() = 0;
  virtual void Slot6() = 0;
  virtual void Slot7() = 0;
  virtual std::uint64_t nGetKey() = 0;  // slot 8
};

// The runtime's handle of an open file: the file inside its context, and the context.
class IHostFileHandle : public IHostObjectHeader {
 public:
  virtual void Slot5() = 0;
  virtual void Slot6() = 0;
  virtual std::uint64_t nGetFileId() = 0;     // slot 7
  virtual std::uint64_t nGetContextId() = 0;  // slot 8
};

// The runtime's translator of file identifiers when it duplicates a context: 1 with the new key of an old one, 0
// when the old key has no counterpart in the copy.
class IHostKeyTranslator : public IHostObjectHeader {
 public:
  virtual std::int32_t bTranslateKey(std::uint64_t oldKey, std::uint64_t* newKey) = 0;  // slot 5
};

// A runtime object handed to an access interface (its query source): named by slot 7, counted by slots 5 and 6;
// slot 8 answers non-zero while the object still needs its interface (a query run keeps the interface then).
class IHostNamedObject : public IHostObjectHeader {
 public:
  virtual void AddExternalRef() = 0;         // slot 5
  virtual void ReleaseExternalRef() = 0;     // slot 6
  virtual const char16_t* pszGetName() = 0;  // slot 7
  virtual std::uint32_t nIsPending() = 0;    // slot 8
};

// The runtime's SQL query object: slot 19 answers questions about the runtime's libraries.
class IHostSqlQuery {
 public:
  virtual void Slot0() = 0;
  virtual void Slot1() = 0;
  virtual void Slot2() = 0;
  virtual void Slot3() = 0;
  virtual void Slot4() = 0;
  virtual void Slot5() = 0;
  virtual void Slot6() = 0;
  virtual void Slot7() = 0;
  virtual void Slot8() = 0;
  virtual void Slot9() = 0;
  virtual void Slot10() = 0;
  virtual void Slot11() = 0;
  virtual void Slot12() = 0;
  virtual void Slot13() = 0;
  virtual void Slot14() = 0;
  virtual void Slot15() = 0;
  virtual void Slot16() = 0;
  virtual void Slot17() = 0;
  virtual void Slot18() = 0;
  // Asked with (15, the library, out version): non-zero when the version was written.
  virtual std::int32_t nQueryLibrary(std::int32_t question, std::int32_t library,
                                     std::uint32_t* version) = 0;  // slot 19
};

// A counted object of the runtime's query analysis (a file, a key link, an entry of the query's kind): slots 5 and 6
// take and give back a reference.
class IHostQueryPart : public IHostObjectHeader {
 public:
  virtual void AddRef() = 0;   // slot 5
  virtual void Release() = 0;  // slot 6
};

// A file (table) of an analysed query. Spans are positions in the statement's text (start, one past the end; both 0
// when absent): the table reference as written, and its alias (0 and 0 without one).
class IHostQueryFile : public IHostQueryPart {
 public:
  virtual const char16_t* pszGetName() = 0;    // slot 7
  virtual const char16_t* pszGetAlias() = 0;   // slot 8
  virtual std::uint32_t nGetTextStart() = 0;   // slot 9
  virtual std::uint32_t nGetTextEnd() = 0;     // slot 10
  virtual std::uint32_t nGetAliasStart() = 0;  // slot 11
  virtual std::uint32_t nGetAliasEnd() = 0;    // slot 12
};

// A key link of an analysed query (a sort item of ORDER BY): the index of the result item it keys on (0xFFFFFFFF when
// it names none), its direction, and the span of the sort item in the statement's text without its direction keyword.
class IHostKeyLink : public IHostQueryPart {
 public:
  virtual std::uint32_t nGetItemIndex() = 0;  // slot 7
  virtual std::int32_t bIsDescending() = 0;   // slot 8
  virtual std::uint32_t nGetTextStart() = 0;  // slot 9
  virtual std::uint32_t nGetTextEnd() = 0;    // slot 10
};

// One of the runtime's index descriptors of an analysed query (a GROUP BY item), whose answers the driver copies.
// The second and third texts are the item's table text as written (may be empty) and its column text; slots 7 and 8
// its span in the statement's text.
class IHostIndexDescriptor {
 public:
  virtual const char16_t* pszGetName() = 0;           // slot 0
  virtual std::uint32_t nGetNumber() = 0;             // slot 1
  virtual const char16_t* pszGetSecondText() = 0;     // slot 2: the table text
  virtual const char16_t* pszGetThirdText() = 0;      // slot 3: the column text
  virtual void GetIdentifier(std::uint8_t* out) = 0;  // slot 4: 16 bytes
  virtual const char16_t* pszGetFifthText() = 0;      // slot 5
  virtual const char16_t* pszGetSixthText() = 0;      // slot 6
  virtual std::uint32_t nGetTextStart() = 0;          // slot 7
  virtual std::uint32_t nGetTextEnd() = 0;            // slot 8
};

// A node of an expression tree (an expression item, a WHERE, HAVING or join condition, an assignment's column or
// value). Two numbers classify it, and they answer different questions:
// - slot 0 is the node's class: 47 an operation or function call, 48 and 49 leaves. The query description's
//   aggregate test reads this one.
// - slot 1 is the node's code, what the statement rewriter calls the node's kind: the operator or function code
//   (9 to 14 the comparisons, 32 LIKE, the function codes), 47 a column reference, 48 a constant, 73 a node the
//   dialect cannot express.
// Spans are positions in the statement's text (start, one past the end; both 0 when the node has none): its text
// and, for a call, its name. A constant's node gives its runtime value, a column compared with "(+)" its outer-join
// mark, a LIKE its escape character (0 when it has none), a column reference its table text as written (may be empty
// or null) and its column name.
class IHostExpressionNode {
 public:
  virtual std::uint32_t nGetKind() = 0;                              // slot 0
  virtual std::uint32_t nGetFunctionCode() = 0;                      // slot 1
  virtual std::uint32_t nGetChildCount() = 0;                        // slot 2
  virtual IHostExpressionNode* piGetChild(std::uint32_t index) = 0;  // slot 3
  virtual std::uint32_t nGetTextStart() = 0;                         // slot 4
  virtual std::uint32_t nGetTextEnd() = 0;                           // slot 5
  virtual std::uint32_t nGetNameStart() = 0;                         // slot 6
  virtual std::uint32_t nGetNameEnd() = 0;                           // slot 7
  virtual CHostValue* pGetConstant() = 0;                            // slot 8: null when no constant
  virtual std::int32_t bHasOuterJoinMark() = 0;                      // slot 9
  virtual char16_t nGetLikeEscape() = 0;                             // slot 10
  virtual const char16_t* pszGetTableName() = 0;                     // slot 11
  virtual const char16_t* pszGetColumnName() = 0;                    // slot 12
};

// An entry of an UPDATE (kind 3: one per assignment) or of an INSERT (kind 4: one per column and value), walked by
// the analysis' slots 14 and 15 as query parts: the column node and the value's expression. The list spans belong to
// the statement, not to the entry; every entry carries them and the first entry's are the ones read. The list is an
// UPDATE's assignments after SET or an INSERT's columns inside their parentheses; the value list is an INSERT's
// values inside VALUES (...), 0 and 0 for an UPDATE.
class IHostAssignment : public IHostQueryPart {
 public:
  virtual IHostExpressionNode* piGetColumn() = 0;  // slot 7
  virtual IHostExpressionNode* piGetValue() = 0;   // slot 8
  virtual std::uint32_t nGetListStart() = 0;       // slot 9
  virtual std::uint32_t nGetListEnd() = 0;         // slot 10
  virtual std::uint32_t nGetValueListStart() = 0;  // slot 11
  virtual std::uint32_t nGetValueListEnd() = 0;    // slot 12
};

// A join of a statement: the span of its condition in the text and the condition's tree.
class IHostStatementJoin : public IHostQueryPart {
 public:
  virtual std::uint32_t nGetConditionStart() = 0;       // slot 7
  virtual std::uint32_t nGetConditionEnd() = 0;         // slot 8
  virtual IHostExpressionNode* piGetCondition() = 0;    // slot 9
};

// A place of a statement's text the runtime marked: a parameter marker, or a column reference with the table and
// column texts as written (empty for a marker).
class IHostStatementMark : public IHostQueryPart {
 public:
  virtual std::uint32_t nGetPosition() = 0;        // slot 7
  virtual std::uint32_t nGetLength() = 0;          // slot 8
  virtual std::uint32_t nGetKind() = 0;            // slot 9
  virtual const char16_t* pszGetTableText() = 0;   // slot 10
  virtual const char16_t* pszGetColumnText() = 0;  // slot 11
};

// The parameters a statement declares: the value of one found by name, case ignored (null when none), and their
// names one by one.
class IHostDeclaredParameters : public IHostQueryPart {
 public:
  virtual CHostValue* pFindValue(const char16_t* name) = 0;  // slot 7
  // The declarations in the order the statement made them, so that each can be looked for in the text.
  virtual std::uint32_t nGetCount() = 0;                     // slot 8
  virtual const char16_t* pszGetName(std::uint32_t index) = 0;  // slot 9: null past the last
};

// The runtime's analysis of a query it hands the driver instead of a table. The walks (slots 9, 10, 13, 14, 15 and 30 to 32)
// answer the first element when asked with 1, the next one with 0, and null past the end; no walk or lookup takes a
// reference for the caller. The column and alias lookups (slots 16 and 17) may throw whatever the runtime throws.
class IHostQueryAnalysis : public IHostQueryPart {
 public:
  virtual std::uint32_t nGetKind() = 0;                                             // slot 7
  virtual const char16_t* pszGetSqlText() = 0;                                      // slot 8
  virtual IHostQueryFile* piWalkFiles(std::int32_t first) = 0;                      // slot 9
  virtual IHostItemDescription* piWalkItems(std::int32_t first) = 0;                // slot 10
  virtual std::uint32_t nGetDescriptorCount() = 0;                                  // slot 11
  virtual IHostIndexDescriptor* piGetDescriptor(std::uint32_t index) = 0;           // slot 12
  virtual IHostKeyLink* piWalkLinks(std::int32_t first) = 0;                        // slot 13
  virtual IHostQueryPart* piWalkKind3Entries(std::int32_t first) = 0;               // slot 14: IHostAssignment, UPDATE
  virtual IHostQueryPart* piWalkKind4Entries(std::int32_t first) = 0;               // slot 15: IHostAssignment, INSERT
  virtual IHostItemDescription* piGetColumnOfItem(IHostItemDescription* item) = 0;  // slot 16
  virtual const char16_t* pszResolveAlias(const char16_t* name) = 0;                // slot 17
  virtual void* piLookupFile(IHostQueryFile* file) = 0;                             // slot 18
  virtual void* piFindItem(const char16_t* name) = 0;                               // slot 19
  virtual IHostQueryPart* piGetFirstExtra() = 0;                                    // slot 20
  virtual IHostQueryPart* piGetSecondExtra() = 0;                                   // slot 21
  // The statement's clauses as positions in its text, 0 when the clause is absent.
  virtual std::uint32_t nGetWhereStart() = 0;                                       // slot 22
  virtual std::uint32_t nGetWhereEnd() = 0;                                         // slot 23
  virtual std::uint32_t nGetHavingStart() = 0;                                      // slot 24
  virtual std::uint32_t nGetHavingEnd() = 0;                                        // slot 25
  virtual std::uint32_t nGetOrderByStart() = 0;                                     // slot 26
  virtual std::uint32_t nGetSelectListEnd() = 0;                                    // slot 27
  virtual IHostExpressionNode* piGetWhereTree() = 0;                                // slot 28
  virtual IHostExpressionNode* piGetHavingTree() = 0;                               // slot 29
  virtual IHostStatementJoin* piWalkJoins(std::int32_t first) = 0;                  // slot 30
  virtual IHostStatementMark* piWalkMarkers(std::int32_t first) = 0;                // slot 31
  virtual IHostStatementMark* piWalkColumnReferences(std::int32_t first) = 0;       // slot 32
  // With a reference for the caller; null when the statement declares none.
  virtual IHostDeclaredParameters* piGetDeclaredParameters() = 0;                   // slot 33
};
