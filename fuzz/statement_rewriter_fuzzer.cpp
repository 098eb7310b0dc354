// The statement rewriter over statements made with the runtime stand-in's query objects from any input, for an
// Oracle connection: the generic rewriter and the Oracle one. The first byte is the statement kind, the second the
// number of parts; each part takes four bytes (what it is, two positions in the text, a code); the rest is the
// statement's UTF-16 text. Parts become, in order: columns and values (leaves over a span of the text), operators
// and calls over the last leaves made (their span covering their children's, as the runtime's parser nests them),
// tables of the FROM list and select-list items. The last tree made is the WHERE condition when the text has a
// WHERE before it; ORDER BY starts where the text says so.
//
// Properties: no translation reads or writes outside its buffers, and a translation that succeeds gives a text, the
// parameters it lists placed in order within the statement text it wrote (the final text puts each value at its
// place: one out of order or past the end would be written elsewhere or not at all).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "engine/record/query_description.h"
#include "foundation/error_holder.h"
#include "host/host_objects.h"
#include "host/host_services.h"
#include "host/host_type.h"
#include "host/host_value.h"
#include "host/library_entry.h"
#include "host/value_entry_points.h"
#include "oracle/oracle_connection.h"
#include "oracle/oracle_sql_rewriter.h"
#include "sql/rewriter/sql_rewriter.h"
#include "sql/rewriter/value_leaf.h"
#include "standin/runtime/query_objects.h"
#include "standin/runtime/runtime_objects.h"
#include "standin/runtime/runtime_standin.h"



namespace {

using Node = qzrt::ExpressionNode;
using Item = qzrt::ItemDescription;

constexpr std::uint32_t kOperators[] = {0,           1,           2,           3,           4,
                                        SQL_NODE_EQ, SQL_NODE_NE, SQL_NODE_LT, SQL_NODE_LE, SQL_NODE_GT,
                                        SQL_NODE_GE, SQL_NODE_LIKE, SQL_NODE_IS_NULL, SQL_NODE_UNSUPPORTED};

struct SContext {
  CErrorHolder* holder = nullptr;
  COracleConnection* connection = nullptr;
  qzrt::ConnectionDescription description;
};

SContext& Context() {
  static SContext* const context = [] {
    auto* made = new SContext();
    StartDriverOnRuntimeStandIn();
    made->holder = new CErrorHolder();
    made->holder->AddRef();
    // Translation needs the connection's dialect, not a session.
    made->connection =
        new COracleConnection(u"fuzz", reinterpret_cast<IHostConnectionDescription*>(&made->description));
    made->connection->AddRef();
    return made;
  }();
  return *context;
}

// A statement made from the input: its text and every part the analysis names (owned here).
struct SStatement {
  std::u16string text;
  qzrt::QueryAnalysis analysis;
  std::deque<qzrt::QueryFile> files;
  std::deque<Item> items;
  std::deque<Node> nodes;
  std::deque<CHostValue> values;
};

void Build(SStatement& s, const std::uint8_t* parts, std::size_t count) {
  const auto length = static_cast<std::uint32_t>(s.text.size());
  std::vector<Node*> stack;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = parts + 4 * i;
    std::uint32_t start = p[1] % (length + 1), end = p[2] % (length + 1);
    if (start > end) std::swap(start, end);
    const std::u16string written = s.text.substr(start, end - start);
    switch (p[0] % 7) {
      case 0: {  // a column, qualified when its text has a dot
        Node& node = s.nodes.emplace_back(48, SQL_NODE_COLUMN);
        node.Text(start, end);
        const std::size_t dot = written.find(u'.');
        if (dot == std::u16string::npos) {
          node.Column(std::nullopt, written);
        } else {
          node.Column(written.substr(0, dot), written.substr(dot + 1));
        }
        stack.push_back(&node);
        break;
      }
      case 1: {  // a value: the text, or a number
        CHostValue& value = s.values.emplace_back();
        if (p[3] & 1) {
          value.SetType(HOST_TYPE_INT32);
          const std::int32_t number = p[3];
          value.Set(&number);
        } else {
          value.SetType(HOST_TYPE_TEXT);
          value.Set(written.c_str());
        }
        Node& node = s.nodes.emplace_back(48, SQL_NODE_VALUE);
        node.Text(start, end);
        node.constant = &value;
        stack.push_back(&node);
        break;
      }
      case 2:
      case 3: {  // an operator or a call over the last one or two trees
        const std::size_t arity = std::min<std::size_t>(stack.size(), (p[3] & 0x80) ? 2 : 1);
        std::vector<Node*> children(stack.end() - static_cast<std::ptrdiff_t>(arity), stack.end());
        stack.resize(stack.size() - arity);
        const std::uint32_t code = p[0] % 7 == 2 ? kOperators[p[3] % std::size(kOperators)] : p[3] % 120;
        Node& node = s.nodes.emplace_back(47, code, children);
        for (Node* child : children) {
          start = std::min(start, child->textStart);
          end = std::max(end, child->textEnd);
        }
        node.Text(start, end);
        if (p[0] % 7 == 3) node.Name(start, std::min(end, start + (p[2] & 7)));
        if (code == SQL_NODE_LIKE) node.likeEscape = (p[1] & 1) ? u'!' : 0;
        stack.push_back(&node);
        break;
      }
      case 4: {  // a table of the FROM list, with an alias when its text has a blank
        const std::size_t blank = written.find(u' ');
        qzrt::QueryFile& file = s.files.emplace_back(written.substr(0, blank),
                                                     blank == std::u16string::npos ? u"" : written.substr(blank + 1));
        file.Text(start, blank == std::u16string::npos ? end : start + static_cast<std::uint32_t>(blank));
        if (blank != std::u16string::npos) file.AliasText(start + static_cast<std::uint32_t>(blank) + 1, end);
        s.analysis.files.push_back(&file);
        break;
      }
      case 5: {  // a select-list item: a plain column, or the last tree
        Item& item = s.items.emplace_back(written);
        item.SetText(Item::kOrigin, written);
        item.SetText(Item::kFileName, s.files.empty() ? std::u16string() : s.files.back().pszGetName());
        if ((p[3] & 1) && !stack.empty()) {
          item.SetNumber(Item::kItemKind, 1);
          item.SetExpression(stack.back());
          item.SetSpan(Item::kTextStart, stack.back()->textStart, stack.back()->textEnd);
        } else {
          item.SetSpan(Item::kTextStart, start, end);
        }
        s.analysis.items.push_back(&item);
        break;
      }
      default:  // where the select list ends
        s.analysis.selectListEnd = start;
        break;
    }
  }
  if (!stack.empty()) {
    Node* tree = stack.back();
    const std::size_t where = s.text.rfind(u"WHERE", tree->textStart);
    if (where != std::u16string::npos) {
      s.analysis.whereStart = static_cast<std::uint32_t>(where);
      s.analysis.whereEnd = tree->textEnd;
      s.analysis.whereTree = tree;
    }
  }
  const std::size_t order = s.text.find(u"ORDER BY");
  if (order != std::u16string::npos) s.analysis.orderByStart = static_cast<std::uint32_t>(order);
}

