#include "scan/ScanEngine.h"
