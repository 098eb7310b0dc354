// A statement as the runtime parses it, built through the runtime stand-in's query objects for the rewriter tests:
// its text, its analysis and every part the analysis names, each placed by the text it stands for.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "host/host_type.h"
#include "host/host_value.h"
#include "sql/rewriter/sql_rewriter.h"
#include "standin/runtime/query_objects.h"

namespace rewritertest {

using I = qzrt::ItemDescription;
using Node = qzrt::ExpressionNode;

inline std::u16string Number(int n) {
  const std::string text = std::to_string(n);
  return std::u16string(text.begin(), text.end());
}

// One parsed statement: its text, the runtime's analysis of it and every part the analysis names (owned here).
class Statement {
 public:
  Statement(std::u16string text, std::uint32_t kind) : source(std::move(text)) {
    analysis.SetText(qzrt::QueryAnalysis::kSqlText, source);
    analysis.SetNumber(qzrt::QueryAnalysis::kKind, kind);
  }

  // Where the n-th occurrence (from 0; -1 the last) of a piece of the text stands: its start and one past its end.
  std::pair<std::uint32_t, std::uint32_t> Span(const std::u16string& piece, int n = 0) const {
    std::size_t at = n < 0 ? source.rfind(piece) : source.find(piece);
    while (n-- > 0 && at != std::u16string::npos) at = source.find(piece, at + 1);
    EXPECT_NE(at, std::u16string::npos) << "the statement holds the piece";
    if (at == std::u16string::npos) at = 0;
    return {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(at + piece.size())};
  }
  std::uint32_t At(const std::u16string& piece, int n = 0) const { return Span(piece, n).first; }

  // A table of the FROM list, written as "name alias" (or the name alone) at the n-th occurrence of that text.
  qzrt::QueryFile& File(const std::u16string& name, const std::u16string& alias = u"", int n = 0) {
    qzrt::QueryFile& file = files.emplace_back(name, alias);
    const auto [start, end] = Span(alias.empty() ? name : name + u" " + alias, n);
    file.Text(start, start + static_cast<std::uint32_t>(name.size()));
    if (!alias.empty()) file.AliasText(end - static_cast<std::uint32_t>(alias.size()), end);
    analysis.files.push_back(&file);
    return file;
  }
  // A plain column of the select list (or of an INSERT's column list).
  I& Item(const std::u16string& table, const std::u16string& column, const std::u16string& written, int n = 0) {
    I& item = items.emplace_back(column);
    item.SetText(I::kFileName, table);
    item.SetText(I::kOrigin, column);
    const auto [start, end] = Span(written, n);
    item.SetSpan(I::kTextStart, start, end);
    analysis.items.push_back(&item);
    return item;
  }
  // A select-list item computed by an expression, standing where its expression is written.
  I& Computed(const std::u16string& name, Node* root) {
    I& item = items.emplace_back(name);
    item.SetNumber(I::kItemKind, 1);
    item.SetExpression(root);
    item.SetSpan(I::kTextStart, root->textStart, root->textEnd);
    analysis.items.push_back(&item);
    return item;
  }

  Node* Column(const std::u16string& written, const char16_t* table, const char16_t* column, int n = 0) {
    Node& node = nodes.emplace_back(48, SQL_NODE_COLUMN);
    const auto [start, end] = Span(written, n);
    node.Text(start, end);
    node.Column(table ? std::optional<std::u16string>(table) : std::nullopt, std::u16string(column));
    return &node;
  }
  // "T.A = U.B" as written: the equality of two qualified columns.
  Node* ColumnsEqual(const std::u16string& written) {
    const std::size_t equal = written.find(u" = ");
    const std::u16string left = written.substr(0, equal), right = written.substr(equal + 3);
    auto column = [&](const std::u16string& name) {
      const std::size_t dot = name.find(u'.');
      return Column(name, name.substr(0, dot).c_str(), name.substr(dot + 1).c_str());
    };
    return Op(SQL_NODE_EQ, written, {column(left), column(right)});
  }
  Node* Value(const std::u16string& written, CHostValue* value, int n = 0) {
    Node& node = nodes.emplace_back(48, SQL_NODE_VALUE);
    const auto [start, end] = Span(written, n);
    node.Text(start, end);
    node.constant = value;
    return &node;
  }
  Node* Op(std::uint32_t code, const std::u16string& written, std::vector<Node*> children, int n = 0) {
    Node& node = nodes.emplace_back(47, code, std::move(children));
    const auto [start, end] = Span(written, n);
    node.Text(start, end);
    return &node;
  }
  // A call whose name runs from its text's start to the "(".
  Node* Call(std::uint32_t code, const std::u16string& written, std::vector<Node*> children, int n = 0) {
    Node* node = Op(code, written, std::move(children), n);
    node->Name(node->textStart, static_cast<std::uint32_t>(source.find(u'(', node->textStart)));
    return node;
  }

  CHostValue* Text(const char16_t* text) {
    CHostValue& value = values.emplace_back();
    value.SetType(HOST_TYPE_TEXT);
    value.Set(text);
    return &value;
  }
  CHostValue* Int(std::int32_t number) {
    CHostValue& value = values.emplace_back();
    value.SetType(HOST_TYPE_INT32);
    value.Set(&number);
    return &value;
  }

  // The WHERE clause from its keyword to the end of the condition.
  void Where(Node* tree, const std::u16string& condition) {
    analysis.whereStart = At(u"WHERE");
    analysis.whereEnd = Span(condition, -1).second;
    analysis.whereTree = tree;
  }

  // WHERE column = number, the column unqualified.
  void WhereEquals(const std::u16string& column, int number) {
    const std::u16string condition = column + u" = " + Number(number);
    Node* left = Column(column, nullptr, column.c_str(), -1);
    Where(Op(SQL_NODE_EQ, condition, {left, Value(Number(number), Int(number), -1)}, -1), condition);
  }

  std::u16string source;
  qzrt::QueryAnalysis analysis;
  std::deque<qzrt::QueryFile> files;
  std::deque<I> items;
  std::deque<Node> nodes;
  std::deque<CHostValue> values;
  std::deque<qzrt::KeyLink> links;
  std::deque<qzrt::IndexDescriptor> groups;
  std::deque<qzrt::Assignment> assignments;
  std::deque<qzrt::StatementJoin> joins;
};

}  // namespace rewritertest
