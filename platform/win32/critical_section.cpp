#include "platform/critical_section.h"

#include <windows.h>

namespace platform {

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(CriticalSection::storage));

namespace {
CRITICAL_SECTION* Section(CriticalSection& section) { return reinterpret_cast<CRITICAL_SECTION*>(section.storage); }
}  // namespace

void CriticalSection::Initialize() { ::InitializeCriticalSection(Section(*this)); }
void CriticalSection::Delete() { ::DeleteCriticalSection(Section(*this)); }
void CriticalSection::Enter() { ::EnterCriticalSection(Section(*this)); }
void CriticalSection::Leave() { ::LeaveCriticalSection(Section(*this)); }
bool CriticalSection::TryEnter() { return ::TryEnterCriticalSection(Section(*this)) != FALSE; }

}  // namespace platform
