#include "kestrune.h"
