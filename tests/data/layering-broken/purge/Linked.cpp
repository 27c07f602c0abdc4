#include "catalogue/RomItem.h"
