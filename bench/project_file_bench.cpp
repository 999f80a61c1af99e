// Saving and loading a large project file: 1,000 tables of 30 fields each,
// every setting filled, and how loading grows with the number of tables.
// Each measurement runs in a child process of its own, so that its peak
// memory is its own; `xmllint --noout` parsing the same file shows how close
// loading comes to merely parsing it.
//
//   bench_project_file [tables] [fields per table] [runs]
//   bench_project_file scaling [runs]     (loading 1,000, 4,000, 10,000 tables)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/agp.h"
#include "model/registry_defaults.h"
#include "support/engine_context.h"
#include "support/registry.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time (user and system) this process has used, in seconds: on a
// busy machine it shows the work apart from the waiting.
double cpuSeconds() {
  struct rusage u {};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long currentRssKiB() {
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return 0;
  long pages = 0, resident = 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Runs `work` in a child process; returns the child's peak resident memory
// in MiB (or -1 when it failed).
double inChild(const std::function<void()>& work) {
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    work();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss / 1024.0;
}

// Fills every setting of an object with a value of its type that varies
// between objects, as a real project's do.
void fill(tw::SettingsOwner& owner, int salt) {
  tw::AGProperties& props = owner.Properties();
  for (int32_t i = 0; i < props.Count(); ++i) {
    const tw::PropertyMeta& m = props.meta(i);
    tw::Variant v;
    if (m.dataType == "Boolean")
      v = tw::Variant((i + salt) % 3 == 0);
    else if (m.dataType == "Integer")
      v = tw::Variant::integer(static_cast<int16_t>((i * 7 + salt) % 500));
    else if (m.dataType == "Long")
      v = tw::Variant::long_(1000 + (i * 13 + salt) % 100000);
    else if ((i + salt) % 4 == 0)
      v = tw::Variant("");
    else
      v = tw::Variant(m.name.substr(0, 6) + "_" + std::to_string((i * 31 + salt) % 997));
    props.valueAt(i) = v;
  }
}

void buildProject(tw::AGP& proj, int tables, int fields) {
  proj.AddProj("Benchmark");
  fill(proj, 0);
  proj.setSetting("AutoSync", tw::Variant(false));
  proj.Databases().Add("bench");
  proj.setCurrentDbName("bench");
  tw::AGPDatabase& db = *proj.db();
  fill(db, 1);
  db.setSetting("DBName", tw::Variant("bench"));
  db.setSetting("DBDBMSName", tw::Variant("MySQL"));
  for (int t = 0; t < tables; ++t) {
    std::string name = "table_" + std::to_string(t);
    tw::AGPTable* table = db.tables().Add(name);
    fill(*table, t);
    table->setSetting("TblName", tw::Variant(name));
    table->setSetting("TblSeq", tw::Variant::integer(static_cast<int16_t>(t + 1)));
    table->setSetting("TblCaption", tw::Variant("Table " + std::to_string(t) + " caption"));
    for (int f = 0; f < fields; ++f) {
      std::string fname = "column_" + std::to_string(f);
      tw::AGPField* field = table->Fields().Add(fname);
      fill(*field, t * fields + f);
      field->setSetting("FldName", tw::Variant(fname));
      field->setSetting("FldSeq", tw::Variant::integer(static_cast<int16_t>(f + 1)));
      field->setSetting("FldType", tw::Variant::integer(f % 2 ? 200 : 3));
      field->setSetting("FldCaption", tw::Variant("Column " + std::to_string(f)));
    }
  }
}

void prepareEnvironment(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir / "config");
  std::filesystem::create_directories(dir / "Documents");
  setenv("TARNWICK_CONFIG_HOME", (dir / "config").c_str(), 1);
  setenv("TARNWICK_DOCUMENTS", (dir / "Documents").c_str(), 1);
  setenv("TARNWICK_MACHINE_REGISTRY", (dir / "machine-registry.txt").c_str(), 1);
}

// Loads projects of each number of tables (two fields each), best of `runs`
// in a child process each, and prints the processor time per table: linear
// loading keeps it about the same whatever the count.
void loadScaling(const std::filesystem::path& dir, const std::vector<int>& counts, int runs) {
  double previousSeconds = 0;
  int previous = 0;
  for (int count : counts) {
    const std::string scaled = (dir / ("scaled-" + std::to_string(count) + ".xml")).string();
    inChild([&] {
      tw::AGP proj;
      tw::RegistryDefaultsBatch batch;
      buildProject(proj, count, 2);
      proj.Save(scaled);
    });
    double best = 0;
    for (int r = 0; r < runs; ++r) {
      FILE* pipe = std::tmpfile();
      inChild([&] {
        tw::AGP proj;
        double cpu = cpuSeconds();
        proj.Load(scaled);
        std::fprintf(pipe, "%f", cpuSeconds() - cpu);
        std::fflush(pipe);
      });
      std::rewind(pipe);
      double seconds = 0;
      if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = 0;
      std::fclose(pipe);
      if (r == 0 || seconds < best) best = seconds;
    }
    std::printf("load scaling: %d tables x 2 fields: %.3f s processor (best of %d), %.1f us per table\n",
                count, best, runs, best * 1e6 / count);
    if (previous > 0 && count != previous && previousSeconds > 0)
      std::printf("load scaling: %.1fx the tables took %.1fx the time\n",
                  static_cast<double>(count) / previous, best / previousSeconds);
    previous = count;
    previousSeconds = best;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // "scaling [runs]": only how loading grows, at 1,000, 4,000 and 10,000
  // tables.
  if (argc > 1 && std::string(argv[1]) == "scaling") {
    char tmpl[] = "/tmp/tarnwick-bench-XXXXXX";
    const char* made = mkdtemp(tmpl);
    if (!made) return 1;
    prepareEnvironment(made);
    loadScaling(made, {1000, 4000, 10000}, argc > 2 ? std::atoi(argv[2]) : 3);
    std::filesystem::remove_all(made);
    return 0;
  }
  const int tables = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int fields = argc > 2 ? std::atoi(argv[2]) : 30;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
  char tmpl[] = "/tmp/tarnwick-bench-XXXXXX";
  const char* made = mkdtemp(tmpl);
  if (!made) return 1;
  const std::filesystem::path dir(made);
  prepareEnvironment(dir);
  const std::string file = (dir / "project.xml").string();
  std::printf("project: %d tables x %d fields (%d Field elements)\n", tables, fields, tables * fields);

  double savePeak = inChild([&] {
    tw::AGP proj;
    auto start = Clock::now();
    {
      tw::RegistryDefaultsBatch batch;
      buildProject(proj, tables, fields);
    }
    std::printf("build model: %.3f s, resident %.1f MiB\n", secondsSince(start), currentRssKiB() / 1024.0);
    for (int r = 0; r < runs; ++r) {
      start = Clock::now();
      double cpu = cpuSeconds();
      proj.Save(file);
      std::printf("save run %d: %.3f s (processor %.3f s)\n", r + 1, secondsSince(start), cpuSeconds() - cpu);
    }
  });
  std::printf("save: peak resident %.1f MiB (model included)\n", savePeak);
  std::printf("file size: %.1f MiB\n", std::filesystem::file_size(file) / (1024.0 * 1024.0));

  for (int r = 0; r < runs; ++r) {
    double loadPeak = inChild([&] {
      tw::AGP proj;
      long before = currentRssKiB();
      auto start = Clock::now();
      double cpu = cpuSeconds();
      proj.Load(file);
      double seconds = secondsSince(start);
      cpu = cpuSeconds() - cpu;
      int32_t loadedFields = 0;
      tw::AGPTables& t = proj.db()->tables();
      for (int32_t i = 0; i < t.Count(); ++i) loadedFields += t.at(i)->Fields().Count();
      std::printf(
          "load run %d: %.3f s (processor %.3f s; %d tables, %d fields, ProjErr \"%s\"), resident before "
          "%.1f MiB, "
          "after %.1f MiB\n",
          r + 1, seconds, cpu, t.Count(), loadedFields, tw::AGP::ProjErr().c_str(), before / 1024.0,
          currentRssKiB() / 1024.0);
    });
    std::printf("load run %d: peak resident %.1f MiB\n", r + 1, loadPeak);
  }

  for (int r = 0; r < runs; ++r) {
    struct rusage before {};
    getrusage(RUSAGE_CHILDREN, &before);
    auto start = Clock::now();
    std::string command = "xmllint --noout '" + file + "' 2>/dev/null";
    int rc = std::system(command.c_str());
    double seconds = secondsSince(start);
    if (rc != 0) {
      std::printf("xmllint: not available or failed (exit %d)\n", rc);
      break;
    }
    struct rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    double cpu = (usage.ru_utime.tv_sec - before.ru_utime.tv_sec) +
                 (usage.ru_stime.tv_sec - before.ru_stime.tv_sec) +
                 ((usage.ru_utime.tv_usec - before.ru_utime.tv_usec) +
                  (usage.ru_stime.tv_usec - before.ru_stime.tv_usec)) /
                     1e6;
    std::printf("xmllint --noout run %d: %.3f s (processor %.3f s; largest child so far %.1f MiB)\n", r + 1,
                seconds, cpu, usage.ru_maxrss / 1024.0);
  }

  // How loading grows with the number of tables: a quarter of the tables
  // and all of them.
  loadScaling(dir, {std::max(1, tables / 4), tables}, runs);

  std::filesystem::remove_all(dir);
  return 0;
}
