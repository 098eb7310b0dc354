// What the row cache tests share: records of a chosen size whose bytes carry a number (keyed by their whole record),
// records keyed by one text value, and counted objects held for the length of a test. Every record a test makes is
// given back with the fixture, which then checks the field values and holder came back too.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "engine/cache/row_cache.h"
#include "engine/record/column_types.h"
#include "engine/record/record.h"
#include "engine/record/record_buffer.h"
#include "engine/record/record_description.h"
#include "engine/values/field_value.h"
#include "engine/values/row_keys.h"
#include "engine/values/value_row.h"
#include "tests/engine/field_value_fixture.h"

namespace rowcache {

struct SRelease {
  void operator()(CRefCounted* object) const { object->nRelease(); }
};
template <class T>
using Ref = std::unique_ptr<T, SRelease>;

// Holds a new reference on the object.
template <class T>
Ref<T> Hold(T* object) {
  object->AddRef();
  return Ref<T>(object);
}

class RowCacheFixture : public CFieldValueFixture {
 protected:
  void TearDown() override {
    for (auto& [size, buffer] : m_prototypes) buffer->nRelease();
    for (CRecordDescription* description : m_descriptions) description->nRelease();
    CFieldValueFixture::TearDown();
  }

  // A record of `size` bytes (null flags included, at least 6) whose fields start with `id`, every field present.
  Ref<CRecord> Row(std::uint32_t id, std::uint32_t size = 16, std::uint32_t state = 0) {
    auto record = Hold(new CRecord(holder));
    EXPECT_TRUE(record->SetBuffer(Prototype(size)));
    std::vector<std::uint8_t> fields(size - 1, static_cast<std::uint8_t>(id * 7 + 1));
    std::memcpy(fields.data(), &id, sizeof(id));
    record->pGetBuffer()->SetData(fields.data(), static_cast<std::uint32_t>(fields.size()));
    record->SetState(state);
    return record;
  }
  // A record keyed by a text value of the declared size (kind 3), its bytes carrying `id`.
  Ref<CRecord> TextKeyed(const char* text, std::uint32_t id, std::uint64_t declared = 8) {
    Ref<CRecord> record = Row(id);
    record->SetKey(new CHostValueKey(Text(text, declared).get()));
    return record;
  }
  Ref<CFieldValue> Text(const char* text, std::uint64_t declared = 8) {
    auto value = Hold(new CFieldValue(holder, connection));
    value->InitType(HOST_TYPE_ASTRING, declared);
    value->bSetAnsiText(text, FIELD_LENGTH_TERMINATED);
    return value;
  }
  // The number a row's bytes start with; all ones for a record without bytes.
  static std::uint32_t IdOf(CRecord* record) {
    if (!record->pGetBuffer()) return ROW_NONE;
    std::uint32_t id = 0;
    std::memcpy(&id, record->pGetBuffer()->pGetData(), sizeof(id));
    return id;
  }
  // The number of the row read back from the cache; all ones when it cannot be read.
  static std::uint32_t IdAt(CRowCache& cache, std::uint32_t row) {
    CRecord record(nullptr);
    return cache.bReadRow(&record, row) ? IdOf(&record) : ROW_NONE;
  }

 private:
  // A buffer of `size` bytes: one null-flag byte and a binary field.
  CRecordBuffer* Prototype(std::uint32_t size) {
    CRecordBuffer*& buffer = m_prototypes[size];
    if (buffer) return buffer;
    CRecordDescription* description = driver.CDriver::pCreateDescription(connection, holder);
    description->AddRef();
    m_descriptions.push_back(description);
    CColumnDescriptor* item = pCreateColumnDescriptorThroughDriver(nullptr, 0);
    item->bSetAll(u"BYTES", u"T", u"", 1, size - 1, COLUMN_TYPE_BINARY, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0);
    EXPECT_TRUE(description->AddItem(item));
    description->LayoutItems();
    buffer = new CRecordBuffer();
    buffer->AddRef();
    EXPECT_TRUE(buffer->bBuildLayout(description));
    EXPECT_EQ(buffer->nGetTotalLength(), size);
    return buffer;
  }

  std::map<std::uint32_t, CRecordBuffer*> m_prototypes;
  std::vector<CRecordDescription*> m_descriptions;
};

}  // namespace rowcache
