// CSqlRewriter: one statement of the program, as the runtime parsed it, becomes SQL text of its connection's
// dialect. The source text is copied span by span; each span the parser recognised (select list, tables, WHERE,
// GROUP BY, HAVING, ORDER BY, joins, markers, named parameters, assignments) is replaced by text a generator writes.
// Every constant the statement compares or inserts is kept as a parameter (a value leaf placed at a position of the
// statement text); the final text is the statement text with each parameter written in at its place, then the
// dialect's row-limit fix-ups.
//
// The driver object makes rewriters (the Oracle driver its own class, which replaces some operations); a statement
// object owns one per statement, and a rewriter makes short-lived sub-rewriters of its own kind for function
// arguments and computed items. The rewriter holds a reference on its error holder, its connection, its query
// description and its column set; its lists hold one on each element.
//
// Positions in the source text and the statement text are UTF-16 units. The statement text is UTF-16; the final
// text is built in the connection's code pages, as the session sends it.
//
// Operations live in four files: sql_rewriter.cpp (the object, lists, translation, final text, fix-ups, dump,
// keyword helpers), rewriter_clauses.cpp (the generators), rewriter_expressions.cpp (expressions, operands, values,
// LIKE patterns) and rewriter_functions.cpp (function names and arguments around a node).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/ref_counted.h"
#include "foundation/sql_text_buffer.h"
#include "foundation/t_string.h"
#include "sql/rewriter/sql_element_lists.h"

class CColumn;
class CConnection;
class CErrorHolder;
class CFieldValue;
class CHashTable;
class CHostValue;
class CQueryDescription;
class CTable;
class CTableDescription;
class CValueLeaf;
class IHostExpressionNode;
class IHostItemDescription;
class IHostQueryFile;

// The statement kind word.
enum ESqlStatementKind : std::uint32_t {
  SQL_STATEMENT_NONE = 0,
  SQL_STATEMENT_SELECT = 1,
  SQL_STATEMENT_UPDATE = 2,
  SQL_STATEMENT_INSERT = 3,
  SQL_STATEMENT_DELETE = 4,
  SQL_STATEMENT_CREATE = 6,  // query kind 6
  SQL_STATEMENT_OTHER = 8,
  SQL_STATEMENT_DROP = 9,  // query kind 7
  SQL_STATEMENT_SET = 10,  // a pass-through SET statement
};

// What one recognised span of the source text is, and so which generator replaces it.
enum ESqlSegmentCode : std::uint32_t {
  SQL_SEGMENT_SELECT_LIST = 1,  // for INSERT the column list
  SQL_SEGMENT_TABLE = 2,
  SQL_SEGMENT_WHERE = 3,
  SQL_SEGMENT_GROUP_BY = 4,
  SQL_SEGMENT_HAVING = 5,
  SQL_SEGMENT_ORDER_BY = 6,
  SQL_SEGMENT_MARKERS = 7,
  SQL_SEGMENT_JOIN = 8,
  SQL_SEGMENT_NAMED_PARAMETER = 9,
  SQL_SEGMENT_ASSIGNMENTS = 10,  // INSERT values or UPDATE assignments
};

// Translation mode bits.
inline constexpr std::uint32_t SQL_MODE_PASS_THROUGH = 4;
// Pass-through without the named-parameter scan and check.
inline constexpr std::uint32_t SQL_MODE_NO_NAMED_PARAMETERS = 32;

// The marker writer called from outside a translation goes on to the end of the text.
inline constexpr std::uint64_t SQL_MARKERS_TO_END = ~std::uint64_t{0};

// The output state after nAppendTextMarked and in pass-through mode.
inline constexpr std::uint32_t SQL_OUTPUT_MARKED = 3;

// Operand contexts: where an expression stands.
enum ESqlOperandContext : std::uint32_t {
  SQL_CONTEXT_SELECT = 1,
  SQL_CONTEXT_WHERE = 3,
  SQL_CONTEXT_GROUP_BY = 4,
  SQL_CONTEXT_HAVING = 5,
  SQL_CONTEXT_ORDER_BY = 6,
  SQL_CONTEXT_JOIN = 8,
  SQL_CONTEXT_ASSIGNMENT = 10,
};

