// The file stream on real files: open dispositions and what a failure leaves (message, path, system code, last
// error, error mode), exact and counted reads, positioned writes, sizes, truncation, line and text reads, copies,
// and range and whole-file locks against a second handle and another process.
#include "foundation/x_stream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "foundation/t_string.h"
#include "platform/error_mode.h"
#include "tests/support/file_fixture.h"
#include "tests/support/other_process.h"

namespace {

using platform::kGenericRead;
using platform::kGenericWrite;
constexpr std::uint32_t kReadWrite = kGenericRead | kGenericWrite;
constexpr std::uint32_t kShareAll = platform::kFileShareRead | platform::kFileShareWrite;
constexpr std::uint32_t kRandom = platform::kFileFlagRandomAccess;

std::u16string Text(const char16_t* text) { return text ? std::u16string(text) : std::u16string(u"(null)"); }

class XStreamTest : public FileFixture {
 protected:
  // A stream on a file, as the tests hold it: counted, released at the end.
  struct Stream {
    Stream() : p(new IXStream()) { p->AddRef(); }
    ~Stream() { p->nRelease(); }
    IXStream* operator->() const { return p; }
    IXStream* p;
  };

  int Open(Stream& stream, const std::string& name, std::uint32_t access, std::uint32_t disposition,
           std::uint32_t share = kShareAll, int* created = nullptr) {
    return stream->bOpen(WidePath(name).c_str(), access, share, disposition, kRandom, created);
  }
};

TEST_F(XStreamTest, DispositionsTellWhetherTheFileWasMade) {
  Stream stream;
  int created = -1;
  // Open always: made here the first time, found the second (with 183 left for the caller).
  ASSERT_TRUE(Open(stream, "a", kReadWrite, platform::kOpenAlways, kShareAll, &created));
  EXPECT_EQ(created, 1);
  EXPECT_EQ(Text(stream->pszGetNameBuffer()), WidePath("a"));
  EXPECT_EQ(stream->nGetAccess(), kReadWrite);
  stream->Close();
  EXPECT_FALSE(stream->bIsOpen());
  EXPECT_EQ(stream->nGetAccess(), 0u);
  ASSERT_TRUE(Open(stream, "a", kReadWrite, platform::kOpenAlways, kShareAll, &created));
  EXPECT_EQ(created, 0);
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorAlreadyExists);
  stream->Close();

  // Create always says "made" also when it replaced a file.
  Put("b", "old");
  ASSERT_TRUE(Open(stream, "b", kReadWrite, platform::kCreateAlways, kShareAll, &created));
  EXPECT_EQ(created, 1);
  EXPECT_EQ(stream->nGetSize(), 0u);
  stream->Close();

  EXPECT_FALSE(Open(stream, "b", kGenericWrite, platform::kCreateNew));
  ASSERT_TRUE(Open(stream, "c", kGenericWrite, platform::kCreateNew, kShareAll, &created));
  EXPECT_EQ(created, 0) << "only open-always and create-always report a made file";
}

