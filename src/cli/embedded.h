#pragma once
// Files the program carries inside itself, written into a source file at
// build time: the settings catalogue and the studio's page.
#include <string_view>
#include <vector>

namespace tw::cli {

struct EmbeddedFile {
  std::string_view name;  // path below src/cli/data, with "/"
  std::string_view bytes;
};

const std::vector<EmbeddedFile>& embeddedFiles();

// The bytes of one embedded file; empty when there is none of that name.
std::string_view embeddedFile(std::string_view name);

}  // namespace tw::cli