// Node kinds the writers treat apart (an expression node's code, slot 1 of the runtime's node).
enum ESqlNodeKind : std::uint32_t {
  SQL_NODE_EQ = 9,
  SQL_NODE_NE = 10,
  SQL_NODE_LT = 11,
  SQL_NODE_LE = 12,
  SQL_NODE_GT = 13,
  SQL_NODE_GE = 14,
  SQL_NODE_LIKE = 32,
  SQL_NODE_IS_NULL = 33,
  SQL_NODE_COLUMN = 47,
  SQL_NODE_VALUE = 48,
  SQL_NODE_UNSUPPORTED = 73,
};

// Error points of the rewriter (unit 10).
enum ERewriterPoint : std::uint32_t {
  REWRITER_POINT_SELF_REFERENCE = 1,      // error 32: a computed item defined by itself
  REWRITER_POINT_SUFFIX_MISSING = 2,      // error 38: a named parameter without its suffix
  REWRITER_POINT_DECLARED_MISSING = 3,    // error 40: a declared parameter the text does not name
  REWRITER_POINT_UNDECLARED = 4,          // error 12: a named parameter the statement does not declare
  REWRITER_POINT_GROWTH = 6,              // error 12: a text or list that could not grow
  REWRITER_POINT_UNSUPPORTED_NODE = 7,    // error 48 with "Oracle"
  REWRITER_POINT_COLUMN_FLAGS = 10,       // error 12: the column flag list could not be made
  REWRITER_POINT_TABLE_REFERENCE = 11,    // error 15: a table reference failed while it was written
  REWRITER_POINT_CODE_PAGE = 12,          // error 77: a final text the session's code page cannot carry
};
inline constexpr std::uint32_t REWRITER_ERROR_OUT_OF_MEMORY = 12;
inline constexpr std::uint32_t REWRITER_ERROR_SELF_REFERENCE = 32;
inline constexpr std::uint32_t REWRITER_ERROR_SUFFIX_MISSING = 38;
inline constexpr std::uint32_t REWRITER_ERROR_DECLARED_MISSING = 40;
inline constexpr std::uint32_t REWRITER_ERROR_UNSUPPORTED_NODE = 48;
// The table cannot be found or opened, with the table's name and the failure's text.
inline constexpr std::uint32_t REWRITER_ERROR_TABLE_REFERENCE = 15;
// The text cannot be represented in the connection's code page: the statement text, the page, the connection's
// label, database and data source.
inline constexpr std::uint32_t REWRITER_ERROR_CODE_PAGE = 77;

// Clause state bits: what the ORDER BY writer found among the sort items it wrote, so that a statement reading
// backwards knows whether its order identifies the rows.
inline constexpr std::uint32_t SQL_CLAUSE_ORDERS_BY_AUTO_ID = 0x1;
inline constexpr std::uint32_t SQL_CLAUSE_ORDERS_BY_UNIQUE_KEY = 0x2;

// One recognised span of the source text: start and end are the indexes of its first and last character (an empty
// span, where a WHERE clause is added, has end = start - 1); the text is a named parameter's name.
class CSqlSegment : public CRefCounted {
 public:
  CSqlSegment(std::uint32_t code, std::uint64_t start, std::uint64_t end, const char16_t* text = nullptr)
      : m_nCode(code), m_nStart(start), m_nEnd(end), m_strText(text) {}

  std::uint32_t m_nCode;
  std::uint64_t m_nStart;
  std::uint64_t m_nEnd;
  CTString m_strText;
};

// The column a comparison's operands are compared with: the query item, and the column of the rewriter's column set
// behind it when there is one. Its type is the column's type (CColumn::nGetType), else the column type of the
// item's runtime type code.
struct SComparedColumn {
  IHostItemDescription* pItem = nullptr;
  CColumn* pColumn = nullptr;
  std::uint32_t nType = 0;
  // The names the operand writer qualifies it with.
  const char16_t* pszTable = nullptr;
  const char16_t* pszColumn = nullptr;
  // The column name is the server's, in its case (see CConnection::nQuoteIdentifier).
  bool bExactCase = false;
};

