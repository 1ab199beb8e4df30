#include "Kestrune.h"

// PLACEHOLDER: replaced by the real implementation.
bool Kestrune::eventFilter(QObject* w, QEvent* e) { return QObject::eventFilter(w, e); }
