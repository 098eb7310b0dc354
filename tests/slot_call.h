// Tests call operations by raw slot number through the runtime stand-in's caller.
#pragma once

#include "standin/runtime/slot_call.h"

using qzrt::CallSlot;