class CSqlRewriter : public CRefCounted {
 public:
  // Both referenced; the dialect flag's bit 0 is set for DBMS kind 5; the texts take the connection's code pages.
  CSqlRewriter(CErrorHolder* holder, CConnection* connection);
  // Every member empty, for pClone.
  CSqlRewriter();
  ~CSqlRewriter() override;

  // ---- operations, in their order after the destructor and the release (slot 1 answers 0 in the runtime's
  // table: the count's release takes its place here) ----
  virtual int bAllowsStarExpansion();  // 1 in the base
  virtual int bIsEmpty();              // the statement text is empty
  virtual std::uint32_t nGetParameterCount();
  // Releases the select columns and table references, clears the clause state, empties the statement and final
  // texts, releases the parameters unless keepParameters is 1, clears row limit and offset; -1.
  virtual int Reset(int keepParameters);
  // The host parameter markers and column references, merged by position, from the source position to the end
  // (inside a translation: up to the next segment).
  virtual int bAppendHostParameters(CQueryDescription* query, const char16_t* source, std::uint64_t* position);
  // The other rewriter's statement text, then its parameters placed after this text's old length (new leaves when
  // duplicate is 1, else the same leaves), then its select columns and table references.
  virtual int bAppendRewriter(CSqlRewriter* other, int duplicate);
  // A leaf of the driver's making placed at the statement text's current length; 1 when the list grew.
  virtual int bAddParameter(CFieldValue* value, std::uint32_t kind, std::uint32_t flags, CColumn* item,
                            const char16_t* name, char16_t escape, std::uint32_t origin);
  // The select list from a column set: the columns that take part, then the row id when it identifies rows.
  virtual int bAppendCursorColumns(CTableDescription* columns, std::uint32_t flag);
  virtual int bAppendColumn(CColumn* column, std::uint32_t flag);
  // The column written as the dialect's digit expression of a date or time.
  virtual int bWriteOperandAsText(const SComparedColumn& column, const char16_t* qualifiedName, CTString& out);
  // 0, or 2 when the operand is written as text.
  virtual std::uint32_t nGetDateTimeOperandMode(std::uint32_t context, std::uint32_t columnType,
                                                std::uint32_t operatorCode, IHostExpressionNode* node);
  virtual int bWriteValueLiteral(CValueLeaf* leaf, CFieldValue* value, std::uint32_t kind, std::uint32_t mode);
  // One parameter into the final text; the position may move past statement text the writer replaces.
  virtual int bWriteValueLeaf(CValueLeaf* leaf, std::uint32_t mode, std::uint64_t* position);
  virtual int bWritePatternValue(CValueLeaf* leaf, CFieldValue* value, std::uint32_t kind, std::uint32_t mode,
                                 std::uint64_t* position);
  // The dialect's ESCAPE clause after a LIKE operand (nothing in the base).
  virtual void WriteDialectEscape(CValueLeaf* leaf, std::uint32_t columnType);
  // The pattern (escaped, in the host value) as a literal into the final text, then slot 18.
  virtual int bWriteLikePattern(CValueLeaf* leaf, CHostValue& pattern, std::uint32_t kind, std::uint32_t mode,
                                std::uint64_t* position);
  virtual int bWriteLikeEscape(CValueLeaf* leaf, const char16_t* patternText, std::uint64_t* position);
  virtual int CopyFrom(CSqlRewriter* source, CHashTable& cloneMap, std::uint32_t flags);
  // A copy with no reference, or null.
  virtual CSqlRewriter* pClone(CHashTable& cloneMap, std::uint32_t flags);
  virtual int bBuildFinalText(std::uint32_t mode);
  // 22: a compared column through the operand writer, context 3.
  virtual int bWriteComparedColumn(IHostItemDescription* item, IHostExpressionNode* valueNode, CTString& out);
  // 23: one column of a list into out.
  virtual int bWriteListColumn(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                               IHostItemDescription* item, CTString& out, int qualify, std::uint32_t context);
  // 24: after the first operand of the node kinds 0, 2, 4 and 5; 1 in the base.
  virtual int bAppendTextRange(CQueryDescription* query, const char16_t* source, IHostExpressionNode* node,
                               std::uint64_t* position);
  virtual int bIsLobCompare(IHostExpressionNode* parent, IHostExpressionNode* child);
  // 26: around a node (before 1, after 0); nothing in the base.
  virtual void WriteDateTimeLiteral(CTString& statement, IHostExpressionNode* parent, IHostExpressionNode* node,
                                    std::uint64_t* position, int before);
  // 27: what stands before (before 1) or after an argument of a function node into out.
  virtual int bWriteStringFunction(CQueryDescription* query, const char16_t* source, IHostExpressionNode* function,
                                   IHostExpressionNode* argument, std::uint64_t position, CTString& out, int before,
                                   std::uint64_t* sourcePosition, std::uint32_t index);
  // 28: the parameter's value converted for the column it is compared with.
  virtual int bConvertComparedValue(CQueryDescription* query, IHostExpressionNode* parent,
                                    IHostExpressionNode* valueNode, std::uint32_t context,
                                    const SComparedColumn* column, CValueLeaf* parameter, std::uint32_t operandType);
  // 29: a column operand: as text for a date or time the mode says, else its quoted qualified name.
  virtual int bWriteOperand(const SComparedColumn& column, std::uint32_t context, std::uint32_t operatorCode,
                            IHostExpressionNode* node, CTString& out);
  // 30: the dialect's name of a function node into out (left unchanged when the name stays); out's text or null.
  virtual const char16_t* pszTranslateFunctionName(std::uint32_t context, IHostExpressionNode* node, CTString& out);
  // 31, 32: the named-parameter prefix and suffix copied into the caller's buffer (at least 8 units).
  virtual const char16_t* pszGetParameterPrefix(char16_t* buffer, std::size_t size);
  virtual const char16_t* pszGetParameterSuffix(char16_t* buffer, std::size_t size);
  // 33, 34: a table's name and its alias.
  virtual int bWriteTableName(CQueryDescription* query, IHostQueryFile* table, CTString& out);
  virtual int bWriteTableAlias(CQueryDescription* query, IHostQueryFile* table, CTString& out);
  // 35: the parameter's name into out; 1 when it names a cursor parameter (out then without its marker).
  virtual int bIsCursorParameter(const char16_t* name, CTString& out);
  // 36: whether a constant of the statement becomes a parameter.
  virtual int bMakesParameter(CQueryDescription* query, std::uint32_t context);

