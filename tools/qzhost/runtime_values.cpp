#include "tools/qzhost/runtime_values.h"

#include "host/host_services.h"
#include "host/host_value.h"
#include "host/value_entry_points.h"
#include "standin/runtime/runtime_standin.h"

namespace qzhost {

bool BindRuntimeValues() {
  gpHostLocale = static_cast<IHostLocaleService*>(qzrt::LocaleService());
  gpHostStringAllocator = static_cast<IHostStringAllocator*>(qzrt::StringAllocator());
  return bInitKXConvFromVM(qzrt::ModuleHandle(), 2, 2) && bInitKXCalcFromVM(qzrt::ModuleHandle(), 2, 2);
}

void ValueDeleter::operator()(CHostValue* value) const { delete value; }

Value NewEmptyValue() { return Value(new CHostValue()); }

Value NewTextValue(const std::u16string& text) {
  Value value(new CHostValue());
  value->SetType(HOST_TYPE_TEXT);
  value->Set(text.c_str());
  return value;
}

Value NewNumberValue(std::int32_t number) {
  Value value(new CHostValue());
  value->SetType(HOST_TYPE_INT32);
  value->Set(&number);
  return value;
}

bool ValueText(CHostValue& value, std::u16string& text) {
  if (value.nGetType() == HOST_TYPE_EMPTY || value.bIsNull()) return false;
  value.EnsureWideText();
  const char16_t* wide = nullptr;
  if (value.nGetWideText(&wide) != HOST_OK) return false;
  text = wide ? wide : u"";
  return true;
}

}  // namespace qzhost
