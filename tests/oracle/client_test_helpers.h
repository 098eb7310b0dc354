// What the client-layer tests read of an error holder, and where the OCI stand-ins are built.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/error_holder.h"

namespace ocitest {

// The client library path of the stand-ins, and the variant folders.
std::u16string StandInPath(const std::string& relative);

// Whether an identification record 100.point (or unit.point) is in the error or any error nested in it.
bool HasPoint(CErrorHolder& holder, unsigned point, unsigned unit = 100);
// Whether the message text appears anywhere in the user messages of the error and its nested errors.
bool HasMessageText(CErrorHolder& holder, const std::u16string& text);
// Whether the message number is among the messages of the error or of an error nested in it.
bool HasMessageNumber(CErrorHolder& holder, std::uint32_t message);
std::u16string Text(CErrorHolder& holder);
// The same, narrowed for failure messages.
std::string Dump(CErrorHolder& holder);

}  // namespace ocitest