TEST_F(XStreamTest, AFailedOpenLeavesACompleteError) {
  Stream stream;
  const std::u16string missing = WidePath("missing");
  platform::SetProcessErrorMode(platform::kSemNoOpenFileErrorBox);
  ASSERT_FALSE(Open(stream, "missing", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(platform::GetLastErrorCode(), platform::kErrorFileNotFound) << "the open's own code is kept";
  EXPECT_EQ(platform::ProcessErrorMode(), platform::kSemNoOpenFileErrorBox) << "the caller's error mode is back";
  platform::SetProcessErrorMode(0);
  EXPECT_FALSE(stream->bIsOpen());

  CXError* error = stream->pGetError();
  EXPECT_EQ(error->nGetLevel(), ERROR_LEVEL_FATAL);
  EXPECT_EQ(error->nGetSystemCode(), platform::kErrorFileNotFound);
  ASSERT_EQ(error->nGetMessageCount(), 1u);
  EXPECT_EQ(error->nGetMessageAt(0), 28139u);
  EXPECT_EQ(Text(error->pszGetUserMessage()), u"Le fichier " + missing + u" est introuvable.");
  EXPECT_EQ(Text(error->pszGetInfoText(ERROR_INFO_PATH)), missing);
  EXPECT_EQ(Text(error->pszGetModuleName()), Text(gstModuleDescriptor.pszFileName));
  EXPECT_NE(std::u16string(error->pszGetDebugText()).find(u"##(IXStream)-Handle=<"), std::u16string::npos);

  // Each disposition has its message; create-new and truncate-existing have none, but all the rest.
  Put("present", "x");
  struct Case {
    const char* name;
    std::uint32_t disposition;
    std::uint32_t message;
    std::uint32_t code;
  };
  const Case cases[] = {
      {"present", platform::kCreateNew, MESSAGE_NONE, platform::kErrorFileExists},
      {"missing", platform::kTruncateExisting, MESSAGE_NONE, platform::kErrorFileNotFound},
      {"no/such/dir/f", platform::kCreateAlways, 28140, platform::kErrorPathNotFound},
      {"no/such/dir/f", platform::kOpenAlways, 28002, platform::kErrorPathNotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.disposition);
    ASSERT_FALSE(Open(stream, c.name, kGenericWrite, c.disposition));
    EXPECT_EQ(error->nGetLevel(), ERROR_LEVEL_FATAL);
    EXPECT_EQ(error->nGetSystemCode(), c.code);
    EXPECT_EQ(platform::GetLastErrorCode(), c.code);
    EXPECT_EQ(error->nGetMessageCount(), c.message == MESSAGE_NONE ? 0u : 1u);
    if (c.message != MESSAGE_NONE) {
      EXPECT_EQ(error->nGetMessageAt(0), c.message);
    }
    EXPECT_EQ(Text(error->pszGetInfoText(ERROR_INFO_PATH)), WidePath(c.name));
  }

  // A success clears what the last failure left.
  ASSERT_TRUE(Open(stream, "present", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(error->nGetLevel(), ERROR_LEVEL_NONE);
  EXPECT_EQ(error->nGetMessageCount(), 0u);
}

TEST_F(XStreamTest, OpeningAnotherFileLetsGoOfTheOpenOne) {
  Put("first", "f1\nf2\n");
  const std::u16string second = u"s1\ns2\n";
  Put("second", std::string(reinterpret_cast<const char*>(second.data()), second.size() * 2));
  Stream stream;
  ASSERT_TRUE(Open(stream, "first", kReadWrite, platform::kOpenExisting, 0));
  char16_t buffer[8];
  ASSERT_NE(stream->pszReadTextW(buffer, 8, nullptr, nullptr), nullptr);
  ASSERT_TRUE(Open(stream, "second", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(Text(stream->pszReadTextW(buffer, 8, nullptr, nullptr)), u"s1") << "text read ahead from the first file";
  Stream other;
  EXPECT_TRUE(Open(other, "first", kReadWrite, platform::kOpenExisting, 0)) << "the first file is still held";
}

TEST_F(XStreamTest, ANameTooLongForTheBufferNeverOpensTheLastFile) {
  Put("kept", "data");
  Stream stream;
  ASSERT_TRUE(Open(stream, "kept", kGenericRead, platform::kOpenExisting));
  stream->Close();
  const std::u16string longName = WidePath(std::string(300, 'n'));
  ASSERT_FALSE(stream->bOpen(longName.c_str(), kGenericRead, kShareAll, platform::kOpenExisting, 0, nullptr));
  EXPECT_FALSE(stream->bIsOpen());
  EXPECT_EQ(stream->pGetError()->nGetSystemCode(), platform::kErrorFilenameExcedRange);
  EXPECT_EQ(Text(stream->pszGetNameBuffer()), longName.substr(0, XSTREAM_NAME_SIZE - 1));
}

TEST_F(XStreamTest, ReadsWritesAndPositions) {
  Stream stream;
  ASSERT_TRUE(Open(stream, "f", kReadWrite, platform::kCreateAlways));
  std::uint32_t written = 99;
  ASSERT_TRUE(stream->nWrite("0123456789", 10, &written));
  EXPECT_EQ(written, 10u);
  EXPECT_EQ(stream->nGetPosition(), 10u);
  ASSERT_TRUE(stream->nWrite("zz", 0, &written)) << "nothing to write is a success";
  EXPECT_EQ(written, 0u);
  ASSERT_TRUE(stream->nWriteAt(2, "ab", 2, nullptr));
  EXPECT_EQ(stream->nGetPosition(), 4u);
  EXPECT_EQ(stream->nGetSize(), 10u);
  EXPECT_EQ(stream->nGetPosition(), 4u) << "sizing keeps the position";

  char buffer[16] = {};
  std::uint32_t read = 0;
  ASSERT_TRUE(stream->nReadAt(6, buffer, 8, &read)) << "a counted read may come short";
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(stream->nGetPosition(), 10u);

  // An exact read that meets the end fails with system code 0 and says what it got.
  ASSERT_FALSE(stream->nReadAt(8, buffer, 4, nullptr));
  CXError* error = stream->pGetError();
  EXPECT_EQ(error->nGetMessageAt(0), 28003u);
  EXPECT_EQ(error->nGetSystemCode(), 0u);
  const std::u16string debug = error->pszGetDebugText();
  EXPECT_NE(debug.find(u"##(IXStream)-bExact=<1>##"), std::u16string::npos);
  EXPECT_NE(debug.find(u"##(IXStream)-A lire=<4>, lu=<2>##"), std::u16string::npos);
  EXPECT_EQ(stream->nGetPosition(), 10u) << "what was read before the failure counts";

  ASSERT_TRUE(stream->bSeek(-3, platform::kFileEnd));
  EXPECT_EQ(stream->nGetPosition(), 7u);
  ASSERT_FALSE(stream->bSeek(-20, platform::kFileCurrent));
  EXPECT_EQ(error->nGetMessageAt(0), 28005u);
  EXPECT_EQ(error->nGetSystemCode(), platform::kErrorNegativeSeek);
  EXPECT_EQ(stream->nGetPosition(), 7u);
  EXPECT_EQ(stream->nSeekEnd(), 10u);
  ASSERT_TRUE(stream->bFlush());
  stream->Close();
  EXPECT_EQ(Get("f"), "01ab456789");

  // Writing without write access: 28008 with the access flags.
  ASSERT_TRUE(Open(stream, "f", kGenericRead, platform::kOpenExisting));
  ASSERT_FALSE(stream->nWrite("x", 1, nullptr));
  EXPECT_EQ(error->nGetMessageAt(0), 28008u);
  EXPECT_EQ(error->nGetSystemCode(), platform::kErrorAccessDenied);
  EXPECT_NE(std::u16string(error->pszGetDebugText()).find(u"##(IXStream)-Access=<80000000>##"), std::u16string::npos);
  EXPECT_FALSE(stream->bFlush());
  EXPECT_EQ(error->nGetMessageAt(0), 28001u);
  EXPECT_EQ(stream->nGetPosition(), 0u);
}

TEST_F(XStreamTest, TruncatingExtendingAndSizing) {
  Put("f", "0123456789");
  Stream stream;
  ASSERT_TRUE(Open(stream, "f", kReadWrite, platform::kOpenExisting));
  EXPECT_FALSE(stream->bTruncate(4, 2)) << "only from the start or the end";
  EXPECT_EQ(stream->pGetError()->nGetMessageAt(0), 28004u);
  EXPECT_EQ(stream->nGetSize(), 10u);
  ASSERT_TRUE(stream->bTruncate(-2, 1));
  EXPECT_EQ(stream->nGetSize(), 8u);
  ASSERT_TRUE(stream->bTruncate(6, 0));
  // While the last byte is not a zero already, so that overwriting it would show.
  ASSERT_TRUE(stream->bExtend(0));
  ASSERT_TRUE(stream->bExtend(3));
  stream->Close();
  EXPECT_EQ(Get("f"), std::string("012345\0\0\0", 9)) << "extending by nothing leaves the last byte alone";

  ASSERT_TRUE(Open(stream, "f", kReadWrite, platform::kOpenExisting));
  ASSERT_TRUE(stream->bSetSize(12));
  EXPECT_EQ(stream->nGetSize(), 12u);
  ASSERT_TRUE(stream->bSetSize(4));
  stream->Close();
  EXPECT_EQ(Get("f"), "0123") << "shrinking keeps the bytes that stay";

  ASSERT_TRUE(Open(stream, "f", kReadWrite, platform::kOpenExisting));
  EXPECT_FALSE(stream->bSetSize(0));
  stream->Close();
  EXPECT_EQ(Get("f"), "");
}

TEST_F(XStreamTest, FormattedWritesAreCutAt1024) {
  Stream stream;
  ASSERT_TRUE(Open(stream, "f", kGenericWrite, platform::kCreateAlways));
  ASSERT_TRUE(stream->PrintfA("%d-%s;", 42, "ab"));
  ASSERT_TRUE(stream->PrintfW(u"%s=%u", u"\u00e9", 7u));
  ASSERT_TRUE(stream->PrintfA("%s", std::string(2000, 'x').c_str()));
  stream->Close();
  const std::string content = Get("f");
  ASSERT_EQ(content.size(), 6u + 6u + 1024u);
  EXPECT_EQ(content.substr(0, 6), "42-ab;");
  EXPECT_EQ(content.substr(6, 6), std::string("\xe9\0=\0" "7\0", 6));
  EXPECT_EQ(content.substr(12), std::string(1024, 'x'));
}

TEST_F(XStreamTest, ReadLinesInPieces) {
  Stream stream;
  char line[100];
  int cut = -1;
  auto next = [&](std::uint32_t size, std::uint32_t flags = 0) -> std::string {
    if (!stream->bReadLineA(line, size, &cut, flags)) return "<end>";
    return std::string(line) + (cut ? "|cut" : "");
  };

  Put("short", "ab\nc");
  ASSERT_TRUE(Open(stream, "short", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(next(100), "ab");
  EXPECT_EQ(next(100), "c");
  EXPECT_EQ(next(100), "<end>");
  stream->Close();

  Put("long", std::string(30, 'a') + "b\r\nnext");
  ASSERT_TRUE(Open(stream, "long", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(next(10), "aaaaaaaaa|cut");
  EXPECT_EQ(next(100), std::string(21, 'a') + "b");
  EXPECT_EQ(next(100), "next");
  stream->Close();

  // A CR LF across the end of an 80-byte piece, a lone CR, a line of exactly one piece without an end.
  Put("edges", std::string(79, 'p') + "\r\nx\ry\r\n" + std::string(80, 'q'));
  ASSERT_TRUE(Open(stream, "edges", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(next(100), std::string(79, 'p'));
  EXPECT_EQ(next(100), "x");
  EXPECT_EQ(next(100), "y") << "a lone CR ends the line without eating the next character";
  EXPECT_EQ(next(100), std::string(80, 'q'));
  EXPECT_EQ(next(100), "<end>");
  // With the flag only CR LF ends a line.
  ASSERT_TRUE(stream->bSeek(81, platform::kFileBegin));
  EXPECT_EQ(next(100, XSTREAM_LINE_CRLF_ONLY), "x\ry");
  stream->Close();

  // Two CRs closing a piece: which of them starts the line end is known only from the next piece.
  Put("crcr", std::string(79, 'p') + "\r\r\nz");
  ASSERT_TRUE(Open(stream, "crcr", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(next(100, XSTREAM_LINE_CRLF_ONLY), std::string(79, 'p') + "\r");
  EXPECT_EQ(next(100, XSTREAM_LINE_CRLF_ONLY), "z");
  ASSERT_TRUE(stream->bSeek(0, platform::kFileBegin));
  EXPECT_EQ(next(100), std::string(79, 'p'));
  EXPECT_EQ(next(100), "");
  EXPECT_EQ(next(100), "z");
  stream->Close();

  // The first CR ends the line; an LF only in a piece without a CR, even where the CR closes a full piece.
  // Pieces: "c\na\n" and 75 b then a CR; "d\n" and 78 f (no CR); 78 f, g and a CR.
  Put("mixed", "a\nb\r\nc\na\n" + std::string(75, 'b') + "\r\nd\n" + std::string(78, 'f') + "g\r\n");
  ASSERT_TRUE(Open(stream, "mixed", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(next(100), "a\nb");
  EXPECT_EQ(next(100), "c\na\n" + std::string(75, 'b'));
  EXPECT_EQ(next(100), "d");
  EXPECT_EQ(next(100), std::string(78, 'f') + "g");
  EXPECT_EQ(next(100), "<end>");
  stream->Close();

  // The wide reader counts characters.
  const std::u16string wide = u"h\u00e9llo\r\nw";
  Put("wide", std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2));
  ASSERT_TRUE(Open(stream, "wide", kGenericRead, platform::kOpenExisting));
  char16_t wideLine[4];
  ASSERT_TRUE(stream->bReadLineW(wideLine, 4, &cut, 0));
  EXPECT_EQ(std::u16string(wideLine), u"h\u00e9l");
  EXPECT_EQ(cut, 1);
  ASSERT_TRUE(stream->bReadLineW(wideLine, 4, &cut, 0));
  EXPECT_EQ(std::u16string(wideLine), u"lo");
  ASSERT_TRUE(stream->bReadLineW(wideLine, 4, &cut, 0));
  EXPECT_EQ(std::u16string(wideLine), u"w");
  EXPECT_FALSE(stream->bReadLineW(wideLine, 4, &cut, 0));
}

TEST_F(XStreamTest, TextLinesRunAcrossTheReadBuffer) {
  // A first line that ends past the 64 KiB buffer, then lines with each kind of end.
  std::u16string content(40000, u'a');
  content += u"\r\nshort\nlast";
  Put("text", std::string(reinterpret_cast<const char*>(content.data()), content.size() * 2));
  Stream stream;
  ASSERT_TRUE(Open(stream, "text", kGenericRead, platform::kOpenExisting));
  char16_t buffer[8];
  CTString text;
  const char16_t* line = stream->pszReadTextW(buffer, 8, &text, nullptr);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line, text.pszGet()) << "a line longer than the buffer goes to the text object";
  EXPECT_EQ(std::u16string(line), std::u16string(40000, u'a'));
  line = stream->pszReadTextW(buffer, 8, &text, nullptr);
  EXPECT_EQ(line, buffer);
  EXPECT_EQ(Text(line), u"short");
  EXPECT_EQ(Text(stream->pszReadTextW(buffer, 8, &text, nullptr)), u"last");
  EXPECT_EQ(stream->pszReadTextW(buffer, 8, &text, nullptr), nullptr);
  stream->Close();

  // The first CR ends a line; an LF only where no CR follows in what the buffer holds.
  const std::u16string mixed = u"a\nb\r\nc\nd\re";
  Put("mixed", std::string(reinterpret_cast<const char*>(mixed.data()), mixed.size() * 2));
  ASSERT_TRUE(Open(stream, "mixed", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(Text(stream->pszReadTextW(buffer, 8, &text, nullptr)), u"a\nb");
  EXPECT_EQ(Text(stream->pszReadTextW(buffer, 8, &text, nullptr)), u"c\nd");
  EXPECT_EQ(Text(stream->pszReadTextW(buffer, 8, &text, nullptr)), u"e");
  EXPECT_EQ(stream->pszReadTextW(buffer, 8, &text, nullptr), nullptr);
  stream->Close();

  const std::u16string separated = u"one<>two<>";
  Put("sep", std::string(reinterpret_cast<const char*>(separated.data()), separated.size() * 2));
  ASSERT_TRUE(Open(stream, "sep", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(Text(stream->pszReadTextW(buffer, 8, &text, u"<>")), u"one");
  EXPECT_EQ(Text(stream->pszReadTextW(buffer, 8, &text, u"<>")), u"two");
  EXPECT_EQ(stream->pszReadTextW(buffer, 8, &text, u"<>"), nullptr);
}

TEST_F(XStreamTest, CopiesStopWhereAsked) {
  std::string content;
  for (int i = 0; i < 70000; ++i) content += static_cast<char>('a' + i % 26);
  Put("src", content);
  Stream source;
  Stream target;
  ASSERT_TRUE(Open(source, "src", kGenericRead, platform::kOpenExisting));
  ASSERT_TRUE(Open(target, "dst", kGenericWrite, platform::kCreateAlways));
  ASSERT_TRUE(source->bSeek(100, platform::kFileBegin));
  ASSERT_TRUE(source->bCopyTo(target.p, 66000));
  EXPECT_EQ(source->nGetPosition(), 66100u) << "the surplus of the last block is pushed back";
  ASSERT_TRUE(source->bCopyTo(target.p, -1));
  ASSERT_TRUE(source->bCopyTo(target.p, 0));
  target->Close();
  EXPECT_EQ(Get("dst"), content.substr(100));

  ASSERT_TRUE(source->bCopyToNewFile(WidePath("part").c_str(), 5, 10));
  EXPECT_EQ(Get("part"), content.substr(5, 10));
  EXPECT_FALSE(source->bCopyToNewFile(WidePath("no/dir/part").c_str(), 0, 10));

  ASSERT_TRUE(Open(target, "part", kReadWrite, platform::kOpenExisting));
  ASSERT_TRUE(target->bCopyFromFile(WidePath("src").c_str(), 69990, -1));
  EXPECT_FALSE(target->bCopyFromFile(WidePath("none").c_str(), 0, -1));
  EXPECT_EQ(target->pGetError()->nGetMessageAt(0), 28139u) << "the source's failure is the caller's to read";
  target->Close();
  EXPECT_EQ(Get("part"), content.substr(5, 10) + content.substr(69990));
}

TEST_F(XStreamTest, RangeLocksExcludeOtherHandles) {
  Put("f", std::string(100, 'x'));
  const std::u16string path = WidePath("f");
  Stream mine;
  Stream second;
  ASSERT_TRUE(Open(mine, "f", kReadWrite, platform::kOpenExisting));
  ASSERT_TRUE(Open(second, "f", kReadWrite, platform::kOpenExisting));

  ASSERT_TRUE(mine->bLockRange(10, 5));
  ASSERT_FALSE(second->bLockRange(12, 1));
  CXError* error = second->pGetError();
  EXPECT_EQ(error->nGetMessageAt(0), 28145u);
  EXPECT_EQ(error->nGetSystemCode(), platform::kErrorLockViolation);
  EXPECT_EQ(Text(error->pszGetUserMessage()),
            u"Impossible de verrouiller 1 octet(s) \u00e0 partir de la position 12 du fichier " + path + u".");
  char buffer[4];
  EXPECT_FALSE(second->nReadAt(10, buffer, 4, nullptr)) << "the locked bytes cannot be read elsewhere";
  EXPECT_EQ(error->nGetSystemCode(), platform::kErrorLockViolation);
  ASSERT_FALSE(second->bUnlockRange(10, 5)) << "a lock belongs to its handle";
  EXPECT_EQ(error->nGetMessageAt(0), 28146u);
  ASSERT_TRUE(mine->bUnlockRange(10, 5));
  ASSERT_TRUE(second->bLockRange(12, 1));
}

TEST_F(XStreamTest, AnotherProcessHoldingALockOrTheFileShutsThisOneOut) {
  Put("f", std::string(100, 'x'));
  const std::u16string path = WidePath("f");
  IXStream* held = nullptr;
  auto hold = [&](std::uint32_t share) {
    held = new IXStream();
    held->AddRef();
    if (!held->bOpen(path.c_str(), kReadWrite, share, platform::kOpenExisting, 0, nullptr)) return 0u;
    return static_cast<std::uint32_t>(held->bLockRange(50, 10));
  };
  auto release = [&] {
    held->nRelease();
    return 0u;
  };
  OtherProcess other({[&] { return hold(kShareAll); }, release, [&] { return hold(0); }, release});

  EXPECT_EQ(other.Step(), 1u);
  Stream mine;
  ASSERT_TRUE(Open(mine, "f", kReadWrite, platform::kOpenExisting));
  EXPECT_FALSE(mine->bLockRange(55, 1));
  EXPECT_EQ(mine->pGetError()->nGetSystemCode(), platform::kErrorLockViolation);
  char buffer[4];
  EXPECT_FALSE(mine->nReadAt(48, buffer, 4, nullptr));
  EXPECT_EQ(mine->pGetError()->nGetMessageAt(0), 28003u);
  EXPECT_EQ(mine->pGetError()->nGetSystemCode(), platform::kErrorLockViolation);
  EXPECT_EQ(other.Step(), 0u);
  EXPECT_TRUE(mine->bLockRange(55, 1)) << "the lock ended with the other's handle";
  mine->Close();

  EXPECT_EQ(other.Step(), 1u);
  ASSERT_FALSE(Open(mine, "f", kGenericRead, platform::kOpenExisting)) << "the other holds it without sharing";
  EXPECT_EQ(mine->pGetError()->nGetSystemCode(), platform::kErrorSharingViolation);
  EXPECT_EQ(mine->pGetError()->nGetMessageAt(0), 28139u);
  EXPECT_EQ(other.Step(), 0u);
  EXPECT_TRUE(Open(mine, "f", kGenericRead, platform::kOpenExisting));
}

TEST_F(XStreamTest, WholeFileLocksShareOrWait) {
  Put("f", "content");
  platform::SetProcessErrorMode(0);
  Stream first;
  Stream second;
  ASSERT_TRUE(Open(first, "f", kReadWrite, platform::kOpenExisting));
  ASSERT_TRUE(Open(second, "f", kReadWrite, platform::kOpenExisting));
  ASSERT_TRUE(first->bLockWhole(1, 0));
  ASSERT_TRUE(second->bLockWhole(1, 0)) << "shared locks go together";
  ASSERT_TRUE(second->bLockWhole(0, 0));

  std::atomic<bool> granted{false};
  std::thread waiter([&] { granted = second->bLockWhole(1, 1) != 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(granted.load()) << "the exclusive lock waits for the shared one";
  EXPECT_EQ(platform::ProcessErrorMode(), platform::kSemFailCriticalErrors) << "boxes are off during the call";
  EXPECT_TRUE(first->bLockWhole(0, 0));
  waiter.join();
  EXPECT_TRUE(granted.load());
  // The mode is process-wide: the waiter's scope and the release's overlapped, and which of them restored last is
  // a matter of timing (the driver never overlaps them: its calls run under one lock). Alone, a call puts it back.
  platform::SetProcessErrorMode(0);
  EXPECT_TRUE(second->bLockWhole(0, 1));
  EXPECT_EQ(platform::ProcessErrorMode(), 0u) << "and back when it returns";
}

TEST_F(XStreamTest, TheNameInMessagesAndTheQueriedFileName) {
  Stream stream;
  ASSERT_TRUE(Open(stream, "f", kGenericRead, platform::kCreateAlways));
  ASSERT_TRUE(stream->SetName(u"Clients"));
  char buffer[4];
  ASSERT_FALSE(stream->nRead(buffer, 4, nullptr));
  EXPECT_EQ(Text(stream->pGetError()->pszGetUserMessage()), u"Erreur de lecture dans le fichier Clients.");
  EXPECT_EQ(Text(stream->pGetError()->pszGetInfoText(ERROR_INFO_PATH)), u"Clients");
  EXPECT_EQ(Text(stream->pszGetName()), WidePath("f")) << "the path stays in the name buffer";
  // Where the system has no entry to name an open file by its volume, the query answers 0.
  char16_t queried[XSTREAM_NAME_SIZE + 1] = {};
  EXPECT_EQ(stream->bQueryFileName(queried), 0);
  stream->Close();
  ASSERT_FALSE(Open(stream, "missing", kGenericRead, platform::kOpenExisting));
  EXPECT_EQ(Text(stream->pGetError()->pszGetInfoText(ERROR_INFO_PATH)), WidePath("missing"))
      << "closing put the name back on the path";
}

}  // namespace
