// The driver object's factories as the record classes use them, declared here so that engine/ never sees the
// driver's class; driver/ defines them over the current driver object. Each answers null without a driver object
// or when the object cannot be made.
#pragma once

#include <cstdint>

class CColumnDescriptor;
class CConnection;
class CErrorHolder;
class CRecordDescription;

CColumnDescriptor* pCreateColumnDescriptorThroughDriver(CRecordDescription* description, std::uint32_t options);
CRecordDescription* pCreateDescriptionThroughDriver(CConnection* connection, CErrorHolder* holder);
