#include "schema/schema.h"

#include <algorithm>
#include <utility>

#include "automation/text.h"
#include "schema/ado_types.h"
#include "support/engine_context.h"
#include "support/helpers.h"
#include "support/registry.h"
#include "support/status.h"

namespace tw {

Dispatch& bridgeObject() {
  EngineContext& ctx = engine();
  if (!ctx.bridge) ctx.bridge = makeRef<DBBridge>();
  return *ctx.bridge;
}

std::shared_ptr<const BridgeTableInfo> bridgeReadTable(const std::string& name) {
  auto* bridge = dynamic_cast<DBBridge*>(engine().bridge.get());
  return bridge ? bridge->readTable(name) : nullptr;
}

void pumpEvents() { engine().status().sink().pump(); }

std::string SQLQuoteChar(std::string_view dbType, std::string_view method) {
  if (method == "JDBC") return "NA";
  const std::string& setting = engine().sqlQuote;
  if (setting == "Backquote") return "`";
  if (setting == "Double Quote") return "\"";
  if (setting == "None") return {};
  std::string type = toLower(dbType);
  if (type.find("mysql") != std::string::npos) return "`";
  if (type == "sqlite" || type == "postgresql") return "\"";
  return {};
}

namespace {

int32_t portNumber(const Variant& port) {
  if (port.isString() && trimBlanks(port.rawString()).empty()) return 0;
  return port.toLong();
}

}  // namespace

void ConnectBridge(const ConnectionValues& v) {
  Dispatch& bridge = bridgeObject();
  bridge.call("Initialize");
  std::string type = v.type.toString();
  bridge.call("SetDBType", {Variant(type)});
  EngineContext& ctx = engine();
  bridge.call("SetSettingsKey",
              {Variant("Software\\" + KeyName(ctx.productKey) + "\\" + ctx.productVersion + "\\Settings")});
  if (toLower(type) == "oracle") bridge.call("SetOracleSID", {Variant(v.sid.toString())});
  std::string quote = SQLQuoteChar(type, v.method.toString());
  if (quote == "NA") quote.clear();
  bridge.call("Connect", {Variant(v.host.toString()), Variant(v.database.toString()),
                          Variant(v.user.toString()), Variant(v.password.toString()),
                          Variant::long_(portNumber(v.port)), Variant(v.method.toString()),
                          Variant(v.url.toString()), Variant(v.encoding.toString()), Variant(quote)});
}

bool OpenBridge(const ConnectionValues& v) {
  ConnectBridge(v);
  engine().projErr = bridgeObject().call("GetLastError").toString();
  return engine().projErr.empty();
}

// ---- reading bridge objects

namespace {

Dispatch& objectOf(const Variant& v) {
  Variant value = v;
  if (!value.isObject()) raise(kErrObjectRequired);
  if (value.isNothing()) raise(kErrObjectNotSet);
  return *value.rawObject();
}

}  // namespace

std::string bridgeName(const Variant& object) {
  Dispatch& o = objectOf(object);
  if (auto* f = dynamic_cast<BridgeField*>(&o)) return f->column().name;
  if (auto* t = dynamic_cast<BridgeTable*>(&o)) return t->info().name;
  return o.get("Name").toString();
}

int32_t bridgeCount(const Variant& collection) {
  Dispatch& o = objectOf(collection);
  if (auto* f = dynamic_cast<BridgeFields*>(&o)) return f->Count();
  if (auto* t = dynamic_cast<BridgeTables*>(&o)) return t->Count();
  return o.get("Count").toLong();
}

Variant bridgeItem(const Variant& collection, int32_t index) {
  Dispatch& o = objectOf(collection);
  if (auto* f = dynamic_cast<BridgeFields*>(&o)) return Variant(f->Item(index));
  if (auto* t = dynamic_cast<BridgeTables*>(&o)) return Variant(t->Item(index));
  Variant arg = Variant::long_(index);
  return o.invoke(kDispIdValue, kInvokeGet | kInvokeMethod, Args(&arg, 1));
}

BridgeColumn readBridgeColumn(const Variant& field) {
  Dispatch& o = objectOf(field);
  if (auto* f = dynamic_cast<BridgeField*>(&o)) {
    BridgeColumn c = f->column();
    if (!c.isEnum && !c.isSet) c.tagValues.clear();
    return c;
  }
  BridgeColumn c;
  c.name = o.get("Name").toString();
  c.dataTypeName = o.get("DataTypeName").toString();
  c.nativeType = o.get("NativeDataType").toInteger();
  c.isEnum = o.get("IsEnum").toBool();
  c.isSet = o.get("IsSet").toBool();
  c.adoType = o.get("ADODataType").toInteger();
  c.size = o.get("size").toLong();
  c.required = o.get("Required").toBool();
  c.unique = o.get("Unique").toBool();
  c.autoIncrement = o.get("AutoIncrement").toBool();
  c.adoAttributes = o.get("ADOAttributes").toLong();
  c.defaultValue = o.get("DefaultValue");
  if (c.isEnum || c.isSet) c.tagValues = o.get("FieldTagValues").toString();
  return c;
}

// ---- schema columns

void SetSchemaFieldType(AGSchemaField& field, int16_t type) {
  field.FldType = type;
  if (ado::isNumericType(type)) {
    field.FldSupport = true;
    field.FldQuoteS.clear();
    field.FldQuoteE.clear();
  } else if (ado::isQuotedType(type)) {
    field.FldSupport = true;
    field.FldQuoteS = "'";
    field.FldQuoteE = "'";
  } else {
    field.FldSupport = false;
  }
}

void fillSchemaField(AGSchemaField& f, int16_t seq, const BridgeColumn& c) {
  f.FldSeq = seq;
  f.FldName = c.name;
  f.FldTypeName = c.dataTypeName;
  f.NativeDataType = c.nativeType;
  if (c.isEnum || c.isSet) {
    f.FldType = ado::kVarWChar;
    f.FldSupport = true;
    SetSchemaFieldType(f, ado::kVarWChar);
  } else {
    SetSchemaFieldType(f, c.adoType);
  }
  f.FldSize = c.size;
  f.FldZeroLen = true;
  f.FldReq = c.required;
  f.FldUniqueIdx = c.unique;
  f.FldAutoIncrement = c.autoIncrement;
  f.FldAttribute = c.adoAttributes;
  f.FldDefault = c.defaultValue;
  if (c.isEnum || c.isSet) f.FldTagValues = c.tagValues;
  f.FldCheckValues = c.checkValues;
}

std::vector<AGSchemaForeignKey> schemaForeignKeys(const Variant& table) {
  std::vector<AGSchemaForeignKey> out;
  Variant value = table;
  auto* t = value.isObject() && !value.isNothing() ? dynamic_cast<BridgeTable*>(value.rawObject()) : nullptr;
  if (!t) return out;
  for (const BridgeForeignKey& fk : t->info().foreignKeys)
    out.push_back({fk.name, fk.columns, fk.refTable, fk.refColumns});
  return out;
}

bool isLoadableType(std::string_view lowerType) {
  return lowerType == "mysql" || lowerType == "oracle" || lowerType == "sqlite" || lowerType == "postgresql";
}

bool jdbcConfigured(std::string_view lowerType) {
  const std::string& key = engine().regGeneral;
  if (RegRead("HKCU", key, "JavaRuntimeLib").toString().empty()) return false;
  if (lowerType == "oracle" && RegRead("HKCU", key, "OracleJDBCDriver").toString().empty()) return false;
  if (lowerType == "mysql" && RegRead("HKCU", key, "MySQLJDBCDriver").toString().empty()) return false;
  return true;
}

// ---- AGPSchema

AGPSchema::AGPSchema() = default;
AGPSchema::~AGPSchema() = default;

AGSchemaTable AGPSchema::Tbl(int16_t i) const {
  if (i < 0 || static_cast<size_t>(i) >= db_.tables.Tbl.size()) raise(kErrSubscript);
  return db_.tables.Tbl[static_cast<size_t>(i)];
}

void AGPSchema::dropTables(const std::function<bool(const AGSchemaTable&)>& drop) {
  std::vector<AGSchemaTable>& records = db_.tables.Tbl;
  if (records.empty()) return;
  const size_t count = std::min(records.size() - 1, static_cast<size_t>(std::max<int16_t>(db_.DBTblCnt, 0)));
  size_t kept = 1;
  for (size_t i = 1; i <= count; ++i) {
    if (drop(records[i])) continue;
    if (kept != i) records[kept] = std::move(records[i]);
    records[kept].TblSeq = static_cast<int16_t>(kept);
    ++kept;
  }
  records.resize(kept);
  db_.DBTblCnt = static_cast<int16_t>(kept - 1);
}

void AGPSchema::LoadDB(const Variant& sDBName, const Variant& sDBType, const Variant& sHost,
                       const Variant& sPort, const Variant& sUID, const Variant& sPwd, const Variant& sSID,
                       const Variant& sMethod, const Variant& sUrl, const Variant& sEncoding) {
  EngineContext& ctx = engine();
  if (loaded_ >= 1) {
    ctx.projErr = "database already loaded!";
    return;
  }
  std::string type = toLower(sDBType.toString());
  if (isLoadableType(type) && sDBName.toString().empty()) {
    ctx.projErr = "invalid DBName specified!";
    return;
  }
  pumpEvents();
  int16_t status = 0;
  if (isLoadableType(type)) {
    if (sMethod.toString() == "JDBC" && !jdbcConfigured(type)) {
      ctx.projErr = "JDBC ERROR";
      status = 3;
    } else {
      status = ReadSchema({sDBType, sHost, sDBName, sUID, sPwd, sPort, sSID, sMethod, sUrl, sEncoding});
    }
  }
  if (status == 0) {
    ctx.projErr.clear();
    loaded_ = 1;
  } else if (ctx.projErr.empty()) {
    ctx.projErr = "Load Database failed!";
  }
}

int16_t AGPSchema::ReadSchema(const ConnectionValues& v) {
  EngineContext& ctx = engine();
  int16_t n = 0;
  try {
    if (!OpenBridge(v)) return 3;
    ++loaded_;
    db_.DBName = v.database.toString();
    db_.DBType = v.type.toString();
    db_.DBHost = v.host.toString();
    db_.DBPort = v.port.toString();
    db_.DBUID = v.user.toString();
    db_.DBPwd = v.password.toString();
    db_.DBDBMSName = kDBMSName;
    db_.DBDBMSVer = "1.0";
    db_.DBProviderName = kProviderName;
    db_.DBProviderVer = "1.0";
    auto& tables = db_.tables.Tbl;
    tables.resize(1);
    Variant all = bridgeObject().call("GetTables", {Variant("")});
    int32_t count = bridgeCount(all);
    for (int32_t i = 0; i < count; ++i) {
      Variant t = bridgeItem(all, i);
      Dispatch& table = *t.toObject();
      std::string tableType = table.get("TableType").toString();
      if (tableType != "TABLE" && tableType != "VIEW") continue;
      ++n;
      tables.resize(static_cast<size_t>(n) + 1);
      AGSchemaTable& rec = tables[static_cast<size_t>(n)];
      rec.TblSeq = n;
      rec.TblName = bridgeName(t);
      rec.TblType = tableType;
      Variant fields = table.get("Fields");
      int32_t fieldCount = bridgeCount(fields);
      rec.TblFields.fld.assign(static_cast<size_t>(fieldCount) + 1, AGSchemaField());
      int16_t k = 0;
      for (int32_t j = 0; j < fieldCount; ++j) {
        Variant f = bridgeItem(fields, j);
        std::string name = bridgeName(f);
        bool repeated = false;
        for (int16_t m = 1; m <= k && !repeated; ++m)
          repeated = rec.TblFields.fld[static_cast<size_t>(m)].FldName == name;
        if (repeated) continue;
        ++k;
        fillSchemaField(rec.TblFields.fld[static_cast<size_t>(k)], k, readBridgeColumn(f));
      }
      rec.TblFldCnt = k;
      rec.TblForeignKeys = schemaForeignKeys(t);
      std::string pk = table.get("PKField").toString();
      rec.TblKey = SortCommaList(pk);
      if (!pk.empty()) {
        size_t start = 0;
        while (true) {
          size_t comma = pk.find(',', start);
          std::string_view item = trimBlanks(std::string_view(pk).substr(
              start, comma == std::string::npos ? std::string::npos : comma - start));
          for (int16_t m = 1; m <= rec.TblFldCnt; ++m)
            if (rec.TblFields.fld[static_cast<size_t>(m)].FldName == item)
              rec.TblFields.fld[static_cast<size_t>(m)].FldIsPrimaryKey = true;
          if (comma == std::string::npos) break;
          start = comma + 1;
        }
      }
      pumpEvents();
    }
  } catch (const Error&) {
    db_.DBTblCnt = n;
    ctx.projErr = bridgeObject().call("GetLastError").toString();
    return 3;
  }
  db_.DBTblCnt = n;
  return ctx.projErr.empty() ? 0 : 3;
}

int16_t AGPSchema::LoadzbCustomView(const Variant& sHost, const Variant& sDBName, const Variant& sDBType,
                                    const Variant& sUID, const Variant& sPwd, const Variant& sPort,
                                    const Variant& sSID, const Variant& sMethod, const Variant& sUrl,
                                    const Variant& sEncoding, const Variant& sTableName,
                                    const Variant& sSQL) {
  EngineContext& ctx = engine();
  ctx.projErr.clear();
  if (!OpenBridge({sDBType, sHost, sDBName, sUID, sPwd, sPort, sSID, sMethod, sUrl, sEncoding})) return 1;
  Dispatch& bridge = bridgeObject();
  Variant view = bridge.call("OpenCustomView", {Variant(sTableName.toString()), Variant(sSQL.toString())});
  ctx.projErr = bridge.call("GetLastError").toString();
  if (!ctx.projErr.empty()) return 1;
  auto& tables = db_.tables.Tbl;
  tables.resize(2);
  AGSchemaTable& rec = tables[1];
  rec.TblGen = true;
  rec.TblName = sTableName.toString();
  rec.TblType = "CUSTOMVIEW";
  Variant fields = view.toObject()->get("Fields");
  int32_t count = bridgeCount(fields);
  rec.TblFields.fld.assign(static_cast<size_t>(count) + 1, AGSchemaField());
  int16_t k = 0;
  for (int32_t j = 0; j < count; ++j) {
    k = static_cast<int16_t>(j + 1);
    fillSchemaField(rec.TblFields.fld[static_cast<size_t>(k)], k, readBridgeColumn(bridgeItem(fields, j)));
  }
  rec.TblFldCnt = k;
  return 0;
}

const ClassInfo* AGPSchema::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGPSchema>("AGPSchema")
          .get("tblcnt", [](AGPSchema& s) { return s.tblcnt(); })
          .get("Tbl",
               [](AGPSchema& s, const Variant& i) {
                 return Variant(makeRef<AGSchemaTableRecord>(s.Tbl(i.toInteger())));
               })
          .method("LoadDB",
                  [](AGPSchema& s, Args a) {
                    if (a.size() != 10) raise(kErrWrongArgCount);
                    s.LoadDB(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9]);
                  })
          .method("LoadzbCustomView",
                  [](AGPSchema& s, Args a) {
                    if (a.size() != 12) raise(kErrWrongArgCount);
                    return s.LoadzbCustomView(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9],
                                              a[10], a[11]);
                  })
          .build();
  return &info;
}

}  // namespace tw
