#include "Kestrune.h"

// PLACEHOLDER: replaced by the real implementation.
void Kestrune::show() {}
void Kestrune::focusSearch() {}
