// Column descriptors made for a test: counted, held by one reference that the holder gives back.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/record/column_descriptor.h"

struct DescriptorRelease {
  void operator()(CColumnDescriptor* descriptor) const { descriptor->nRelease(); }
};
using DescriptorRef = std::unique_ptr<CColumnDescriptor, DescriptorRelease>;

// A plain column (one element) set as a record description sets it.
inline DescriptorRef Column(std::uint32_t type, std::uint32_t size, std::uint32_t precision = 0,
                            std::uint32_t scale = 0) {
  DescriptorRef descriptor(new CColumnDescriptor());
  descriptor->AddRef();
  descriptor->bSetAll(u"C", u"T", u"C", 1, size, type, 0, 0, 0, precision, scale);
  return descriptor;
}
