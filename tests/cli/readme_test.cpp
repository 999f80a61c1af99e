// The README's examples of the tarnwick command run as written, in order,
// against the sample database, from a folder that holds the repository's
// samples/ and templates/.
#include <signal.h>

#include <gmock/gmock.h>

#include "cli_fixture.h"

namespace tw::testing {
namespace {

// The lines of the first ```sh block after the given heading, without
// comments and empty lines.
std::vector<std::string> exampleLines(const std::string& readme, const std::string& heading) {
  std::vector<std::string> lines;
  size_t at = readme.find(heading);
  if (at == std::string::npos) return lines;
  size_t open = readme.find("```sh\n", at);
  size_t close = readme.find("```\n", open + 6);
  if (open == std::string::npos || close == std::string::npos) return lines;
  std::istringstream in(readme.substr(open + 6, close - open - 6));
  for (std::string line; std::getline(in, line);) {
    size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line[start] == '#') continue;
    lines.push_back(line);
  }
  return lines;
}

class ReadmeTest : public CliTest {};

TEST_F(ReadmeTest, EveryExampleOfTheCommandRunsAsWritten) {
  std::vector<std::string> lines = exampleLines(read(sourceDir() / "README.md"), "## Using tarnwick");
  ASSERT_GE(lines.size(), 20u);
  fs::create_directory_symlink(sourceDir() / "samples", work() / "samples");
  fs::create_directory_symlink(sourceDir() / "templates", work() / "templates");
  for (const std::string& line : lines) {
    if (line.rfind("tarnwick serve ", 0) == 0) {
      // A server: it must come up and stop cleanly on Ctrl-C.
      RunResult served = runProgram({"bash", "-c",
                                     line + " > out.txt & pid=$!; for i in $(seq 600); do sleep 0.1; "
                                            "grep -q 'Ctrl-C' out.txt && break; done; "
                                            "kill -INT $pid; wait $pid; status=$?; cat out.txt; "
                                            "exit $status"});
      EXPECT_EQ(served.code, 0) << line << "\n" << served;
      EXPECT_THAT(served.out, ::testing::HasSubstr("Serving ")) << line;
      continue;
    }
    RunResult r = runProgram({"bash", "-c", "set -o pipefail; " + line});
    EXPECT_EQ(r.code, 0) << line << "\n" << r;
    EXPECT_EQ(r.err.find("error:"), std::string::npos) << line << "\n" << r;
  }
}

}  // namespace
}  // namespace tw::testing
