#include "Kestrune.h"

// PLACEHOLDER: replaced by the real implementation.
QString Kestrune::saveSnapshot(const kestrune::Snapshot&, const QString&) { return {}; }
bool Kestrune::canAddSnapshot() { return false; }
QString Kestrune::nameFor(const QString&, const QString&) { return {}; }
void Kestrune::saveNew() {}
void Kestrune::overwrite() {}
void Kestrune::rename() {}
void Kestrune::remove() {}