template <class TRewriter>
void Translate(SContext& c, SStatement& s, std::uint32_t mode) {
  auto* rewriter = new TRewriter(c.holder, c.connection);
  rewriter->AddRef();
  void* raw = &s.analysis;
  auto* query = new CQueryDescription(c.holder, static_cast<IHostQueryAnalysis*>(raw), nullptr, 0);
  query->AddRef();
  if (rewriter->bTranslate(query, nullptr, 1, mode)) {
    const std::uint64_t length = std::char_traits<char16_t>::length(rewriter->pszGetSourceText());
    std::uint64_t placed = 0;
    for (std::uint32_t i = 0; i < rewriter->nGetParameterCount(); ++i) {
      const std::uint64_t position = rewriter->pGetParameter(i)->nGetPosition();
      Check(position >= placed && position <= length);
      placed = position;
    }
    Check(rewriter->pszGetOutputText(0) != nullptr);
  }
  rewriter->nRelease();
  query->nRelease();
  c.holder->Clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t count = std::min<std::size_t>(data[1] % 17, (size - 2) / 4);
  const std::uint8_t* textBytes = data + 2 + 4 * count;
  const std::size_t textSize = size - 2 - 4 * count;
  SContext& c = Context();
  SStatement s;
  s.text.assign(textSize / 2, u'\0');
  std::memcpy(s.text.data(), textBytes, s.text.size() * 2);
  s.text = s.text.c_str();
  s.analysis.SetText(qzrt::QueryAnalysis::kSqlText, s.text);
  s.analysis.SetNumber(qzrt::QueryAnalysis::kKind, data[0] % 5);
  Build(s, data + 2, count);
  Translate<CSqlRewriter>(c, s, 0);
  Translate<COracleSqlRewriter>(c, s, 0);
  return 0;
}
