#include "schema/schema_records.h"

#include <utility>

namespace tw {

namespace {

// A record member as a read/write property of the record object.
template <class Record, class Owner, class Field>
void member(ClassBuilder<Owner>& b, std::string name, Field Record::*field, Record& (*resolve)(Owner&)) {
  b.prop(
      std::move(name), [field, resolve](Owner& o) { return makeVariant(resolve(o).*field); },
      [field, resolve](Owner& o, const Variant& v) {
        Field& target = resolve(o).*field;
        if constexpr (std::is_same_v<Field, std::string>)
          target = v.toString();
        else if constexpr (std::is_same_v<Field, bool>)
          target = v.toBool();
        else if constexpr (std::is_same_v<Field, int16_t>)
          target = v.toInteger();
        else if constexpr (std::is_same_v<Field, int32_t>)
          target = v.toLong();
        else
          target = v;
      });
}

AGSchemaTable& tableOf(AGSchemaTableRecord& r) { return r.table(); }
AGSchemaField& fieldOf(AGSchemaFieldRecord& r) { return r.field(); }

}  // namespace

const ClassInfo* AGSchemaTableRecord::classInfo() const {
  static const ClassInfo info = [] {
    ClassBuilder<AGSchemaTableRecord> b("AGSchemaTable");
    member(b, "TblSync", &AGSchemaTable::TblSync, tableOf);
    member(b, "TblSeq", &AGSchemaTable::TblSeq, tableOf);
    member(b, "TblName", &AGSchemaTable::TblName, tableOf);
    member(b, "TblType", &AGSchemaTable::TblType, tableOf);
    member(b, "TblKey", &AGSchemaTable::TblKey, tableOf);
    member(b, "TblGen", &AGSchemaTable::TblGen, tableOf);
    member(b, "TblFldCnt", &AGSchemaTable::TblFldCnt, tableOf);
    b.get("TblFields",
          [](AGSchemaTableRecord& r) { return Variant(makeRef<AGSchemaFieldsRecord>(r.shared())); });
    return b.build();
  }();
  return &info;
}

const ClassInfo* AGSchemaFieldsRecord::classInfo() const {
  static const ClassInfo info =
      ClassBuilder<AGSchemaFieldsRecord>("AGSchemaFields")
          // fld(i) is one column; fld alone is the whole array (0 to n).
          .get("fld",
               [](AGSchemaFieldsRecord& r, Args a) -> Variant {
                 auto& list = r.table().TblFields.fld;
                 if (a.empty()) {
                   std::vector<Variant> items;
                   for (size_t i = 0; i < list.size(); ++i)
                     items.emplace_back(makeRef<AGSchemaFieldRecord>(r.shared(), i));
                   return Variant::array(std::move(items));
                 }
                 if (a.size() != 1) raise(kErrWrongArgCount);
                 int32_t i = a[0].toLong();
                 if (i < 0 || static_cast<size_t>(i) >= list.size()) raise(kErrSubscript);
                 return Variant(makeRef<AGSchemaFieldRecord>(r.shared(), static_cast<size_t>(i)));
               })
          .defaultMember("fld")
          .build();
  return &info;
}

AGSchemaField& AGSchemaFieldRecord::field() {
  auto& list = table_->TblFields.fld;
  if (index_ >= list.size()) raise(kErrSubscript);
  return list[index_];
}

const ClassInfo* AGSchemaFieldRecord::classInfo() const {
  static const ClassInfo info = [] {
    ClassBuilder<AGSchemaFieldRecord> b("AGSchemaField");
    member(b, "FldSync", &AGSchemaField::FldSync, fieldOf);
    member(b, "FldSeq", &AGSchemaField::FldSeq, fieldOf);
    member(b, "FldName", &AGSchemaField::FldName, fieldOf);
    member(b, "FldType", &AGSchemaField::FldType, fieldOf);
    member(b, "FldTypeName", &AGSchemaField::FldTypeName, fieldOf);
    member(b, "NativeDataType", &AGSchemaField::NativeDataType, fieldOf);
    member(b, "FldTagValues", &AGSchemaField::FldTagValues, fieldOf);
    member(b, "FldSupport", &AGSchemaField::FldSupport, fieldOf);
    member(b, "FldSize", &AGSchemaField::FldSize, fieldOf);
    member(b, "FldUniqueIdx", &AGSchemaField::FldUniqueIdx, fieldOf);
    member(b, "FldZeroLen", &AGSchemaField::FldZeroLen, fieldOf);
    member(b, "FldReq", &AGSchemaField::FldReq, fieldOf);
    member(b, "FldIsPrimaryKey", &AGSchemaField::FldIsPrimaryKey, fieldOf);
    member(b, "FldAutoIncrement", &AGSchemaField::FldAutoIncrement, fieldOf);
    member(b, "FldAttribute", &AGSchemaField::FldAttribute, fieldOf);
    member(b, "FldDefault", &AGSchemaField::FldDefault, fieldOf);
    member(b, "FldQuoteS", &AGSchemaField::FldQuoteS, fieldOf);
    member(b, "FldQuoteE", &AGSchemaField::FldQuoteE, fieldOf);
    member(b, "FldCaption", &AGSchemaField::FldCaption, fieldOf);
    return b.build();
  }();
  return &info;
}

}  // namespace tw
