// Runtime strings over the stand-in's allocator: the size limit, sharing and unsharing, conversions, allocation
// failures, and every write checked against blocks that end exactly at their capacity.
#include "host/host_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/bound_runtime_services.h"

namespace {

class HostStringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_live = qzrt::LiveStringCount();
    qzrt::SetStringAllocatorNoSlack(true);
  }
  void TearDown() override { EXPECT_EQ(qzrt::LiveStringCount(), m_live) << "a runtime string leaked"; }

  static std::string Bytes(const CHostString& s) { return std::string(s.pszGet() ? s.pszGet() : "", s.nGetLength()); }
  static std::u16string Chars(const CHostWString& s) {
    return std::u16string(s.pszGet() ? s.pszGet() : u"", s.nGetLength());
  }
  static std::uint32_t Refs(const void* p) { return CHostString::pHeader(const_cast<void*>(p))->references; }

  CBoundRuntimeServices m_services;
  std::int64_t m_live = 0;
};

TEST_F(HostStringTest, SizeLimit) {
  CHostString s("keep");
  const std::int64_t live = qzrt::LiveStringCount();
  EXPECT_EQ(s.nAssignBytes("x", HOST_STRING_LIMIT), HOST_ERR_TOO_LONG);
  EXPECT_EQ(Bytes(s), "keep");
  EXPECT_EQ(s.nAssignText("x", HOST_STRING_LIMIT), HOST_ERR_TOO_LONG);
  EXPECT_EQ(s.nAppend("x", HOST_STRING_LIMIT - 4), HOST_ERR_TOO_LONG);
  EXPECT_EQ(s.nSetLength(HOST_STRING_LIMIT), HOST_ERR_TOO_LONG);
  EXPECT_EQ(Bytes(s), "keep");
  CHostString fresh;
  EXPECT_EQ(fresh.nAllocateCopy(HOST_STRING_LIMIT, nullptr, 0), HOST_ERR_TOO_LONG);
  CHostWString wide(u"keep");
  EXPECT_EQ(wide.nAssignText(u"x", HOST_STRING_LIMIT), HOST_ERR_TOO_LONG);
  EXPECT_EQ(wide.nGrow(HOST_STRING_LIMIT), HOST_ERR_TOO_LONG);
  EXPECT_EQ(wide.nAllocateCopy(HOST_STRING_LIMIT, nullptr, 0), HOST_ERR_TOO_LONG);
  EXPECT_EQ(Chars(wide), u"keep");
  EXPECT_EQ(qzrt::LiveStringCount(), live + 1);
}

TEST_F(HostStringTest, SharingAndUnsharing) {
  CHostString a("shared");
  CHostString b(a);
  EXPECT_EQ(a.pszGet(), b.pszGet());
  EXPECT_EQ(Refs(a.pszGet()), 2u);
  ASSERT_EQ(b.nAssignBytes("mine", 4), HOST_OK);
  EXPECT_EQ(Bytes(a), "shared");
  EXPECT_EQ(Bytes(b), "mine");
  EXPECT_EQ(Refs(a.pszGet()), 1u);

  CHostString::pHeader(a.pszGet())->flags = 0x5;
  CHostString c(a);
  ASSERT_EQ(c.nAppend("!", 1), HOST_OK);
  EXPECT_NE(c.pszGet(), a.pszGet());
  EXPECT_EQ(Bytes(c), "shared!");
  EXPECT_EQ(CHostString::pHeader(c.pszGet())->flags, 0x5u);
  EXPECT_EQ(Bytes(a), "shared");

  CHostWString w(u"wide");
  CHostString::pHeader(w.pszGet())->flags = 0x3;
  CHostWString v(w);
  ASSERT_EQ(v.nAppendN(u"r", 1), HOST_OK);
  EXPECT_EQ(Chars(v), u"wider");
  EXPECT_EQ(CHostString::pHeader(v.pszGet())->flags, 0x2u);
  EXPECT_EQ(CHostString::pHeader(w.pszGet())->flags, 0x3u);  // the other holder keeps its flags
  EXPECT_EQ(Chars(w), u"wide");

  void* none = nullptr;
  CHostString::Release(none);
  CHostString::Assign(none, a.pszGet());
  EXPECT_EQ(Refs(a.pszGet()), 2u);
  CHostString::Release(none);
  EXPECT_EQ(none, nullptr);
}

