#include "Kestrune.h"

// PLACEHOLDER: replaced by the real implementation.
QString text(const char* key) { return QString::fromUtf8(key); }
