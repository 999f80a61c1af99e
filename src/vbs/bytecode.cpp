#include "vbs/bytecode.h"

#include <algorithm>

namespace tw::vbs {

std::string SourceText::line(int32_t n) const {
  if (n < 1) return {};
  size_t pos = 0;
  for (int32_t i = 1; i < n; ++i) {
    size_t nl = text.find_first_of("\r\n", pos);
    if (nl == std::string::npos) return {};
    pos = nl + ((text[nl] == '\r' && nl + 1 < text.size() && text[nl + 1] == '\n') ? 2 : 1);
  }
  size_t end = text.find_first_of("\r\n", pos);
  return text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
}

SourcePos Proc::positionAt(int32_t pc) const {
  auto it = std::upper_bound(lines.begin(), lines.end(), pc,
                             [](int32_t p, const std::pair<int32_t, SourcePos>& e) { return p < e.first; });
  if (it == lines.begin()) return lines.empty() ? SourcePos{} : lines.front().second;
  return std::prev(it)->second;
}

int32_t Proc::resumeAt(int32_t pc) const {
  auto it = std::upper_bound(resumes.begin(), resumes.end(), pc,
                             [](int32_t p, const Resume& r) { return p < r.start; });
  while (it != resumes.begin()) {
    --it;
    if (pc >= it->start && pc < it->end) return it->next;
    // Ranges do not nest, but a header range may start before the one that
    // holds pc; look a little further back.
    if (pc - it->start > 100000) break;
  }
  // Past every range: continue at the next statement that starts after pc.
  for (const auto& [start, pos] : lines)
    if (start > pc) return start;
  return static_cast<int32_t>(code.size()) - 1;
}

}  // namespace tw::vbs
