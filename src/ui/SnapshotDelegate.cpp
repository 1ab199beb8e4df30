#include "SnapshotDelegate.h"
