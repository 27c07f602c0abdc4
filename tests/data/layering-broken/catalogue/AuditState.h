#include "scan/CacheTable.h"
