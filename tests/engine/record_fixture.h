// What the record tests share: a driver object whose descriptor factory counts the descriptors alive, installed as
// the current driver for one test, and a maker of descriptors set up as the builders set them.
#pragma once

#include <gtest/gtest.h>

#include "engine/record/column_descriptor.h"
#include "engine/record/column_types.h"
#include "engine/record/record_description.h"
#include "host/library_entry.h"
#include "tests/doubles/driver_doubles.h"
#include "tests/slot_call.h"

namespace records {

inline int gnLiveDescriptors = 0;

class CountedDescriptor : public CColumnDescriptor {
 public:
  CountedDescriptor() { ++gnLiveDescriptors; }

 protected:
  ~CountedDescriptor() override { --gnLiveDescriptors; }
};

class RecordDriver : public doubles::TestDriver {
 public:
  void DeletingDestructor(std::uint32_t flags) override { DestroyAs(this, flags); }
  CColumnDescriptor* pCreateColumnDescriptor(CRecordDescription*, std::uint32_t) override {
    return failDescriptors ? nullptr : new CountedDescriptor();
  }
  bool failDescriptors = false;
};

// Installs a RecordDriver as the current driver object; at the end every descriptor made must be gone.
class RecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doubles::EnsureLibrary();
    m_pSaved = gpDriver;
    driver = new RecordDriver();
    driver->AddRef();
    gpDriver = driver;
    gnLiveDescriptors = 0;
  }
  void TearDown() override {
    EXPECT_EQ(gnLiveDescriptors, 0);
    driver->nRelease();
    gpDriver = m_pSaved;
  }
  CErrorHolder* Holder() { return driver->pGetErrorHolder(); }

  // A descriptor as bSetAll leaves it, with no reference taken.
  static CColumnDescriptor* Make(const char16_t* name, std::uint32_t type, std::uint32_t size, std::uint16_t flags = 0,
                                 std::uint32_t position = 0xFFFFFFFF, std::uint32_t keyNumber = 0xFFFFFFFF,
                                 std::uint32_t count = 1) {
    auto* item = new CountedDescriptor();
    item->bSetAll(name, u"", u"", count, size, type, position, keyNumber, flags, 0, 0);
    return item;
  }
  // A new generic description with a reference.
  CRecordDescription* NewDescription() {
    CRecordDescription* description = driver->CDriver::pCreateDescription(nullptr, Holder());
    description->AddRef();
    return description;
  }

  RecordDriver* driver = nullptr;

 private:
  CDriver* m_pSaved = nullptr;
};

// An item handed out by a description slot, as the runtime sees it.
inline IHostItemDescription* Item(void* handed) { return static_cast<IHostItemDescription*>(handed); }

}  // namespace records
