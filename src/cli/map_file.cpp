#include "cli/map_file.h"

#include "automation/text.h"
#include "cli/cli.h"

namespace tw::cli {

std::vector<MapPair> parseMap(std::string_view text, const std::string& file) {
  std::vector<MapPair> pairs;
  int number = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string content(trimBlanks(line));
    if (content.empty() || content[0] == '#') continue;
    const std::string at = file + ":" + std::to_string(number) + ": ";
    size_t arrow = content.find("->");
    if (arrow == std::string::npos) throw usageError(at + "expected OLD -> NEW or TABLE: OLD -> NEW");
    std::string left(trimBlanks(std::string_view(content).substr(0, arrow)));
    std::string newName(trimBlanks(std::string_view(content).substr(arrow + 2)));
    std::string table;
    if (size_t colon = left.find(':'); colon != std::string::npos) {
      table = std::string(trimBlanks(std::string_view(left).substr(0, colon)));
      left = std::string(trimBlanks(std::string_view(left).substr(colon + 1)));
    }
    if (left.empty() || newName.empty() || (content.find(':') < arrow && table.empty()))
      throw usageError(at + "a name is missing");
    pairs.push_back({number, std::move(table), std::move(left), std::move(newName)});
  }
  return pairs;
}

}  // namespace tw::cli