  // ---- translation and texts ----
  int bTranslate(CQueryDescription* query, CSqlRewriter* filter, int keepOrder, std::uint32_t mode);
  void SetStatementKind(std::uint32_t queryKind);
  void SetQueryDescription(CQueryDescription* query);
  const char16_t* pszGetSourceText() { return m_strStatement.pszGet(); }
  // The final text (built first when empty): UTF-16 in mode 0, else the connection's narrow form; null on failure.
  const void* pszGetOutputText(std::uint32_t mode);
  // Append to the statement text (and in pass-through mode to a final text that is not empty); 0 with error 12 at
  // 10.6 when the text could not grow. n -1: up to the terminator.
  int nAppendText(const char16_t* text, std::int64_t n = -1);
  int nAppendTextMarked(const char16_t* text);
  int nInsertText(std::uint64_t position, const char16_t* text);
  // Replaces count units of the statement text at the position by the text; the parameters placed after the
  // replaced units move with the text. 0 with error 12 at 10.6 when the text could not grow.
  int bReplaceText(std::uint64_t position, std::uint64_t count, const char16_t* text);
  // Cuts the statement text at the position and releases the parameters placed at or after it.
  void TruncateText(std::uint64_t position);
  int bAppendRecordLockHint();
  int bAppendReturning(const char16_t* text);
  CValueLeaf* pGetParameter(std::uint32_t i) const { return m_lists.pGetParameter(i); }
  CValueLeaf* pFindNamedParameter(const char16_t* name) const;
  const char16_t* DumpParameters();

