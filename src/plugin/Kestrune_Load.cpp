#include "Kestrune.h"

// PLACEHOLDER: replaced by the real implementation.
void Kestrune::load(const QString&) {}
void Kestrune::cycle(int) {}
