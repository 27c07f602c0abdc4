#include "catalogue/Version.h"

#include <cmath>
#include <cstdio>

namespace vexmoor {

std::string FormatDecimals(double value, int minDecimals, int maxDecimals,
                           std::string_view decimalSeparator) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", maxDecimals, value);
  std::string digits = text;
  const size_t point = digits.find('.');
  if (point == std::string::npos) return digits;
  size_t end = digits.size();
  while (end > point + 1 + static_cast<size_t>(minDecimals) && digits[end - 1] == '0') --end;
  const std::string fraction = digits.substr(point + 1, end - point - 1);
  std::string result = digits.substr(0, point);
  if (!fraction.empty()) result += std::string(decimalSeparator) + fraction;
  return result;
}

std::string ProgramCaption(std::string_view decimalSeparator) {
  return std::string(kProductName) + " v" + FormatDecimals(kProgramVersion, 2, 4, decimalSeparator) +
         " - Fast Rom Checklist";
}

}  // namespace vexmoor