TEST_F(HostStringTest, ReferenceCountIsAtomic) {
  CHostWString s(u"counted");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) CHostWString copy(s);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(Refs(s.pszGet()), 1u);
}

TEST_F(HostStringTest, GrowthPathsStayInsideTheirBlocks) {
  CHostString s;
  ASSERT_EQ(s.nAllocateCopy(3, "abc", 3), HOST_OK);  // the terminator needs room beyond the three bytes
  EXPECT_EQ(std::memcmp(s.pszGet(), "abc\0", 5), 0);
  ASSERT_EQ(s.nAppend(s.pszGet(), 3), HOST_OK);  // its own bytes
  EXPECT_EQ(Bytes(s), "abcabc");
  ASSERT_EQ(s.nSetLength(10), HOST_OK);
  s.SetByteLength(10);  // at the capacity: no byte past it
  EXPECT_EQ(s.nGetLength(), 10u);
  ASSERT_EQ(s.nEnsureCapacity(40), HOST_OK);
  EXPECT_GE(CHostString::pHeader(s.pszGet())->capacity, 40u);
  s.SetByteLength(0);
  EXPECT_EQ(s.pszGet(), nullptr);

  CHostWString w;
  for (int i = 0; i < 50; ++i) ASSERT_EQ(w.nAppendN(u"xyz", 3), HOST_OK);
  EXPECT_EQ(w.nGetLength(), 150u);
  EXPECT_EQ(w.pszGet()[150], 0);
  ASSERT_EQ(w.nAssignText(u"short", -1), HOST_OK);
  EXPECT_EQ(Chars(w), u"short");
  ASSERT_EQ(w.nAssignWide(u"exact", 5), HOST_OK);
  EXPECT_EQ(Chars(w), u"exact");
  EXPECT_EQ(w.pszGet()[5], 0);
  w.SetCharLength(2);
  EXPECT_EQ(Chars(w), u"ex");
  CHostWString grown;
  ASSERT_EQ(grown.nEnsureCapacity(4), HOST_OK);
  ASSERT_EQ(grown.nAllocateCopy(2, u"abcd", 4), HOST_OK);
  EXPECT_EQ(Chars(grown), u"abcd");
  CHostWString part(u"abcdef", 3);
  EXPECT_EQ(Chars(part), u"abc");
}

TEST_F(HostStringTest, Conversions) {
  CHostString s;
  EXPECT_EQ(s.nFromWide(u"", -1, 0, 1252), HOST_OK);
  EXPECT_EQ(s.pszGet(), nullptr);
  ASSERT_EQ(s.nFromWide(u"caf\u00e9", -1, 0, 1252), HOST_OK);
  EXPECT_EQ(Bytes(s), "caf\xe9");
  EXPECT_EQ(s.pszGet()[4], 0);
  ASSERT_EQ(s.nFromWide(u"\u65e5\u672c", 2, 0, 65001), HOST_OK);
  EXPECT_EQ(Bytes(s), "\xe6\x97\xa5\xe6\x9c\xac");
  EXPECT_EQ(s.nFromWide(u"x", 1, 0, 4242), HOST_ERR_CANNOT_CONVERT);
  EXPECT_EQ(s.pszGet(), nullptr);

  const char utf8[] = "d\xc3\xa9j\xc3\xa0";
  ASSERT_EQ(s.nFromCodePage(utf8, -1, 65001), HOST_OK);
  EXPECT_EQ(Bytes(s), utf8);
  ASSERT_EQ(s.nFromCodePage(utf8, -1, 1252), HOST_OK);
  EXPECT_EQ(Bytes(s), "d\xe9j\xe0");
  EXPECT_EQ(s.nFromCodePage("\xe9", 1, 4242), HOST_ERR_CANNOT_CONVERT);
  // GB18030 gives U+00F1 four bytes where UTF-8 has two: the text still converts whole.
  ASSERT_EQ(s.nFromCodePage("Espa\xc3\xb1" "a", -1, 54936), HOST_OK);
  EXPECT_EQ(Bytes(s), "Espa\x81\x30\x8a\x39" "a");

  CHostWString w;
  ASSERT_EQ(CHostString::nToWide(w, "\x83\x41\x93\xfa", 4, 0, 932), HOST_OK);
  EXPECT_EQ(Chars(w), u"\u30a2\u65e5");
  EXPECT_EQ(w.pszGet()[2], 0);
  EXPECT_EQ(CHostString::nToWide(w, "", -1, 0, 932), HOST_OK);
  EXPECT_EQ(w.pszGet(), nullptr);
}