  // ---- clauses used from outside the translation ----
  int bAppendQueryCondition(CQueryDescription* query);
  int bAppendOrderBy(int directionSwitch);
  // LIKE value text escaped as data into buffer; error 12 at 10.6 when it cannot grow.
  int bEscapeLikeText(CTString& buffer, const char16_t* text);

  // ---- lists ----
  CSqlElementLists& Lists() { return m_lists; }
  int bAddValueParameter(CFieldValue* value);
  int nAddTextParameter(CHostValue& value, std::uint32_t kind, std::uint32_t flags, CColumn* item, char16_t escape);
  std::int32_t nAddTableRef(CTable* table) { return m_lists.nAddTableRef(table); }
  int bAddCountColumn() { return m_lists.bAddCountColumn(m_strStatement); }
  int bAddRowIdColumn(CFieldValue* value) { return m_lists.bAddRowIdColumn(m_strExtraSelect, value); }
  int bLoadParameterValues();

  // ---- members read by the other files and the tests ----
  CErrorHolder* pGetErrorHolder() const { return m_pHolder; }
  CConnection* pGetConnection() const { return m_pConnection; }
  CQueryDescription* pGetQueryDescription() const { return m_pQuery; }
  std::uint32_t nGetStatementKind() const { return m_nStatementKind; }
  std::uint32_t bIsPassThrough() const { return m_bPassThrough; }
  std::uint32_t nGetOutputState() const { return m_nOutputState; }
  const CTString& GetStatementText() const { return m_strStatement; }
  CTString& ExtraSelectText() { return m_strExtraSelect; }
  void SetParameterSwitch(std::uint32_t on) { m_nParameterSwitch = on; }
  std::uint32_t nGetParameterSwitch() const { return m_nParameterSwitch; }
  std::uint32_t nGetDialectFlags() const { return m_nDialectFlags; }
  void SetDialectFlags(std::uint32_t flags) { m_nDialectFlags = flags; }
  std::int64_t nGetRowLimit() const { return m_nRowLimit; }
  std::int64_t nGetRowOffset() const { return m_nRowOffset; }
  void SetRowLimit(std::int64_t limit, std::int64_t offset) {
    m_nRowLimit = limit;
    m_nRowOffset = offset;
  }
  // The columns of the statement's result the rewriter finds compared columns in (the statement object's column
  // set); referenced; null when the statement has none.
  void SetColumnSet(CTableDescription* columns);
  CTableDescription* pGetColumnSet() const { return m_pColumnSet; }
  IHostItemDescription* pGetCurrentComputedItem() const { return m_pCurrentComputedItem; }
  void SetCurrentComputedItem(IHostItemDescription* item) { m_pCurrentComputedItem = item; }

  // Error 12 at the point (10.6 or 10.10) into the holder; 0.
  int bRaiseOutOfMemory(std::uint32_t point);

 protected:
  // The text into the caller's buffer, cut to size - 1 units and terminated: what the prefix and suffix answer.
  static const char16_t* pszCopyBounded(char16_t* buffer, std::size_t size, const char16_t* text);
  // A named parameter's value loaded from what its statement declares; 1 for any other leaf, 0 when it fails.
  int bLoadNamedValue(CValueLeaf* leaf);
  // A rewriter of the driver's making for a part of this statement (this rewriter's holder and connection), with a
  // reference; null (the error recorded) when none was made.
  CSqlRewriter* pNewSubRewriter();

