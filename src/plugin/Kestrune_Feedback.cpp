#include "Kestrune.h"

// PLACEHOLDER: replaced by the real implementation.
void Kestrune::error(const char*, const QString&) {}
bool Kestrune::confirm(const QString&, bool) { return false; }
bool Kestrune::ensureDirectory() { return false; }
void Kestrune::openFolder() {}
