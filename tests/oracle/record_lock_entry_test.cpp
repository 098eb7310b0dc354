// The locked-record entry keeps its object alive exactly as long as someone holds it.
#include <gtest/gtest.h>

#include "oracle/record_lock_entry.h"

namespace {

class Counted : public CRefCounted {
 public:
  explicit Counted(bool& destroyed) : m_destroyed(destroyed) {}
  ~Counted() override { m_destroyed = true; }

 private:
  bool& m_destroyed;
};

TEST(RecordLockEntry, HoldsOneReferenceOfItsObject) {
  bool destroyed = false;
  auto* object = new Counted(destroyed);
  object->AddRef();
  auto* entry = new CRecordLockEntry(object, 42);
  entry->AddRef();
  EXPECT_EQ(object->nGetRefCount(), 2u);
  EXPECT_EQ(entry->nGetValue(), 42u);
  EXPECT_EQ(entry->nQuery(), 0);

  CRefCounted* given = entry->pGetObject();
  EXPECT_EQ(given, object);
  EXPECT_EQ(object->nGetRefCount(), 3u);
  given->nRelease();

  object->nRelease();
  EXPECT_FALSE(destroyed);
  entry->nRelease();  // the entry's reference was the last
  EXPECT_TRUE(destroyed);
}

TEST(RecordLockEntry, WithoutAnObjectGivesNone) {
  auto* entry = new CRecordLockEntry(nullptr, 0);
  entry->AddRef();
  EXPECT_EQ(entry->pGetObject(), nullptr);
  entry->nRelease();
}

}  // namespace