  // ---- the generators (rewriter_clauses.cpp); each copies up to its part, writes it, moves the position ----
  int bWriteSelectList(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                       const CSqlSegment& segment);
  int bWriteTableReference(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                           const CSqlSegment& segment);
  // Codes 3 and 5; the filter only for code 3.
  int bWriteCondition(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                      const CSqlSegment& segment, CSqlRewriter* filter);
  int bWriteGroupBy(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                    const CSqlSegment& segment);
  int bWriteOrderBy(std::uint64_t* position, const char16_t* source, CQueryDescription* query, int keepOrder,
                    int directionSwitch);
  int bWriteJoin(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                 const CSqlSegment& segment);
  int bWriteNamedParameter(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                           const CSqlSegment& segment);
  int bWriteAssignments(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                        const CSqlSegment& segment);
  // An UPDATE's assigned column: the quoted column, qualified unless the dialect refuses it there, and "(+)" when
  // marked; the position moves past the column.
  int bWriteSetColumn(std::uint64_t* position, const char16_t* source, CQueryDescription* query,
                      IHostExpressionNode* column);
  // The compared column of a query item (the column set's column of its name, its type, its names).
  void FillComparedColumn(IHostItemDescription* item, SComparedColumn& out);
  // 1 when the text written for a name is there (an empty name writes nothing); else error 12 at 10.6.
  int bHasText(const char16_t* name, const CTString& written);
  // The quoted table (part by part), "." and the quoted column; the column alone without a table.
  int bQuoteQualifiedName(const char16_t* table, const char16_t* column, CTString& out, bool exactCase = false);
  // The named parameters of a pass-through text as code-9 segments appended to the list (CSqlSegment, referenced).
  int bScanNamedParameters(const char16_t* source, CRefPtrArray& segments);
  // Every declared parameter has a named parameter in the text.
  int bCheckDeclaredParameters(CQueryDescription* query);

  // ---- translation and final text helpers (sql_rewriter.cpp) ----
  int bCollectSegments(CQueryDescription* query, CSqlRewriter* filter, CRefPtrArray& segments);
  int bAddSegment(CRefPtrArray& segments, std::uint32_t code, std::uint64_t start, std::uint64_t end,
                  const char16_t* text = nullptr);
  int bDispatchSegment(const CSqlSegment& segment, std::uint64_t* position, const char16_t* source,
                       CQueryDescription* query, CSqlRewriter* filter, int keepOrder);
  // Where the rest of a pass-through text stops when its ORDER BY is dropped.
  std::uint64_t nOrderByCut(const char16_t* source, std::uint64_t from, std::uint64_t length);
  // Appends n units to the final text; 0 with error 77 at 10.12 when its narrow code page cannot carry them (no
  // character is ever replaced), or error 12 at 10.6 when it cannot grow.
  int bAppendFinal(const char16_t* text, std::uint64_t n);
  int bAppendFinal(const char16_t* text) { return bAppendFinal(text, std::char_traits<char16_t>::length(text)); }
  // The statement text from *position to end into the final text, after the blank that separates it from a
  // parameter written before.
  int bAppendFinalGap(std::uint64_t* position, std::uint64_t end);
  // The dialect's row-limit fix-up of a final text that starts with SELECT (at `select`): TOP for kinds 1 to 3,
  // LIMIT for kinds 5 and 6.
  int bApplyRowLimitFixUp(std::uint32_t dbmsKind);
  int bApplyTopFixUp(const char16_t* text, std::size_t length, std::size_t select);
  int bApplyLimitFixUp(const char16_t* text, std::size_t length, std::size_t select);
  int bReplaceFinal(const CTString& text);

  // ---- expressions (rewriter_expressions.cpp) ----
  int bWriteExpression(CQueryDescription* query, std::uint32_t context, const char16_t* source,
                       IHostExpressionNode* parent, IHostExpressionNode* node, std::uint32_t operandContext,
                       std::uint64_t* position, IHostItemDescription* item,
                       std::uint32_t operandType, std::uint32_t argumentIndex);
  // A computed item's expression written through a sub-rewriter in place of a reference to it; with a text offset
  // its parameters join this rewriter's placed after the offset.
  int bWriteComputedItem(CQueryDescription* query, IHostItemDescription* item, std::uint32_t operandContext,
                         const char16_t* source, bool withOffset);
  // The operand type of a parent's child (and whether the child forgets the compared column).
  std::uint32_t nChildOperandType(std::uint32_t parentKind, std::uint32_t index, std::uint32_t count,
                                  std::uint32_t operandContext, bool* clear, IHostExpressionNode* parent);
  int bWriteColumnNode(CQueryDescription* query, std::uint32_t context, const char16_t* source,
                       IHostExpressionNode* parent, IHostExpressionNode* node, std::uint32_t operandContext,
                       std::uint64_t* position, IHostItemDescription* item);
  // The query item a column reference names (by table and column), null when none.
  IHostItemDescription* pFindQueryItem(CQueryDescription* query, const char16_t* table, const char16_t* name);
  int bWriteValueNode(CQueryDescription* query, const char16_t* source, IHostExpressionNode* parent,
                      IHostExpressionNode* node, std::uint32_t operandContext, std::uint64_t* position,
                      std::uint32_t operandType);
  // A comparison of a date or time column with an empty constant as a NULL test; rewritten 1 when it was one.
  int bRewriteEmptyComparison(const char16_t* source, IHostExpressionNode* node, std::uint64_t* position,
                              std::uint64_t outputStart, std::uint64_t sourceStart, int* rewritten);
  // Whether the literal the connection made of the value is whole; else error 12 at 10.6.
  int bLiteralWhole(CSqlTextBuffer& literal, CHostValue& value);
  // The connection's literal writers append without telling when their buffer cannot grow: the room for the whole
  // literal of the value is made first, where a failure shows (error 12 at 10.6).
  int bReserveLiteral(CSqlTextBuffer& literal, CHostValue& value);
  // A sub-rewriter with this one's statement kind, dialect flags, parameter switch, column set and computed item.
  CSqlRewriter* pNewArgumentRewriter();
  int bTakeSubRewriterText(CSqlRewriter* sub, bool withParameters);

