// Figures for `tarnwick new` on a private MariaDB server holding 500 tables
// of 22 columns: once with 1,000 foreign keys (two per table, with the
// lookups, master/detail links and the rest the schema step makes of them),
// once on the same tables without foreign keys, and once with the keys but
// --no-relations. Each is run several times as a user runs it (the program,
// a fresh project file); the median wall-clock time and the ratio of the
// first two are printed.
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/mariadb_server.h"
#include "wide_schema.h"

namespace {

constexpr int kTables = 500;
constexpr int kColumns = 20;
constexpr int kRuns = 5;

double medianSeconds(const std::string& command) {
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    auto start = std::chrono::steady_clock::now();
    int rc = std::system(command.c_str());
    auto end = std::chrono::steady_clock::now();
    if (rc != 0) {
      std::fprintf(stderr, "relations_bench: failed (%d): %s\n", rc, command.c_str());
      std::exit(1);
    }
    times.push_back(std::chrono::duration<double>(end - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main() {
  auto dir = tw::bench::useTempEngineFolders("tarnwick-relations-bench");
  if (!tw::testing::MariaDbServer::installed()) {
    std::fprintf(stderr, "relations_bench: mariadb-server is not installed\n");
    return 1;
  }
  auto& server = tw::testing::MariaDbServer::shared();
  if (!server.available()) {
    std::fprintf(stderr, "relations_bench: %s\n", server.error().c_str());
    return 1;
  }
  std::string message;
  for (bool keys : {false, true}) {
    std::string db = keys ? "tw_bench_keys" : "tw_bench_plain";
    if (!server.runSql(tw::bench::wideSchemaScript(db, kTables, kColumns, true, keys), &message)) {
      std::fprintf(stderr, "relations_bench: creating %s failed: %s\n", db.c_str(), message.c_str());
      return 1;
    }
  }
  std::string base = std::string(TARNWICK_BIN) + " --quiet new " + (dir / "bench.xml").string() +
                     " --force --db mysql://root:@" + server.host() + ":" + std::to_string(server.port()) +
                     "/";
  // What the schema step made of the keys, as `new` reports it.
  std::string summary;
  if (FILE* out = popen((std::string(TARNWICK_BIN) + " new " + (dir / "bench.xml").string() +
                         " --force --db mysql://root:@" + server.host() + ":" +
                         std::to_string(server.port()) + "/tw_bench_keys")
                            .c_str(),
                        "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, out))
      if (std::string(line).rfind("From the schema", 0) == 0) summary = line;
    pclose(out);
  }
  double plain = medianSeconds(base + "tw_bench_plain");
  double keys = medianSeconds(base + "tw_bench_keys");
  double skipped = medianSeconds(base + "tw_bench_keys --no-relations");
  std::printf("tarnwick new, %d tables x %d columns, median of %d runs\n", kTables, kColumns + 2, kRuns);
  std::printf("  without foreign keys            %8.3f s\n", plain);
  std::printf("  with 1,000 foreign keys         %8.3f s  (%.2fx)\n", keys, keys / plain);
  std::printf("  with them and --no-relations    %8.3f s  (%.2fx)\n", skipped, skipped / plain);
  std::printf("  %s", summary.empty() ? "(no schema summary)\n" : summary.c_str());
  server.stop();
  std::filesystem::remove_all(dir);
  return 0;
}
