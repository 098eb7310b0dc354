// The NLS languages and territories the server knows, as ALTER SESSION checks them: a name outside these lists is
// refused with ORA-12705, as the server refuses it. Names are compared in upper case.
#pragma once

#include <string>

namespace qzoci {

bool IsKnownNlsLanguage(const std::string& name);
bool IsKnownNlsTerritory(const std::string& name);

}  // namespace qzoci