  // ---- around nodes (rewriter_functions.cpp) ----
  int bWriteNodeBoundary(CQueryDescription* query, const char16_t* source, IHostExpressionNode* parent,
                         IHostExpressionNode* node, std::uint32_t argumentIndex, std::uint64_t* position,
                         int before);
  int bWriteNodeText(std::uint32_t context, const char16_t* source, IHostExpressionNode* node,
                     std::uint64_t* position);
  // A function rule's sub-rewrite (EArgumentRewrite) appended to the statement text.
  int bRunArgumentRewrite(CQueryDescription* query, const char16_t* source, IHostExpressionNode* function,
                          std::uint32_t rewrite, std::uint64_t* sourcePosition);
  int bWriteArgument(CQueryDescription* query, const char16_t* source, IHostExpressionNode* argument);

  // Copies the source text from the position up to (not including) `end` and moves the position there.
  int bCopySource(const char16_t* source, std::uint64_t* position, std::uint64_t end);
  // A position the runtime gave, kept within the source text: its length when past it.
  std::uint64_t nWithinSource(const char16_t* source, std::uint64_t at) const;
  // Moves the position forward to `to` (kept within the source text); never back over text already written.
  void SkipSource(const char16_t* source, std::uint64_t* position, std::uint64_t to) const;

  // ---- members, in order ----
  CErrorHolder* m_pHolder = nullptr;
  CConnection* m_pConnection = nullptr;
  std::uint32_t m_bPassThrough = 0;
  std::uint32_t m_nStatementKind = SQL_STATEMENT_NONE;
  std::uint32_t m_nClauseState = 0;
  CQueryDescription* m_pQuery = nullptr;
  CTString m_strStatement;
  // The parameters, select columns, table references and column flags.
  CSqlElementLists m_lists;
  std::uint32_t m_nParameterSwitch = 1;
  std::uint32_t m_nDialectFlags = 0;
  CTString m_strExtraSelect;
  std::uint32_t m_nReserved = 0;
  std::uint32_t m_nOutputState = 0;
  std::int64_t m_nRowLimit = -1;
  std::int64_t m_nRowOffset = -1;
  CSqlTextBuffer m_final;
  CTString m_strDump;
  IHostItemDescription* m_pCurrentComputedItem = nullptr;
  // How many computed items are being expanded around this rewriter's text (0 at the statement's own level).
  std::uint32_t m_nComputedDepth = 0;
  CTableDescription* m_pColumnSet = nullptr;

  // The translation's state: the source being translated, the filter and the keep-order flag.
  const char16_t* m_pszSource = nullptr;
  std::uint64_t m_nSourceLength = 0;
  CSqlRewriter* m_pFilter = nullptr;
  int m_bKeepOrder = 1;
  // Where the marker writer stops while a translation runs it: the next segment's start; SQL_MARKERS_TO_END outside.
  std::uint64_t m_nMarkersEnd = SQL_MARKERS_TO_END;
  // The compared column of the operands being written.
  SComparedColumn m_compared;
  bool m_bHasCompared = false;
  // The name the compared column is written with.
  CTString m_strColumnName;

