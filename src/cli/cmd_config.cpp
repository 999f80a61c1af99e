// tarnwick config: the user defaults in the registry store. New projects,
// tables, fields and charts start with them; the shipped machine defaults
// seed them the first time and `config reset` brings those back.
#include <iostream>

#include "automation/error.h"
#include "automation/text.h"
#include "cli/cli.h"
#include "model/chart.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "support/convert.h"
#include "support/engine_context.h"
#include "support/registry.h"
#include "support/registry_store.h"

namespace tw::cli {

namespace {

struct Known {
  std::string name;
  std::string type;  // "String", "Boolean", "Integer", "Long"
  int32_t format;    // kRegString or kRegDword
};

struct Section {
  std::string name;
  std::string path;
  std::vector<Known> values;
};

// The values the engine reads from the General section.
const std::vector<Known>& generalValues() {
  static const std::vector<Known> values = {
      {"Language", "String", kRegString},
      {"BackupFile", "Boolean", kRegString},
      {"USERCODE", "String", kRegString},
      {"ScriptEngineTimeout", "Long", kRegDword},
      {"UnloadThresholdCount", "Integer", kRegDword},
      {"XMLEncodeCharSet", "String", kRegString},
      {"CssFile", "String", kRegString},
      {"JavaRuntimeLib", "String", kRegString},
      {"MySQLJDBCDriver", "String", kRegString},
      {"OracleJDBCDriver", "String", kRegString},
      {"SQLiteJDBCDriver", "String", kRegString},
      {"PostgreSQLJDBCDriver", "String", kRegString},
  };
  return values;
}

std::vector<Known> registryValuesOf(const SettingTable& table) {
  std::vector<Known> out;
  for (const SettingDef& d : table.defs())
    if (d.regSave)
      out.push_back(
          {std::string(d.name), std::string(d.dataType), d.regFormat == 4 ? kRegDword : kRegString});
  return out;
}

std::vector<Section> sections() {
  const EngineContext& ctx = engine();
  return {
      {"General", ctx.regGeneral, generalValues()},
      {"Project", ctx.regProject, registryValuesOf(AGP::settings())},
      {"Database", ctx.regDatabase, registryValuesOf(AGPDatabase::settings())},
      {"Table", ctx.regTable, registryValuesOf(AGPTable::settings())},
      {"Field", ctx.regField, registryValuesOf(AGPField::settings())},
      {"Chart", ctx.regChart, registryValuesOf(AGPChart::settings())},
  };
}

Section findSection(const std::string& name) {
  std::vector<std::string> names;
  for (Section& s : sections()) {
    if (equalsNoCase(s.name, name)) return s;
    names.push_back(s.name);
  }
  throw usageError("unknown section \"" + name + "\"" + suggestion(name, names) +
                   " (sections: General, Project, Database, Table, Field, Chart)");
}

// The known values of a section, then any other value stored there.
std::vector<Known> valuesOf(const Section& s) {
  std::vector<Known> out = s.values;
  for (const std::string& name : engine().registryStore().enumerateValues(kRootCurrentUser, s.path)) {
    bool listed = false;
    for (const Known& k : out) listed = listed || equalsNoCase(k.name, name);
    if (!listed) out.push_back({name, "String", kRegString});
  }
  return out;
}

Known findValue(const Section& s, const std::string& name) {
  std::vector<std::string> names;
  for (const Known& k : valuesOf(s)) {
    if (equalsNoCase(k.name, name)) return k;
    names.push_back(k.name);
  }
  throw usageError("unknown " + s.name + " setting \"" + name + "\"" + suggestion(name, names));
}

struct ConfigOptions {
  std::string section, name, value;
  bool hasValue = false;  // VALUE was given as a word of its own
  bool json = false;
  bool yes = false;
};

// Starts the engine with a project object, which copies the machine
// defaults for a user who has none yet.
void startWithDefaults() {
  startEngine();
  makeRef<AGP>();
}

int runGet(const ConfigOptions& o) {
  startWithDefaults();
  Section s = findSection(o.section);
  Known k = findValue(s, o.name);
  std::cout << displayValue(RegRead("HKCU", s.path, k.name)) << '\n';
  return kExitOk;
}

int runSet(ConfigOptions o) {
  // NAME=VALUE is read like NAME VALUE.
  if (o.value.empty() && !o.hasValue) {
    size_t equals = o.name.find('=');
    if (equals == std::string::npos)
      throw usageError("config set " + o.section + " " + o.name +
                       ": give the value as NAME VALUE or NAME=VALUE");
    o.value = o.name.substr(equals + 1);
    o.name.erase(equals);
  }
  startWithDefaults();
  Section s = findSection(o.section);
  Known k = findValue(s, o.name);
  Variant value(o.value);
  if (!o.value.empty() && k.type != "String") {
    value = ConvertByTypeName(Variant(o.value), k.type);
    if (value.isEmpty()) {
      std::string expected = k.type == "Boolean" ? "True or False" : "a whole number";
      throw usageError(k.name + " takes " + expected + ", not \"" + o.value + "\"");
    }
  }
  if (k.format == kRegDword) {
    if (o.value.empty()) throw usageError(k.name + " takes a whole number");
    value = Variant::long_(value.toLong());
  } else if (k.type == "Boolean") {
    value = Variant(o.value.empty() ? std::string() : value.toBool() ? "True" : "False");
  } else {
    value = Variant(value.toString());
  }
  RegWrite("HKCU", s.path, k.name, k.format, value);
  info(s.name + "." + k.name + " = " + displayValue(value));
  return kExitOk;
}

int runUnset(const ConfigOptions& o) {
  startWithDefaults();
  Section s = findSection(o.section);
  Known k = findValue(s, o.name);
  engine().registryStore().deleteValue(kRootCurrentUser, s.path, k.name);
  info("Removed " + s.name + "." + k.name);
  return kExitOk;
}

int runList(const ConfigOptions& o) {
  startWithDefaults();
  std::vector<Section> chosen;
  if (o.section.empty())
    chosen = sections();
  else
    chosen.push_back(findSection(o.section));
  if (o.json) {
    std::cout << "{";
    for (size_t i = 0; i < chosen.size(); ++i) {
      std::cout << (i ? ",\n " : "\n ") << jsonString(chosen[i].name) << ": {";
      std::vector<Known> values = valuesOf(chosen[i]);
      for (size_t j = 0; j < values.size(); ++j)
        std::cout << (j ? ",\n  " : "\n  ") << jsonString(values[j].name) << ": "
                  << jsonValue(RegRead("HKCU", chosen[i].path, values[j].name));
      std::cout << (values.empty() ? "}" : "\n }");
    }
    std::cout << "\n}\n";
    return kExitOk;
  }
  for (size_t i = 0; i < chosen.size(); ++i) {
    if (chosen.size() > 1) std::cout << (i ? "\n" : "") << bold("[" + chosen[i].name + "]") << '\n';
    for (const Known& k : valuesOf(chosen[i]))
      std::cout << k.name << " = " << displayValue(RegRead("HKCU", chosen[i].path, k.name)) << '\n';
  }
  return kExitOk;
}

int runReset(const ConfigOptions& o) {
  startEngine();
  EngineContext& ctx = engine();
  const std::string machine = ctx.registryStore().machineFilePath();
  if (!o.yes) {
    if (!globals().interactive)
      throw usageError("config reset replaces every user default: confirm with --yes");
    std::cerr << "Replace every user default with the machine defaults of " << machine << "? [y/N] ";
    std::string answer;
    std::getline(std::cin, answer);
    if (answer != "y" && answer != "Y" && !equalsNoCase(answer, "yes")) {
      info("Nothing changed");
      return kExitOk;
    }
  }
  // A damaged store is rebuilt; the damaged file is kept beside it.
  RegistryStore& store = ctx.registryStore();
  std::string problem = store.problem();
  if (problem.empty()) {
    try {
      store.deleteKey(kRootCurrentUser, ctx.regBase);
    } catch (const Error& e) {
      problem = e.description();
    }
  }
  if (!problem.empty()) {
    const std::string copy = store.setAside();
    warn(problem);
    info("The damaged user defaults were kept as " + copy + "; " + store.userDatabasePath() + " is new");
  }
  makeRef<AGP>();  // a first start again: the machine defaults are copied
  info("User defaults reset from " + machine);
  return kExitOk;
}

}  // namespace

std::vector<std::string> configNames(const std::string& section) {
  std::vector<std::string> out;
  if (section.empty()) {
    for (const Section& s : sections()) out.push_back(s.name);
    return out;
  }
  for (const Section& s : sections())
    if (equalsNoCase(s.name, section))
      for (const Known& k : s.values) out.push_back(k.name);
  return out;
}

void addConfigCommands(CLI::App& app, Commands& out) {
  CLI::App* config = app.add_subcommand("config", "Read and change the user defaults for new projects");
  config->require_subcommand(1);
  config->footer(
      "Sections: General, Project, Database, Table, Field, Chart (any letter case). Project,\n"
      "Database, Table, Field and Chart hold the defaults of the settings of that name that\n"
      "new objects start with; General holds Language, BackupFile, USERCODE,\n"
      "ScriptEngineTimeout, UnloadThresholdCount, XMLEncodeCharSet, CssFile and the Java\n"
      "settings below.\n"
      "\n"
      "Java database connections (--db TYPE+jdbc://...): General JavaRuntimeLib names the Java\n"
      "runtime (libjvm.so or a Java home folder holding it), and one setting per\n"
      "database type names its JDBC driver JAR: MySQLJDBCDriver, OracleJDBCDriver,\n"
      "SQLiteJDBCDriver, PostgreSQLJDBCDriver (several JARs separated by \":\"). Put a driver\n"
      "JAR in any readable folder (Debian installs its drivers in /usr/share/java) and name it:\n"
      "  tarnwick config set General OracleJDBCDriver /opt/oracle/ojdbc11.jar\n"
      "\n"
      "Examples:\n"
      "  tarnwick config list Project\n"
      "  tarnwick config set Project RecPerPage 50\n"
      "  tarnwick config set Project Template ~/templates/mine.zip\n"
      "  tarnwick config get General BackupFile\n"
      "  tarnwick config reset --yes");
  auto o = std::make_shared<ConfigOptions>();
  {
    CLI::App* sub = config->add_subcommand("get", "Print one user default");
    sub->add_option("SECTION", o->section, "General, Project, Database, Table, Field or Chart")->required();
    sub->add_option("NAME", o->name, "The setting")->required();
    out.push_back({sub, [o] { return runGet(*o); }});
  }
  {
    CLI::App* sub = config->add_subcommand("set", "Change one user default");
    sub->add_option("SECTION", o->section, "General, Project, Database, Table, Field or Chart")->required();
    sub->add_option("NAME", o->name, "The setting, or NAME=VALUE")->required();
    CLI::Option* value = sub->add_option("VALUE", o->value, "The new value (Boolean: True or False)");
    sub->footer(
        "NAME=VALUE in one word is the same as NAME VALUE.\n"
        "\n"
        "Examples:\n"
        "  tarnwick config set Project RecPerPage=50\n"
        "  tarnwick config set General BackupFile=False");
    out.push_back({sub, [o, value] {
                     o->hasValue = value->count() > 0;
                     return runSet(*o);
                   }});
  }
  {
    CLI::App* sub =
        config->add_subcommand("unset", "Remove one user default (it reads as empty, false or 0)");
    sub->add_option("SECTION", o->section, "General, Project, Database, Table, Field or Chart")->required();
    sub->add_option("NAME", o->name, "The setting")->required();
    out.push_back({sub, [o] { return runUnset(*o); }});
  }
  {
    CLI::App* sub = config->add_subcommand("list", "Print the user defaults of one or every section");
    sub->add_option("SECTION", o->section, "Only this section");
    sub->add_flag("--json", o->json, "Write JSON for scripts");
    out.push_back({sub, [o] { return runList(*o); }});
  }
  {
    CLI::App* sub =
        config->add_subcommand("reset", "Replace every user default with the shipped machine defaults");
    sub->add_flag("-y,--yes", o->yes, "Do not ask for confirmation");
    out.push_back({sub, [o] { return runReset(*o); }});
  }
}

}  // namespace tw::cli
