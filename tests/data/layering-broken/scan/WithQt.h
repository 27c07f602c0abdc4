#include <QString>
#include "catalogue/RomItem.h"