 public:
  // ---- what a statement object reads and sets on its statement (rewriter_statement_words.cpp) ----
  // Set while an ORDER BY is written backwards: the rows come in the reverse of the order the program reads.
  std::uint32_t bIsReversed() const { return m_words.bReversed; }
  void SetReversed(std::uint32_t on) { m_words.bReversed = on; }
  // 0 when the table's rows are identified by their row id, else 2.
  std::uint32_t nGetSelectMode() const { return m_words.nSelectMode; }
  void SetSelectMode(std::uint32_t mode) { m_words.nSelectMode = mode; }
  // The rows read ahead per fetch and what is left of a count the program asked for, both set by the table.
  std::uint32_t nGetReadAhead() const { return m_words.nReadAhead; }
  std::uint32_t nGetRequestRest() const { return m_words.nRequestRest; }
  void SetReadAhead(std::uint32_t rows, std::uint32_t rest) {
    m_words.nReadAhead = rows;
    m_words.nRequestRest = rest;
  }
  // Set when a statement of another kind than SELECT gives a result to describe.
  std::uint32_t bHasResultMark() const { return m_words.bResultMark; }
  void SetResultMark(std::uint32_t on) { m_words.bResultMark = on; }
  // Whether there is nothing to run: no text and no parameter.
  int bIsStatementEmpty() { return m_strStatement.bIsEmpty() && m_lists.nGetParameterCount() == 0; }
  // Each result column that stands for a column of the statement's column set (by name) takes that column, and so
  // its host type; 1, or 0 with error 12 at 10.6 when the list could not be rebuilt.
  int bMergeColumnTypes();
  // The parameter segments are the statement's parameters (value leaves): the flag word and the cursor-parameter
  // mark are the leaf's.
  CValueLeaf* pGetSegment(std::uint32_t i) const { return pGetParameter(i); }
  // A record value as a parameter of the column placed at the end of the text (a field value of the column made
  // from the runtime value); 1, or 0 when the value or the leaf could not be made.
  int nAddNamedParameter(CHostValue& value, CColumn* column);
  int bAddSelectColumn(CColumn* column) { return m_lists.bAddSelectColumn(column); }
  int bSetColumnFlag(const CColumn* column, std::uint32_t flag) { return m_lists.bSetColumnFlag(column, flag); }
  std::uint32_t nGetColumnFlag(const CColumn* column) const { return m_lists.nGetColumnFlag(column); }

 private:
  struct SStatementWords {
    std::uint32_t bReversed = 0;
    std::uint32_t nSelectMode = 0;
    std::uint32_t nReadAhead = 0;
    std::uint32_t nRequestRest = 0;
    std::uint32_t bResultMark = 0;
  };
  SStatementWords m_words;
};

// ---- keyword helpers over UTF-16 text ----
// Tab, line feed, carriage return, blank, "(", ")" and ",".
bool bIsSqlSeparator(char16_t c);
// Where the keyword starts after leading separators, case ignored; -1 when it does not.
std::int64_t nFindLeadingKeyword(const char16_t* text, const char16_t* keyword);
bool bStartsWithKeyword(const char16_t* text, const char16_t* keyword);
// The last match of the keyword (upper case) from `from` (-1: the end) towards the start, standing between
// separators (or the text's ends), outside '...' literals and the quoted names between the quotes; -1 when absent.
// Only a doubled quote stays inside a literal, as Oracle reads it, unless `backslashes` (a dialect whose backslash
// escapes the quote after it).
std::int64_t nFindKeywordBackward(const char16_t* text, std::int64_t length, const char16_t* keyword,
                                  std::int64_t from, const char16_t* openQuote, const char16_t* closeQuote,
                                  bool backslashes = false);
// After separators, one name into out: "..." or [...] without the quotes, else up to the next separator. The
// position after it.
std::size_t nReadIdentifier(const char16_t* text, std::size_t position, CTString& out);
