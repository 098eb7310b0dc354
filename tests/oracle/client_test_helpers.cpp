#include "client_test_helpers.h"

#include "foundation/x_error.h"

namespace ocitest {

namespace {

void CollectText(const CXError& error, std::u16string& out) {
  out += error.pszGetUserMessage();
  out += u"\n";
  out += error.pszGetDebugText();
  out += u"\n";
  for (std::uint32_t i = 0; i < error.nGetNestedCount(); ++i) CollectText(*error.pGetNestedError(i), out);
}

bool ErrorHasMessage(const CXError& error, std::uint32_t message) {
  for (std::uint32_t i = 0; i < error.nGetMessageCount(); ++i) {
    if (error.nGetMessageAt(i) == message) return true;
  }
  for (std::uint32_t i = 0; i < error.nGetNestedCount(); ++i) {
    if (ErrorHasMessage(*error.pGetNestedError(i), message)) return true;
  }
  return false;
}

}  // namespace

bool HasMessageNumber(CErrorHolder& holder, std::uint32_t message) {
  return ErrorHasMessage(*holder.pGetEmbeddedObject(), message);
}

std::u16string StandInPath(const std::string& relative) {
  const std::string path = std::string(QZ_OCI_DIR) + "/" + relative;
  return std::u16string(path.begin(), path.end());
}

bool HasPoint(CErrorHolder& holder, unsigned point, unsigned unit) {
  const std::string record = "IEQZORA=" + std::to_string(unit) + "." + std::to_string(point) + "\r\n";
  return Text(holder).find(std::u16string(record.begin(), record.end())) != std::u16string::npos;
}

bool HasMessageText(CErrorHolder& holder, const std::u16string& text) {
  return Text(holder).find(text) != std::u16string::npos;
}

std::u16string Text(CErrorHolder& holder) {
  std::u16string out;
  CollectText(*holder.pGetEmbeddedObject(), out);
  return out;
}

std::string Dump(CErrorHolder& holder) {
  const std::u16string text = Text(holder);
  std::string out;
  for (char16_t unit : text) out += unit < 128 ? static_cast<char>(unit) : '?';
  return out;
}

}  // namespace ocitest
