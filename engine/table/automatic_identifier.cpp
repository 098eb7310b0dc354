#include "engine/table/automatic_identifier.h"

CAutomaticIdentifier::~CAutomaticIdentifier() = default;
int CAutomaticIdentifier::nReserved() { return 0; }
int CAutomaticIdentifier::bGetNextValue(CTable*, CColumn*, CErrorHolder*, CHostValue*) { return 0; }
int CAutomaticIdentifier::bGetCurrentMaximum(CTable*, CColumn*, CErrorHolder*, CHostValue*) { return 0; }
int CAutomaticIdentifier::bBuildNextValueText(CTString&, CTable*, CColumn*) { return 0; }
int CAutomaticIdentifier::bBuildMaxText(CTString&, CTable*, CColumn*) { return 0; }
void CAutomaticIdentifier::RaiseError(CErrorHolder*, CTable*, CColumn*) {}
