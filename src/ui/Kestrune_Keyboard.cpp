#include "Kestrune.h"
