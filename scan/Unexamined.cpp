#include "scan/Unexamined.h"

namespace vexmoor {

namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// `line` with its middle left out when it is too long to read in a message.
std::string Shortened(const std::string& line) {
  if (line.size() <= kUnexaminedLineBytes) return line;
  size_t head = kUnexaminedLineBytes / 3;
  size_t tail = line.size() - (kUnexaminedLineBytes - head - 3);
  while (head > 0 && IsContinuationByte(line[head])) --head;
  while (tail < line.size() && IsContinuationByte(line[tail])) ++tail;
  return line.substr(0, head) + "..." + line.substr(tail);
}

}  // namespace

std::string UnexaminedSummary(const std::vector<std::string>& unexamined) {
  if (unexamined.empty()) return {};
  const size_t count = unexamined.size();
  std::string text = "The scan could not examine " + std::to_string(count) +
                     (count == 1 ? " path:" : " paths:");
  for (size_t i = 0; i < count && i < kUnexaminedShown; ++i) text += "\n" + Shortened(unexamined[i]);
  if (count > kUnexaminedShown) text += "\nand " + std::to_string(count - kUnexaminedShown) + " more";
  return text;
}

}  // namespace vexmoor
