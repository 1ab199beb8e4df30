#include "Kestrune.h"

// PLACEHOLDER: replaced by the real implementation.
void Kestrune::refresh(const QString&) {}
QString Kestrune::selected() const { return {}; }
void Kestrune::updateButtons() {}
void Kestrune::rowsReordered() {}
