// Field and table defaults, captions from names, and custom view tracing.
#include <gtest/gtest.h>

#include "model/field.h"
#include "model/table.h"
#include "schema/defaults.h"
#include "support/engine_context.h"
#include "testing/fresh_engine.h"

namespace tw {
namespace {

using DefaultsTest = testing::FreshEngine;

// A field as the loaders leave it before LoadFldDefault.
Ref<AGPField> column(const std::string& name, int16_t type, int32_t size = 10, bool autoInc = false,
                     bool required = false) {
  auto f = makeRef<AGPField>();
  f->setSetting("FldName", Variant(name));
  SetFieldType(*f, type);
  f->setSetting("FldSize", Variant::long_(size));
  f->setSetting("FldAutoIncrement", Variant(autoInc));
  f->setSetting("FldReq", Variant(required));
  f->setSetting("NativeDataType", Variant::integer(0));
  return f;
}

TEST(NameToCaptionTest, WordsFromNames) {
  EXPECT_EQ(NameToCaption("FirstName"), "First Name");
  EXPECT_EQ(NameToCaption("first_name"), "first name");
  EXPECT_EQ(NameToCaption("userID"), "user ID");
  EXPECT_EQ(NameToCaption("Field1"), "Field 1");
  EXPECT_EQ(NameToCaption("a__b"), "a b");
  EXPECT_EQ(NameToCaption("_leading"), "leading");
  EXPECT_EQ(NameToCaption("2nd price"), "2nd price");
  EXPECT_EQ(NameToCaption("OrderDate"), "Order Date");
  EXPECT_EQ(NameToCaption("2005 Sales"), "2005 Sales");
  EXPECT_EQ(NameToCaption("e-mail"), "e mail");
  EXPECT_EQ(NameToCaption("trailing_"), "trailing ");
  EXPECT_EQ(NameToCaption("kundenNummer"), "kunden Nummer");
  EXPECT_EQ(NameToCaption("kundeÖrtlichÄrger"), "kunde Örtlich Ärger");  // code points, not bytes
  EXPECT_EQ(NameToCaption(""), "");
}

TEST_F(DefaultsTest, FieldTypesSetSupportAndQuotes) {
  auto f = makeRef<AGPField>();
  SetFieldType(*f, 3);
  EXPECT_TRUE(f->flag("FldSupport"));
  EXPECT_EQ(f->str("FldQuoteS"), "");
  SetFieldType(*f, 200);
  EXPECT_EQ(f->str("FldQuoteS"), "'");
  EXPECT_EQ(f->str("FldQuoteE"), "'");
  SetFieldType(*f, 205);
  EXPECT_FALSE(f->flag("FldSupport"));  // quoted, but not supported
  EXPECT_EQ(f->str("FldQuoteS"), "'");
  SetFieldType(*f, 133);
  EXPECT_EQ(f->str("FldQuoteS"), "'");
  engine().dbmsName = "ACCESS";
  SetFieldType(*f, 133);
  EXPECT_EQ(f->str("FldQuoteS"), "#");
  EXPECT_EQ(f->str("FldQuoteE"), "#");
  SetFieldType(*f, 200);
  EXPECT_EQ(f->str("FldQuoteS"), "'");
  SetFieldType(*f, 128);
  EXPECT_FALSE(f->flag("FldSupport"));
  EXPECT_EQ(f->str("FldQuoteS"), "'");  // left as it was
  EXPECT_EQ(f->int16("FldType"), 128);
}

TEST_F(DefaultsTest, AnAutoIncrementIntegerKey) {
  auto f = column("id", 3, 4, true);
  LoadFldDefault(*f);
  EXPECT_EQ(f->str("FldHtmlTag"), "NO");
  EXPECT_FALSE(f->flag("FldAdd"));
  EXPECT_TRUE(f->flag("FldList"));
  EXPECT_TRUE(f->flag("FldEdit"));
  EXPECT_TRUE(f->flag("FldView"));
  EXPECT_TRUE(f->flag("FldGenerate"));
  EXPECT_EQ(f->str("FldValidate"), "INTEGER");
  EXPECT_EQ(f->str("FldSrchOpr"), "=");
  EXPECT_FALSE(f->flag("FldBasicSearch"));
  EXPECT_EQ(f->str("FldCaption"), "id");
  EXPECT_EQ(f->str("FldVar"), "x_id");
}

TEST_F(DefaultsTest, FixedValuesComeFirst) {
  auto f = column("n", 5);
  f->setSetting("FldRequired", Variant(true));
  f->setSetting("FldOrder", Variant("ASC"));
  LoadFldDefault(*f);
  EXPECT_EQ(f->str("FldFmtType"), "None");
  EXPECT_EQ(f->int16("FldIncLeadDigit"), -2);
  EXPECT_EQ(f->int16("FldUseParen"), -2);
  EXPECT_EQ(f->int16("FldGpDigits"), -2);
  EXPECT_EQ(f->str("FldSelectType"), "Values");
  EXPECT_EQ(f->str("FldViewTag"), "FORMATTED TEXT");
  EXPECT_EQ(f->str("FldTagAPrefix"), "None");
  EXPECT_FALSE(f->flag("FldRequired"));  // not required: reset
  EXPECT_EQ(f->str("FldOrder"), "");
  EXPECT_FALSE(f->flag("FldSearch"));
  EXPECT_EQ(f->str("FldValidate"), "FLOAT");
  EXPECT_EQ(f->int16("FldTagSize"), 30);
  EXPECT_TRUE(f->setting("FldTagMaxLength").isEmpty());
}

TEST_F(DefaultsTest, TextColumns) {
  auto v = column("title", 200, 50, false, true);
  LoadFldDefault(*v);
  EXPECT_EQ(v->str("FldHtmlTag"), "TEXT");
  EXPECT_EQ(v->int16("FldTagSize"), 30);
  EXPECT_EQ(v->int32("FldTagMaxLength"), 50);
  EXPECT_EQ(v->str("FldSrchOpr"), "LIKE");
  EXPECT_TRUE(v->flag("FldBasicSearch"));
  EXPECT_TRUE(v->flag("FldRequired"));

  auto c = column("code", 129, 8);
  LoadFldDefault(*c);
  EXPECT_EQ(c->str("FldHtmlTag"), "TEXT");
  EXPECT_EQ(c->int16("FldTagSize"), 30);
  EXPECT_TRUE(c->setting("FldTagMaxLength").isEmpty());
  EXPECT_EQ(c->str("FldSrchOpr"), "LIKE");

  auto memo = column("notes", 201, 65535);
  LoadFldDefault(*memo);
  EXPECT_EQ(memo->str("FldHtmlTag"), "TEXTAREA");
  EXPECT_EQ(memo->int16("FldTagCols"), 35);
  EXPECT_EQ(memo->int16("FldTagRows"), 4);
  EXPECT_FALSE(memo->flag("FldList"));
  EXPECT_TRUE(memo->flag("FldEdit"));
  EXPECT_TRUE(memo->flag("FldBasicSearch"));
}

// A NOT NULL column is required on forms unless the database fills it in:
// the empty text is a default, DEFAULT NULL and none are not.
TEST_F(DefaultsTest, NotNullColumnsWithADefaultMayBeLeftEmpty) {
  struct Case {
    const char* what;
    int16_t type;
    bool notNull;
    bool autoInc;
    Variant dbDefault;
    bool required;
  };
  const Case cases[] = {
      {"NOT NULL, no default", 200, true, false, Variant(), true},
      {"NOT NULL DEFAULT NULL", 200, true, false, Variant::null(), true},
      {"NOT NULL DEFAULT ''", 200, true, false, Variant(""), false},
      {"NOT NULL DEFAULT 'x'", 200, true, false, Variant("x"), false},
      {"NOT NULL DEFAULT ' '", 202, true, false, Variant(" "), false},
      {"NOT NULL DEFAULT 0", 3, true, false, Variant("0"), false},
      {"NOT NULL DEFAULT CURRENT_TIMESTAMP", 135, true, false, Variant("CURRENT_TIMESTAMP"), false},
      {"nullable DEFAULT ''", 200, false, false, Variant(""), false},
      {"nullable, no default", 200, false, false, Variant(), false},
      {"auto-increment key", 3, true, true, Variant(), true},
  };
  for (const Case& c : cases) {
    auto f = column("f", c.type, 40, c.autoInc, c.notNull);
    f->setSetting("FldDefault", c.dbDefault);
    LoadFldDefault(*f);
    EXPECT_EQ(f->flag("FldRequired"), c.required) << c.what;
    EXPECT_EQ(f->flag("FldReq"), c.notNull) << c.what;  // the column's own fact stays
    EXPECT_EQ(f->setting("FldDefault").type(), c.dbDefault.type()) << c.what;
  }
}

TEST_F(DefaultsTest, BinaryLargeObjectsAreFilesAndNotGenerated) {
  auto f = column("photo", 205, 65535);
  LoadFldDefault(*f);
  EXPECT_EQ(f->str("FldHtmlTag"), "FILE");
  EXPECT_EQ(f->int16("FldTagSize"), 30);
  EXPECT_EQ(f->str("FldHrefFld"), "photo");
  EXPECT_FALSE(f->flag("FldSupport"));
  EXPECT_FALSE(f->flag("FldList"));
  EXPECT_FALSE(f->flag("FldEdit"));
  EXPECT_FALSE(f->flag("FldView"));
  EXPECT_FALSE(f->flag("FldAdd"));
  EXPECT_FALSE(f->flag("FldGenerate"));
  EXPECT_EQ(f->str("FldSrchOpr"), "=");
}

TEST_F(DefaultsTest, BooleanValueListsDependOnTheDbms) {
  engine().dbmsName = "ACCESS";
  auto a = column("active", 11);
  LoadFldDefault(*a);
  EXPECT_EQ(a->str("FldHtmlTag"), "RADIO");
  EXPECT_EQ(a->str("FldTagValues"), "\"Yes\",\"Yes\"\r\n\"No\",\"No\"");
  engine().dbmsName = "Kestrova DB Driver";
  auto m = column("active", 11);
  LoadFldDefault(*m);
  EXPECT_EQ(m->str("FldTagValues"), "\"1\",\"Yes\"\r\n\"0\",\"No\"");
  EXPECT_EQ(m->str("FldValidate"), "");
}

TEST_F(DefaultsTest, DatesFollowTheDefaultDateFormat) {
  engine().dateFormat = 6;
  auto d = column("OrderDate", 133);
  LoadFldDefault(*d);
  EXPECT_EQ(d->str("FldHtmlTag"), "TEXT");
  EXPECT_EQ(d->str("FldFmtType"), "Date/Time");
  EXPECT_EQ(d->int16("FldDtFormat"), 6);
  EXPECT_EQ(d->str("FldValidate"), "USDATE");
  EXPECT_EQ(d->str("FldCaption"), "Order Date");
  EXPECT_EQ(d->str("FldVar"), "x_OrderDate");
  engine().dateFormat = 1;
  auto plain = column("placed", 135);
  LoadFldDefault(*plain);
  EXPECT_EQ(plain->str("FldFmtType"), "None");
  EXPECT_EQ(plain->str("FldValidate"), "");
  EXPECT_TRUE(plain->setting("FldTagSize").isEmpty());
  engine().dateFormat = 5;
  auto eu = column("due", 7);
  LoadFldDefault(*eu);
  EXPECT_EQ(eu->str("FldValidate"), "DATE");
  engine().dateFormat = 7;
  auto t = column("at", 134);
  LoadFldDefault(*t);
  EXPECT_EQ(t->str("FldValidate"), "TIME");
  EXPECT_EQ(t->str("FldFmtType"), "None");
  EXPECT_EQ(t->int16("FldTagSize"), 30);
}

TEST_F(DefaultsTest, GuidColumns) {
  auto g = column("uid", 72, 16);
  LoadFldDefault(*g);
  EXPECT_EQ(g->int16("FldTagSize"), 38);
  EXPECT_EQ(g->int32("FldTagMaxLength"), 38);
  EXPECT_EQ(g->str("FldValidate"), "GUID");
  EXPECT_EQ(g->str("FldSrchOpr"), "=");
}

TEST_F(DefaultsTest, EnumerationsOfYesAndNoAreCheckBoxes) {
  const std::string y = "\"Y\",\"Y\"", n = "\"N\",\"N\"";
  for (const std::string& values :
       {y + "\r\n" + n, y + "\r\n" + n + "\r\n", n + "\r\n" + y, n + "\r\n" + y + "\r\n"}) {
    auto f = column("active", 202, 1);
    f->setSetting("NativeDataType", Variant::integer(247));
    f->setSetting("FldTagValues", Variant(values));
    LoadFldDefault(*f);
    EXPECT_EQ(f->str("FldHtmlTag"), "CHECKBOX") << values;
    EXPECT_EQ(f->str("FldSrchOpr"), "=");
    EXPECT_TRUE(f->flag("FldBasicSearch"));  // decided while the control was TEXT
  }
  auto other = column("size", 202, 1);
  other->setSetting("NativeDataType", Variant::integer(247));
  other->setSetting("FldTagValues", Variant(y + "\r\n" + n + "\r\n\"X\",\"X\""));
  LoadFldDefault(*other);
  EXPECT_EQ(other->str("FldHtmlTag"), "RADIO");
  auto lower = column("flag", 202, 1);
  lower->setSetting("NativeDataType", Variant::integer(247));
  lower->setSetting("FldTagValues", Variant("\"y\",\"y\"\r\n\"n\",\"n\""));
  LoadFldDefault(*lower);
  EXPECT_EQ(lower->str("FldHtmlTag"), "RADIO");
  auto set = column("colours", 202, 20);
  set->setSetting("NativeDataType", Variant::integer(248));
  set->setSetting("FldTagValues", Variant("\"red\",\"red\""));
  LoadFldDefault(*set);
  EXPECT_EQ(set->str("FldHtmlTag"), "CHECKBOX");
}

TEST_F(DefaultsTest, BasicSearchIsOffForChoiceControls) {
  auto f = column("kind", 200, 10);
  f->setSetting("FldAutoIncrement", Variant(false));
  LoadFldDefault(*f);
  EXPECT_TRUE(f->flag("FldBasicSearch"));
  auto num = column("qty", 3);
  LoadFldDefault(*num);
  EXPECT_FALSE(num->flag("FldBasicSearch"));
}

TEST_F(DefaultsTest, NamesNeedingEscapesGiveVariablesAndCaptions) {
  auto f = column("2nd price", 131);
  LoadFldDefault(*f);
  EXPECT_EQ(f->str("FldVar"), "x_x2nd_price");
  EXPECT_EQ(f->str("FldCaption"), "2nd price");
  auto kept = column("OrderDate", 135);
  kept->setSetting("FldCaption", Variant("Placed on"));
  LoadFldDefault(*kept);
  EXPECT_EQ(kept->str("FldCaption"), "Placed on");
}

// ---- tables

Ref<AGPTable> table(const std::string& name, const std::string& type) {
  auto t = makeRef<AGPTable>();
  t->setSetting("TblName", Variant(name));
  t->setSetting("TblType", Variant(type));
  return t;
}

TEST_F(DefaultsTest, TablesGetEveryPageViewsOnlyTheList) {
  engine().secDefault = Variant("Admin");
  auto t = table("2005 Sales", "TABLE");
  t->setSetting("TblCaption", Variant("old"));
  t->setSetting("TblGen", Variant(true));
  LoadTableDefault(*t);
  EXPECT_EQ(t->str("TblCaption"), "2005 Sales");
  EXPECT_EQ(t->str("TblVar"), "x2005_Sales");
  EXPECT_FALSE(t->flag("TblDefault"));
  EXPECT_TRUE(t->flag("TblList"));
  for (const char* page : {"TblAdd", "TblView", "TblEdit", "TblDelete", "TblCopy"})
    EXPECT_TRUE(t->flag(page)) << page;
  EXPECT_EQ(t->str("TblSrchType"), "BASIC");
  EXPECT_EQ(t->str("TblSecurity"), "Admin");
  EXPECT_FALSE(t->flag("TblGen"));
  EXPECT_EQ(t->str("TblRptSrc"), "2005 Sales");
  EXPECT_EQ(t->str("TblReportType"), "list");
  for (const char* type : {"VIEW", "CUSTOMVIEW"}) {
    auto v = table("open orders", type);
    LoadTableDefault(*v);
    EXPECT_TRUE(v->flag("TblList"));
    for (const char* page : {"TblAdd", "TblView", "TblEdit", "TblDelete", "TblCopy"})
      EXPECT_FALSE(v->flag(page)) << type << page;
    EXPECT_EQ(v->str("TblSrchType"), "BASIC");
    EXPECT_EQ(v->str("TblRptSrc"), "open orders");
    EXPECT_FALSE(v->flag("TblGen"));
  }
}

TEST_F(DefaultsTest, AReportKeepsItsSourceAndHasNoSearch) {
  auto r = table("sales report", "REPORT");
  r->setSetting("TblGen", Variant(true));
  r->setSetting("TblRptSrc", Variant("orders"));
  r->setSetting("TblReportType", Variant("summary"));
  LoadTableDefault(*r);
  EXPECT_EQ(r->str("TblSrchType"), "NONE");
  EXPECT_TRUE(r->flag("TblGen"));
  EXPECT_EQ(r->str("TblRptSrc"), "orders");
  EXPECT_EQ(r->str("TblReportType"), "summary");
  EXPECT_FALSE(r->flag("TblAdd"));
}

TEST_F(DefaultsTest, CustomViewColumnsAreTracedToTheirSources) {
  auto v = table("big orders", "CUSTOMVIEW");
  v->setSetting("TblCustomSQL", Variant("SELECT o.id, o.total AS amount, SUM(l.qty) AS total FROM orders o "
                                        "JOIN lines l ON l.order_id = o.id GROUP BY o.id, o.total"));
  for (const char* name : {"id", "amount", "total"}) v->Fields().Add(name);
  ParseCustomSql(*v);
  AGPField* id = v->Fields().Item(Variant("id"));
  EXPECT_FALSE(id->flag("FldAlias"));
  EXPECT_EQ(id->str("FldSourceTable"), "orders");
  EXPECT_EQ(id->str("FldSourceField"), "id");
  EXPECT_EQ(id->str("FldSourceName"), "o.id");
  AGPField* amount = v->Fields().Item(Variant("amount"));
  EXPECT_TRUE(amount->flag("FldAlias"));
  EXPECT_EQ(amount->str("FldSourceField"), "total");
  AGPField* total = v->Fields().Item(Variant("total"));
  EXPECT_TRUE(total->flag("FldAlias"));
  EXPECT_EQ(total->str("FldSourceTable"), "");
  EXPECT_EQ(total->str("FldSourceName"), "SUM(l.qty)");
}

TEST_F(DefaultsTest, AStatementTheParserRefusesChangesNothing) {
  auto v = table("odd", "CUSTOMVIEW");
  v->setSetting("TblCustomSQL", Variant("SELECT a FROM t WHERE"));
  AGPField* a = v->Fields().Add("a");
  a->setSetting("FldSourceTable", Variant("before"));
  a->setSetting("FldAlias", Variant(true));
  ParseCustomSql(*v);
  EXPECT_EQ(a->str("FldSourceTable"), "before");
  EXPECT_TRUE(a->flag("FldAlias"));
}

}  // namespace
}  // namespace tw
