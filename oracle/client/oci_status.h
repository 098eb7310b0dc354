// The names of the client's statuses, as the OCI errors show them in their debug text.
#pragma once

#include <cstdint>

#include "foundation/t_string.h"

// Assigns the status's name ("OCI_SUCCESS", ..., or "Unknown status : %d") to out and answers out's text.
const char16_t* pszOciStatusName(CTString& out, std::int32_t status);
