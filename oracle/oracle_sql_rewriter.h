// COracleSqlRewriter: the statement rewriter of Oracle connections. The generic rewriter decides what is written;
// this class says it as Oracle reads it: every value goes to the server as a bind parameter (":" and its number, or
// its own name) and only a NULL stays in the text, LIKE patterns carry Oracle's ESCAPE clause (national for Unicode
// text), "+" between texts is "||", a date operand of a function is read through TO_CHAR(, and a named parameter
// ending in "%CURSOR" is a REF CURSOR. It also keeps the LOB columns of the statement being built, which the Oracle
// cursor fills with EMPTY_CLOB()/EMPTY_BLOB() and reads back for its RETURNING clause.
//
// The values written as bind parameters are kept, referenced, in the order of their numbers: the value bound at
// ":n" is pGetBoundValue(n - 1).
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/ref_counted.h"
#include "foundation/string_list.h"
#include "sql/rewriter/sql_rewriter.h"

class COracleSqlRewriter : public CSqlRewriter {
 public:
  COracleSqlRewriter(CErrorHolder* holder, CConnection* connection) : CSqlRewriter(holder, connection) {}
  // Every member empty, for pClone.
  COracleSqlRewriter() = default;
  ~COracleSqlRewriter() override;

  // With 0 the bound values and the LOB columns go too.
  int Reset(int keepParameters) override;
  int bWriteOperandAsText(const SComparedColumn& column, const char16_t* qualifiedName, CTString& out) override;
  std::uint32_t nGetDateTimeOperandMode(std::uint32_t context, std::uint32_t columnType, std::uint32_t operatorCode,
                                        IHostExpressionNode* node) override;
  int bWriteValueLiteral(CValueLeaf* leaf, CFieldValue* value, std::uint32_t kind, std::uint32_t mode) override;
  void WriteDialectEscape(CValueLeaf* leaf, std::uint32_t columnType) override;
  int bWriteLikePattern(CValueLeaf* leaf, CHostValue& pattern, std::uint32_t kind, std::uint32_t mode,
                        std::uint64_t* position) override;
  // The ESCAPE clause is the pattern writer's here.
  int bWriteLikeEscape(CValueLeaf* leaf, const char16_t* patternText, std::uint64_t* position) override;
  CSqlRewriter* pClone(CHashTable& cloneMap, std::uint32_t flags) override;
  int bBuildFinalText(std::uint32_t mode) override;
  int bAppendTextRange(CQueryDescription* query, const char16_t* source, IHostExpressionNode* node,
                       std::uint64_t* position) override;
  int bIsLobCompare(IHostExpressionNode* parent, IHostExpressionNode* child) override;
  // The base conversion; a LIKE pattern also notes the type of the column it is compared with, for its clause.
  int bConvertComparedValue(CQueryDescription* query, IHostExpressionNode* parent, IHostExpressionNode* valueNode,
                            std::uint32_t context, const SComparedColumn* column, CValueLeaf* parameter,
                            std::uint32_t operandType) override;
  void WriteDateTimeLiteral(CTString& statement, IHostExpressionNode* parent, IHostExpressionNode* node,
                            std::uint64_t* position, int before) override;
  // ":" and no suffix: a pass-through text's "{d '...'}" is a date escape, not a parameter.
  const char16_t* pszGetParameterPrefix(char16_t* buffer, std::size_t size) override;
  const char16_t* pszGetParameterSuffix(char16_t* buffer, std::size_t size) override;
  int bIsCursorParameter(const char16_t* name, CTString& out) override;
  // The base copy (which registers the pair in the map); the LOB columns and the bound values are the source
  // statement's own.
  virtual int bCopyFrom(COracleSqlRewriter* source, CHashTable& cloneMap, std::uint32_t flags);

  // ---- the LOB columns of the statement being built ----
  int bAddLobColumn(const char16_t* name) { return m_lobColumns.nAdd(name); }
  const CStringList& GetLobColumns() const { return m_lobColumns; }

  // ---- the values written as bind parameters ----
  std::uint32_t nGetBoundValueCount() const { return m_boundValues.nGetCount(); }
  CValueLeaf* pGetBoundValue(std::uint32_t i) const;

 private:
  // The leaf's 1-based bind number: its place among the bound values, added at the end when new; -1 when the list
  // could not grow.
  std::int32_t nBindNumber(CValueLeaf* leaf);
  // The server's major version below 10: the national forms of LIKE on a Unicode text memo.
  bool bOldServer() const;
  void ReleaseBoundValues();

  // The column type a pattern leaf was compared with, where no column of the statement's set stands behind it.
  std::uint32_t nComparedType(CValueLeaf* leaf) const;
  void ReleaseComparedTypes();

  CStringList m_lobColumns;
  CRefPtrArray m_boundValues{10};  // CValueLeaf
  CRefPtrArray m_patternLeaves{4};  // CValueLeaf, with its compared column type at the same index
  std::vector<std::uint32_t> m_patternTypes;
  // The LIKE node whose operand is being written (the parent the node boundary met last), not referenced.
  IHostExpressionNode* m_pLikeNode = nullptr;
};
