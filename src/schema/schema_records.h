#pragma once
// The schema records: a database's structure as read from the bridge, kept
// apart from the project's model so the two can be compared. Arrays are
// zero-based with element 0 left empty: Tbl[1] is the first table and
// fld[1] its first column.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "automation/dispatch.h"
#include "automation/variant.h"

namespace tw {

struct AGSchemaField {
  bool FldSync = false;
  int16_t FldSeq = 0;
  std::string FldName;
  int16_t FldType = 0;
  std::string FldTypeName;
  int16_t NativeDataType = 0;
  std::string FldTagValues;
  bool FldSupport = false;
  int32_t FldSize = 0;
  bool FldUniqueIdx = false;
  bool FldZeroLen = false;
  bool FldReq = false;
  bool FldIsPrimaryKey = false;
  bool FldAutoIncrement = false;
  int32_t FldAttribute = 0;
  Variant FldDefault;
  std::string FldQuoteS;
  std::string FldQuoteE;
  std::string FldCaption;
  // The values a CHECK (column IN (...)) constraint allows, as value list
  // lines; empty without such a constraint.
  std::string FldCheckValues;
};

// A foreign key of a table: its columns refer to the columns of FkRefTable,
// both lists in key order.
struct AGSchemaForeignKey {
  std::string FkName;
  std::vector<std::string> FkColumns;
  std::string FkRefTable;
  std::vector<std::string> FkRefColumns;
};

struct AGSchemaFields {
  std::vector<AGSchemaField> fld;
};

struct AGSchemaTable {
  bool TblSync = false;
  int16_t TblSeq = 0;
  std::string TblName;
  std::string TblType;
  std::string TblKey;
  bool TblGen = false;
  int16_t TblFldCnt = 0;
  AGSchemaFields TblFields;
  std::vector<AGSchemaForeignKey> TblForeignKeys;
};

struct AGSchemaTables {
  std::vector<AGSchemaTable> Tbl;
};

struct AGSchemaDB {
  std::string DBName;
  std::string DBType;
  std::string DBSID;
  std::string DBConnectionMethod;
  std::string DBURL;
  std::string DBHost;
  std::string DBPort;
  std::string DBEncoding;
  std::string DBUID;
  std::string DBPwd;
  std::string DBDBMSName;
  std::string DBDBMSVer;
  std::string DBProviderName;
  std::string DBProviderVer;
  int16_t DBTblCnt = 0;
  AGSchemaTables tables;
};

// Scripts see a table record as an object holding its own copy; its
// TblFields and their fld(i) elements read and write that copy.
class AGSchemaTableRecord : public Dispatch {
 public:
  explicit AGSchemaTableRecord(AGSchemaTable table)
      : table_(std::make_shared<AGSchemaTable>(std::move(table))) {}
  AGSchemaTable& table() { return *table_; }
  std::shared_ptr<AGSchemaTable> shared() const { return table_; }
  std::string typeName() const override { return "AGSchemaTable"; }
  const ClassInfo* classInfo() const override;

 private:
  std::shared_ptr<AGSchemaTable> table_;
};

class AGSchemaFieldsRecord : public Dispatch {
 public:
  explicit AGSchemaFieldsRecord(std::shared_ptr<AGSchemaTable> table) : table_(std::move(table)) {}
  AGSchemaTable& table() { return *table_; }
  std::shared_ptr<AGSchemaTable> shared() const { return table_; }
  std::string typeName() const override { return "AGSchemaFields"; }
  const ClassInfo* classInfo() const override;

 private:
  std::shared_ptr<AGSchemaTable> table_;
};

class AGSchemaFieldRecord : public Dispatch {
 public:
  AGSchemaFieldRecord(std::shared_ptr<AGSchemaTable> table, size_t index)
      : table_(std::move(table)), index_(index) {}
  AGSchemaField& field();
  std::string typeName() const override { return "AGSchemaField"; }
  const ClassInfo* classInfo() const override;

 private:
  std::shared_ptr<AGSchemaTable> table_;
  size_t index_;
};

}  // namespace tw
