// Test double of the record buffer: records the last null-flag change a field value makes, nothing else. The record
// engine's own class replaces it; the build takes this file only while engine/record/record_buffer.h does not exist.
#pragma once

#include <cstdint>

class CColumnDescriptor;

class CRecordBuffer {
 public:
  void SetFieldPresent(CColumnDescriptor* item, int present, std::uint32_t element) {
    m_pLastItem = item;
    m_nLastPresent = present;
    m_nLastElement = element;
    ++m_nCalls;
  }

  CColumnDescriptor* m_pLastItem = nullptr;
  int m_nLastPresent = -1;
  std::uint32_t m_nLastElement = 0;
  std::uint32_t m_nCalls = 0;
};
