#include "Kestrune.h"

// PLACEHOLDER: replaced by the real implementation.
QString Kestrune::filePath(QFileDialog::AcceptMode, const QString&) { return {}; }
void Kestrune::write(const QString&, const kestrune::Snapshot&) {}
void Kestrune::importSnapshot() {}
void Kestrune::exportSnapshot() {}
