#include "schema/bridge.h"

#include <utility>

#include "automation/text.h"
#include "schema/jdbc.h"

namespace tw {

// ---- field, field collection, table, table collection

const ClassInfo* BridgeField::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<BridgeField>("DBField")
          .get("Name", [](BridgeField& f) { return f.column().name; })
          .get("DataTypeName", [](BridgeField& f) { return f.column().dataTypeName; })
          .get("NativeDataType", [](BridgeField& f) { return f.column().nativeType; })
          .get("IsEnum", [](BridgeField& f) { return f.column().isEnum; })
          .get("IsSet", [](BridgeField& f) { return f.column().isSet; })
          .get("ADODataType", [](BridgeField& f) { return f.column().adoType; })
          .get("size", [](BridgeField& f) { return f.column().size; })
          .get("Required", [](BridgeField& f) { return f.column().required; })
          .get("Unique", [](BridgeField& f) { return f.column().unique; })
          .get("AutoIncrement", [](BridgeField& f) { return f.column().autoIncrement; })
          .get("ADOAttributes", [](BridgeField& f) { return f.column().adoAttributes; })
          .get("DefaultValue", [](BridgeField& f) { return f.column().defaultValue; })
          .get("FieldTagValues", [](BridgeField& f) { return f.column().tagValues; })
          .defaultMember("Name")
          .build();
  return &info;
}

Ref<BridgeField> BridgeFields::Item(int32_t index) const {
  if (index < 0 || index >= Count()) raise(kErrSubscript);
  return makeRef<BridgeField>(table_, static_cast<size_t>(index));
}

const ClassInfo* BridgeFields::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<BridgeFields>("DBFields")
          .get("Count", [](BridgeFields& f) { return f.Count(); })
          .get("Item", [](BridgeFields& f, const Variant& i) { return Variant(f.Item(i.toLong())); })
          .defaultMember("Item")
          .build();
  return &info;
}

Ref<Enumerator> BridgeFields::newEnum() {
  std::vector<Variant> items;
  for (int32_t i = 0; i < Count(); ++i) items.emplace_back(Item(i));
  return makeRef<VectorEnumerator>(std::move(items));
}

const ClassInfo* BridgeTable::classInfo() const {
  static const ClassInfo info = ClassBuilder<BridgeTable>("DBTable")
                                    .get("Name", [](BridgeTable& t) { return t.info().name; })
                                    .get("TableType", [](BridgeTable& t) { return t.info().type; })
                                    .get("Fields", [](BridgeTable& t) { return Variant(t.Fields()); })
                                    .get("PKField", [](BridgeTable& t) { return t.info().pkField; })
                                    .defaultMember("Name")
                                    .build();
  return &info;
}

BridgeTables::BridgeTables(std::vector<BridgeTableInfo> tables) {
  tables_.reserve(tables.size());
  for (BridgeTableInfo& t : tables) tables_.push_back(std::make_shared<const BridgeTableInfo>(std::move(t)));
}

Ref<BridgeTable> BridgeTables::Item(int32_t index) const {
  if (index < 0 || index >= Count()) raise(kErrSubscript);
  return makeRef<BridgeTable>(tables_[static_cast<size_t>(index)]);
}

const ClassInfo* BridgeTables::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<BridgeTables>("DBTables")
          .get("Count", [](BridgeTables& t) { return t.Count(); })
          .get("Item", [](BridgeTables& t, const Variant& i) { return Variant(t.Item(i.toLong())); })
          .defaultMember("Item")
          .build();
  return &info;
}

Ref<Enumerator> BridgeTables::newEnum() {
  std::vector<Variant> items;
  for (int32_t i = 0; i < Count(); ++i) items.emplace_back(Item(i));
  return makeRef<VectorEnumerator>(std::move(items));
}

// ---- the bridge

DBBridge::DBBridge() = default;
DBBridge::~DBBridge() = default;

void DBBridge::Initialize() {
  backend_.reset();
  lastError_.clear();
  params_ = BridgeConnectParams();
}

void DBBridge::SetDBType(std::string_view type) { params_.dbType = toLower(type); }

void DBBridge::Connect(std::string_view host, std::string_view database, std::string_view user,
                       std::string_view password, int32_t port, std::string_view method, std::string_view url,
                       std::string_view encoding, std::string_view quote) {
  backend_.reset();
  lastError_.clear();
  params_.host = std::string(host);
  params_.database = std::string(database);
  params_.user = std::string(user);
  params_.password = std::string(password);
  params_.port = port;
  params_.method = std::string(method);
  params_.url = std::string(url);
  params_.encoding = std::string(encoding);
  params_.quote = std::string(quote);
  if (params_.method == "JDBC") {
    backend_ = connectJdbc(params_, lastError_);
  } else if (params_.dbType == "oracle") {
    lastError_ = kOracleNotAvailable;
  } else if (params_.dbType == "mysql") {
    backend_ = connectMariaDb(params_, lastError_);
  } else if (params_.dbType == "sqlite") {
    backend_ = connectSqlite(params_, lastError_);
  } else if (params_.dbType == "postgresql") {
    backend_ = connectPostgres(params_, lastError_);
  } else {
    lastError_ = "Database type \"" + params_.dbType + "\" is not supported";
  }
  if (!lastError_.empty()) backend_.reset();
  std::string target = params_.dbType + '\n' + params_.host + '\n' + std::to_string(params_.port) + '\n' +
                       params_.database;
  if (target != catalogueOf_) {
    catalogue_.clear();
    catalogueOf_ = std::move(target);
  }
}

std::shared_ptr<const BridgeTableInfo> DBBridge::readTable(const std::string& name) const {
  auto it = catalogue_.find(name);
  return it == catalogue_.end() ? nullptr : it->second;
}

