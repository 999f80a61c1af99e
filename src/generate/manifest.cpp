#include "generate/manifest.h"

#include <algorithm>
#include <sstream>

#include "platform/files.h"
#include "support/sha256.h"

namespace tw {

namespace {

constexpr std::string_view kHeader =
    "# Tarnwick generation manifest: size, SHA-256 and path (relative to the destination) of every file "
    "written\n";

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start + 1));
    start = end + 1;
  }
  return lines;
}

}  // namespace

bool GenerationManifest::load(const std::string& path) {
  entries_.clear();
  std::optional<std::string> text = readFile(path);
  if (!text) return false;
  std::istringstream in(*text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t a = line.find(' ');
    const size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
    if (b == std::string::npos || b + 1 >= line.size()) continue;
    ManifestEntry e;
    try {
      e.size = std::stoull(line.substr(0, a));
    } catch (const std::exception&) {
      continue;
    }
    e.hash = line.substr(a + 1, b - a - 1);
    if (e.hash.size() != 64) continue;
    entries_[line.substr(b + 1)] = std::move(e);
  }
  return true;
}

bool GenerationManifest::save(const std::string& path) const {
  std::string out(kHeader);
  for (const auto& [name, e] : entries_) out += std::to_string(e.size) + " " + e.hash + " " + name + "\n";
  return writeFileIfChanged(path, out);
}

const ManifestEntry* GenerationManifest::find(std::string_view relativePath) const {
  auto it = entries_.find(relativePath);
  return it == entries_.end() ? nullptr : &it->second;
}

void GenerationManifest::record(std::string_view relativePath, std::string_view content) {
  record(relativePath, entryFor(content));
}

void GenerationManifest::record(std::string_view relativePath, ManifestEntry entry) {
  entries_[std::string(relativePath)] = std::move(entry);
}

ManifestEntry GenerationManifest::entryFor(std::string_view content) {
  return ManifestEntry{content.size(), Sha256::hex(content)};
}

void GenerationManifest::forget(std::string_view relativePath) {
  auto it = entries_.find(relativePath);
  if (it != entries_.end()) entries_.erase(it);
}

bool GenerationManifest::matches(const ManifestEntry& entry, std::string_view content) {
  return entry.size == content.size() && entry.hash == Sha256::hex(content);
}

// ---------------------------------------------------------------- diff

std::string unifiedDiff(std::string_view before, std::string_view after, std::string_view beforeName,
                        std::string_view afterName) {
  if (before == after) return {};
  const std::vector<std::string_view> a = splitLines(before);
  const std::vector<std::string_view> b = splitLines(after);
  // Common lines at both ends are matched directly; the middle by the
  // longest common subsequence, or, when that table would be too large,
  // as one replaced block.
  size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
  size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
    ++tail;
  const size_t n = a.size() - head - tail;
  const size_t m = b.size() - head - tail;
  // One entry per line of both texts: ' ' common, '-' only before, '+' only after.
  std::vector<std::pair<char, std::string_view>> ops;
  for (size_t i = 0; i < head; ++i) ops.emplace_back(' ', a[i]);
  if (n * m <= 16u * 1024 * 1024) {
    std::vector<uint32_t> lcs((n + 1) * (m + 1), 0);
    auto at = [&](size_t i, size_t j) -> uint32_t& { return lcs[i * (m + 1) + j]; };
    for (size_t i = n; i-- > 0;)
      for (size_t j = m; j-- > 0;)
        at(i, j) = a[head + i] == b[head + j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    size_t i = 0, j = 0;
    while (i < n || j < m) {
      if (i < n && j < m && a[head + i] == b[head + j]) {
        ops.emplace_back(' ', a[head + i]);
        ++i;
        ++j;
      } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
        ops.emplace_back('-', a[head + i++]);
      } else {
        ops.emplace_back('+', b[head + j++]);
      }
    }
  } else {
    for (size_t i = 0; i < n; ++i) ops.emplace_back('-', a[head + i]);
    for (size_t j = 0; j < m; ++j) ops.emplace_back('+', b[head + j]);
  }
  for (size_t i = a.size() - tail; i < a.size(); ++i) ops.emplace_back(' ', a[i]);

  constexpr size_t kContext = 3;
  std::string out = "--- " + std::string(beforeName) + "\n+++ " + std::string(afterName) + "\n";
  size_t k = 0;
  while (k < ops.size()) {
    // The next change, and the hunk around it: changes closer than twice the
    // context join one hunk.
    size_t first = k;
    while (first < ops.size() && ops[first].first == ' ') ++first;
    if (first == ops.size()) break;
    size_t start = first > kContext ? first - kContext : 0;
    size_t end = first;
    size_t quiet = 0;
    for (size_t x = first; x < ops.size(); ++x) {
      if (ops[x].first == ' ') {
        if (++quiet > 2 * kContext) break;
      } else {
        quiet = 0;
        end = x;
      }
    }
    const size_t stop = std::min(ops.size(), end + 1 + kContext);
    // Line numbers of the hunk's start in both texts.
    size_t lineA = 1, lineB = 1;
    for (size_t x = 0; x < start; ++x) {
      if (ops[x].first != '+') ++lineA;
      if (ops[x].first != '-') ++lineB;
    }
    size_t countA = 0, countB = 0;
    std::string body;
    for (size_t x = start; x < stop; ++x) {
      if (ops[x].first != '+') ++countA;
      if (ops[x].first != '-') ++countB;
      body += ops[x].first;
      body += ops[x].second;
      if (body.back() != '\n') body += "\n\\ No newline at end of file\n";
    }
    out += "@@ -" + std::to_string(countA ? lineA : lineA - 1) + "," + std::to_string(countA) + " +" +
           std::to_string(countB ? lineB : lineB - 1) + "," + std::to_string(countB) + " @@\n" + body;
    k = stop;
  }
  return out;
}

}  // namespace tw
