#include "encoder/UpdateKeys.h"
