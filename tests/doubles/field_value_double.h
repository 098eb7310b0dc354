// A field value whose six native operations are the test's: each call is recorded by name, and the NULL answer,
// the native type check and the native read can be set to fail.
#pragma once

#include <string>
#include <vector>

#include "engine/values/field_value.h"

namespace doubles {

class RecordingFieldValue : public CFieldValue {
 public:
  using CFieldValue::CFieldValue;

  int bReadNative() override { return Note("read", readAnswer); }
  int bIsNativeNull() override { return Note("null?", nativeNull); }
  int bWriteNative() override { return Note("write", 1); }
  int bPrepareExternalBuffer() override {
    Note("external", 1);
    return CFieldValue::bPrepareExternalBuffer();
  }
  int bPrepareNativeBuffer() override {
    Note("native", 1);
    return CFieldValue::bPrepareNativeBuffer();
  }
  int bCheckNativeType() override {
    if (checkAnswer) SetNativeTypeCode(nativeType);
    return Note("check", checkAnswer);
  }

  int nativeNull = 0;
  int checkAnswer = 1;
  int readAnswer = 1;
  std::uint32_t nativeType = 5;
  std::vector<std::string> calls;

 private:
  int Note(const char* name, int answer) {
    calls.emplace_back(name);
    return answer;
  }
};

}  // namespace doubles