bool DBBridge::requireConnection() {
  if (backend_) return true;
  if (lastError_.empty()) lastError_ = "Not connected to a database";
  return false;
}

Ref<BridgeTables> DBBridge::GetTables(std::string_view filter) {
  if (!requireConnection()) raise(kErrBridge, lastError_, "DBBridge");
  std::vector<BridgeTableInfo> tables;
  std::string error = backend_->readTables(filter, tables);
  if (!error.empty()) {
    lastError_ = std::move(error);
    raise(kErrBridge, lastError_, "DBBridge");
  }
  lastError_.clear();
  std::vector<std::shared_ptr<const BridgeTableInfo>> shared;
  shared.reserve(tables.size());
  for (BridgeTableInfo& t : tables) {
    shared.push_back(std::make_shared<const BridgeTableInfo>(std::move(t)));
    catalogue_[shared.back()->name] = shared.back();
  }
  return makeRef<BridgeTables>(std::move(shared));
}

std::string DBBridge::GetDatabaseNames() {
  if (!requireConnection()) return {};
  std::string names;
  lastError_ = backend_->databaseNames(names);
  return lastError_.empty() ? names : std::string();
}

bool DBBridge::IsJVMLoaded() const noexcept { return jvmLoaded(); }

std::string DBBridge::GetQuoteChar() const {
  if (backend_) return backend_->quoteChar();
  if (params_.dbType == "mysql") return "`";
  if (params_.dbType == "sqlite" || params_.dbType == "postgresql") return "\"";
  return {};
}

Ref<BridgeTable> DBBridge::OpenCustomView(std::string_view name, std::string_view sql) {
  if (!requireConnection()) return nullptr;
  BridgeTableInfo info;
  lastError_ = backend_->describeQuery(sql, info);
  if (!lastError_.empty()) return nullptr;
  info.name = std::string(name);
  info.type = "CUSTOMVIEW";
  return makeRef<BridgeTable>(std::make_shared<const BridgeTableInfo>(std::move(info)));
}

const ClassInfo* DBBridge::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<DBBridge>("DBBridge")
          .method("Connect",
                  [](DBBridge& b, Args a) {
                    if (a.size() != 9) raise(kErrWrongArgCount);
                    b.Connect(a[0].toString(), a[1].toString(), a[2].toString(), a[3].toString(),
                              a[4].toLong(), a[5].toString(), a[6].toString(), a[7].toString(),
                              a[8].toString());
                  })
          .method("GetTables",
                  [](DBBridge& b, const Variant& f) { return Variant(b.GetTables(f.toString())); })
          .method("Initialize", [](DBBridge& b) { b.Initialize(); })
          .method("GetLastError", [](DBBridge& b) { return b.GetLastError(); })
          .method("GetDatabaseNames", [](DBBridge& b) { return b.GetDatabaseNames(); })
          .method("SetDBType", [](DBBridge& b, const Variant& t) { b.SetDBType(t.toString()); })
          .method("SetSettingsKey", [](DBBridge& b, const Variant& k) { b.SetSettingsKey(k.toString()); })
          .method("SetOracleSID", [](DBBridge& b, const Variant& s) { b.SetOracleSID(s.toString()); })
          .method("IsJVMLoaded", [](DBBridge& b) { return b.IsJVMLoaded(); })
          .method("GetQuoteChar", [](DBBridge& b) { return b.GetQuoteChar(); })
          .method("OpenCustomView",
                  [](DBBridge& b, const Variant& n, const Variant& s) {
                    Ref<BridgeTable> t = b.OpenCustomView(n.toString(), s.toString());
                    return t ? Variant(t) : Variant::nothing();
                  })
          .build();
  return &info;
}

// ---- helpers shared by the backends

Variant defaultFromSql(std::string_view sql, bool isNull) {
  if (isNull) return Variant();
  std::string_view text = trimBlanks(sql);
  if (equalsNoCase(text, "NULL")) return Variant::null();
  if (text.size() >= 2 && (text.front() == '\'' || text.front() == '"') && text.back() == text.front()) {
    char q = text.front();
    std::string out;
    for (size_t i = 1; i + 1 < text.size(); ++i) {
      out += text[i];
      if (text[i] == q && i + 2 < text.size() && text[i + 1] == q) ++i;
    }
    return Variant(std::move(out));
  }
  return Variant(text);
}

std::string tagValueLines(const std::vector<std::string>& values) {
  std::string out;
  for (const std::string& v : values) {
    if (!out.empty()) out += "\r\n";
    std::string quoted = "\"";
    for (char c : v) {
      quoted += c;
      if (c == '"') quoted += '"';
    }
    quoted += '"';
    out += quoted;
    out += ',';
    out += quoted;
  }
  return out;
}

std::string queryKey(const std::vector<std::pair<std::string, std::string>>& origins,
                     const std::vector<BridgeTableInfo>& sources, const std::vector<BridgeColumn>& columns) {
  if (origins.empty() || origins.size() != columns.size()) return {};
  const std::string& table = origins[0].first;
  for (const auto& o : origins)
    if (o.first.empty() || o.first != table) return {};
  const BridgeTableInfo* source = nullptr;
  for (const BridgeTableInfo& t : sources)
    if (t.name == table) source = &t;
  if (!source || source->pkField.empty()) return {};
  std::string key;
  size_t start = 0;
  while (true) {
    size_t comma = source->pkField.find(',', start);
    std::string_view part =
        std::string_view(source->pkField)
            .substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    size_t found = origins.size();
    for (size_t i = 0; i < origins.size() && found == origins.size(); ++i)
      if (equalsNoCase(origins[i].second, part)) found = i;
    if (found == origins.size()) return {};
    if (!key.empty()) key += ',';
    key += columns[found].name;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return key;
}

}  // namespace tw