// Passes every call on to the stand-in's allocator and keeps the size words it was given.
class CSizeWordRecorder : public IHostStringAllocator {
 public:
  explicit CSizeWordRecorder(IHostStringAllocator* inner) : m_inner(inner) {}
  void Slot0() override {}
  std::int32_t nAllocate(void** string, std::uint32_t capacity, std::uint32_t sizeWord) override {
    sizeWords.push_back(sizeWord);
    return m_inner->nAllocate(string, capacity, sizeWord);
  }
  std::int32_t nReallocate(void** string, std::uint32_t capacity) override {
    return m_inner->nReallocate(string, capacity);
  }
  void Free(void* string) override { m_inner->Free(string); }

  std::vector<std::uint32_t> sizeWords;

 private:
  IHostStringAllocator* m_inner;
};

TEST_F(HostStringTest, TheSizeWordCountsCharactersForWideStrings) {
  CSizeWordRecorder recorder(gpHostStringAllocator);
  gpHostStringAllocator = &recorder;
  {
    CHostWString assigned(u"abcde");
    CHostWString shared(assigned);
    ASSERT_EQ(shared.nAppendN(u"fg", 2), HOST_OK);  // unshares: a new string keeping five characters
    CHostWString copied;
    ASSERT_EQ(copied.nAllocateCopy(8, u"xyz", 3), HOST_OK);
    CHostString narrow("abcde");
    CHostString sharedNarrow(narrow);
    ASSERT_EQ(sharedNarrow.nAppend("f", 1), HOST_OK);
    EXPECT_EQ(recorder.sizeWords, (std::vector<std::uint32_t>{5, 5, 3, 5, 5}));
    EXPECT_EQ(Chars(shared), u"abcdefg");
  }
  gpHostStringAllocator = static_cast<IHostStringAllocator*>(qzrt::StringAllocator());
}

TEST_F(HostStringTest, AllocationFailures) {
  CHostString s("before");
  qzrt::FailStringAllocations(0, 131);
  EXPECT_EQ(s.nAssignBytes("a much longer text", 18), 131);  // the allocator's code, passed back as it is
  EXPECT_EQ(Bytes(s), "before");
  CHostString copy(s);
  EXPECT_EQ(copy.nAppend("!", 1), 131);  // unsharing needs a new block
  EXPECT_EQ(Bytes(s), "before");
  EXPECT_EQ(copy.pszGet(), s.pszGet());
  CHostWString w;
  EXPECT_EQ(w.nAssignText(u"text", -1), 131);
  EXPECT_EQ(w.pszGet(), nullptr);
  EXPECT_EQ(CHostString::nToWide(w, "abc", 3, 0, 1252), 131);
  EXPECT_EQ(s.nFromWide(u"abc", 3, 0, 1252), 131);
  EXPECT_EQ(s.pszGet(), nullptr);

  qzrt::FailStringAllocations(1, 132);  // the first allocation works, the growth fails
  CHostWString grow(u"ab");
  EXPECT_EQ(grow.nAppendN(u"cdefghijklmnop", 14), 132);
  EXPECT_EQ(Chars(grow), u"ab");
  qzrt::FailStringAllocations(-1);
}

TEST_F(HostStringTest, WithoutARuntimeAllocator) {
  CBoundRuntimeServices unbound(false);
  CHostString s("text");
  EXPECT_EQ(s.pszGet(), nullptr);
  EXPECT_EQ(s.nAssignText("text", 4), HOST_ERR_NOT_SUPPORTED);
  EXPECT_EQ(s.nFromCodePage("x", 1, 1252), HOST_ERR_NOT_SUPPORTED);
  CHostWString w;
  EXPECT_EQ(w.nAppendN(u"x", 1), HOST_ERR_NOT_SUPPORTED);
  EXPECT_EQ(w.nEnsureCapacity(8), HOST_ERR_NOT_SUPPORTED);
  EXPECT_EQ(w.pszGet(), nullptr);
}

}  // namespace
