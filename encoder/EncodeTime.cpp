#include "encoder/EncodeTime.h"

namespace vexmoor {

double EncodeTime(const TLocalClock& clock) {
  return (DateTimeValue(clock) * 1440.0 + clock.BiasMinutes) / 1440.0;
}

}  // namespace vexmoor
