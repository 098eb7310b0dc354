// The stream proxy: the stream it makes on the first open and keeps across closes, a stream handed in from outside,
// and the copy between proxies.
#include "foundation/stream_proxy.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/file_fixture.h"

namespace {

constexpr std::uint32_t kShareAll = platform::kFileShareRead | platform::kFileShareWrite;

class StreamProxyTest : public FileFixture {};

TEST_F(StreamProxyTest, OneStreamServesEveryOpenAndKeepsItsError) {
  CStreamProxy proxy;
  EXPECT_EQ(proxy.pGetErrorOrNull(), nullptr);
  EXPECT_EQ(proxy.pszGetNameBuffer(), nullptr);
  ASSERT_FALSE(proxy.bOpen(WidePath("missing").c_str(), platform::kGenericRead, kShareAll, platform::kOpenExisting,
                           0, nullptr));
  IXStream* stream = proxy.pGetInner();
  ASSERT_NE(stream, nullptr) << "a failed first open keeps the stream for its error";
  EXPECT_EQ(proxy.pGetError()->nGetMessageAt(0), 28139u);
  EXPECT_EQ(proxy.pGetErrorOrNull(), proxy.pGetError());

  ASSERT_TRUE(proxy.bOpen(WidePath("f").c_str(), platform::kGenericRead | platform::kGenericWrite, kShareAll,
                          platform::kCreateAlways, 0, nullptr));
  ASSERT_TRUE(proxy.PrintfA("%s\r\n%d", "line", 2));
  proxy.Close();
  EXPECT_EQ(proxy.pGetInner(), stream) << "a stream made by the proxy stays, closed";
  EXPECT_FALSE(proxy.bIsOpen());
  ASSERT_TRUE(proxy.bOpen(WidePath("f").c_str(), platform::kGenericRead, kShareAll, platform::kOpenExisting, 0,
                          nullptr));
  EXPECT_EQ(proxy.pGetInner(), stream);
  EXPECT_EQ(proxy.nGetAccess(), platform::kGenericRead);
  char line[16];
  int cut = 0;
  ASSERT_TRUE(proxy.bReadLineA(line, sizeof(line), &cut, 0));
  EXPECT_EQ(std::string(line), "line");
  EXPECT_EQ(proxy.nGetSize(), 7u);
}

TEST_F(StreamProxyTest, DestroyingTheProxyClosesTheFile) {
  {
    CStreamProxy proxy;
    ASSERT_TRUE(proxy.bOpen(WidePath("f").c_str(), platform::kGenericWrite, 0, platform::kCreateAlways, 0, nullptr));
    CStreamProxy other;
    EXPECT_FALSE(other.bOpen(WidePath("f").c_str(), platform::kGenericRead, kShareAll, platform::kOpenExisting, 0,
                             nullptr)) << "opened without sharing";
  }
  CStreamProxy proxy;
  EXPECT_TRUE(proxy.bOpen(WidePath("f").c_str(), platform::kGenericRead, 0, platform::kOpenExisting, 0, nullptr));
}

TEST_F(StreamProxyTest, AStreamHandedInIsLetGoAtClose) {
  auto* stream = new IXStream();
  stream->AddRef();  // the test's own reference
  {
    CStreamProxy proxy;
    proxy.SetInner(stream);
    EXPECT_EQ(stream->nGetRefCount(), 2u);
    ASSERT_TRUE(proxy.bOpen(WidePath("f").c_str(), platform::kGenericWrite, kShareAll, platform::kCreateAlways, 0,
                            nullptr));
    EXPECT_EQ(proxy.pGetInner(), stream);
    proxy.Close();
    EXPECT_EQ(proxy.pGetInner(), nullptr) << "the proxy did not make it, so it does not keep it";
    EXPECT_EQ(stream->nGetRefCount(), 1u);
  }
  stream->nRelease();

  // Handed again the stream whose last reference it holds, the proxy keeps it.
  CStreamProxy proxy;
  auto* only = new IXStream();
  proxy.SetInner(only);
  proxy.SetInner(only);
  EXPECT_EQ(proxy.pGetInner(), only);
  EXPECT_EQ(only->nGetRefCount(), 1u);
}

TEST_F(StreamProxyTest, CopiesBetweenProxies) {
  std::string content;
  for (int i = 0; i < 70000; ++i) content += static_cast<char>('0' + i % 10);
  Put("src", content);
  CStreamProxy source;
  CStreamProxy target;
  ASSERT_TRUE(source.bOpen(WidePath("src").c_str(), platform::kGenericRead, kShareAll, platform::kOpenExisting, 0,
                           nullptr));
  ASSERT_TRUE(target.bOpen(WidePath("dst").c_str(), platform::kGenericWrite, kShareAll, platform::kCreateAlways, 0,
                           nullptr));
  ASSERT_TRUE(source.bSeek(3, platform::kFileBegin));
  ASSERT_TRUE(source.bCopyTo(&target, 65540));
  EXPECT_EQ(source.nGetPosition(), 65543u);
  ASSERT_TRUE(source.bCopyTo(&target, -1));
  target.Close();
  EXPECT_EQ(Get("dst"), content.substr(3));
}

}  // namespace
