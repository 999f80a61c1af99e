// The page pass: for every table in sequence order its table (or report)
// controls and then, field by field, its field controls; then the style
// sheets, the project-wide pages and the copy controls. In check mode
// nothing is written and the pass counts the outputs that exist.
#include <string>

#include "automation/text.h"
#include "core/agp.h"
#include "generate/generator.h"
#include "generate/setting_keys.h"
#include "generate/text_util.h"
#include "model/database.h"
#include "model/field.h"
#include "model/table.h"
#include "platform/files.h"
#include "script/control.h"
#include "support/engine_context.h"
#include "support/status.h"

namespace tw {

void Generator::setCurrentTable(AGPTable* table) {
  state_.currentTable = Ref<AGPTable>(table);
  if (table) proj_.db()->tables().setCurrent(*table);
}

void Generator::setCurrentField(AGPField* field) { state_.currentField = Ref<AGPField>(field); }

void Generator::PrepareTable(AGPTable& table) {
  if (!table.str(keys::TblKey).empty()) {
    bool blob = false;
    AGPFields& fields = table.Fields();
    for (int32_t i = 0; i < fields.Count() && !blob; ++i) blob = fields.at(i)->str(keys::FldHtmlTag) == "FILE";
    table.setSetting(keys::TblBlob, Variant(blob));
  } else {
    // Without a key there are no record pages.
    for (const char* name : {"TblAdd", "TblCopy", "TblView", "TblEdit", "TblInlineEdit", "TblDelete"})
      table.setSetting(name, Variant(false));
  }
  state_.currentTableVar = table.TblVar();
}

int16_t Generator::GenerateTablePages(AGPTable& table, bool check) {
  int16_t count = 0;
  AGPControls& all = controls();
  for (int32_t i = 1; i <= all.Count(); ++i) {
    AGPControl* c = all.Item(i);
    if (!ControlAppliesToTable(table, c->CtrlID, c->CtrlType, c->CtrlCond)) continue;
    const std::string name =
        MakeOutputFileName(table.TblVar(), "", OutputStem(*c), ResolveOutputExt(c->CtrlOExt));
    if (check) {
      if (fileExists(ResolveOutputPath(c->CtrlOFolder, name, true))) ++count;
      continue;
    }
    AGPStatus& status = engine().status();
    status.DispStatus("Generating " + name + "...");
    if (status.StatusIsCancelled()) CancelGeneration();
    const std::string path = ResolveOutputPath(c->CtrlOFolder, name, false);
    WriteTablePage(table, GetControlScriptFile(*c), path, *c);
    if (!engine().projErr.empty()) {
      engine().projErr = engine().productName + ": Generate Table " + table.TblName() + " " + c->CtrlID +
                         " page error\r\n" + engine().projErr;
      break;
    }
  }
  return count;
}

int16_t Generator::GenerateFieldPages(AGPField& field, bool check) {
  setCurrentField(&field);
  int16_t count = 0;
  if (!field.flag(keys::FldGenerate)) return 0;
  AGPControls& all = controls();
  for (int32_t i = 1; i <= all.Count(); ++i) {
    AGPControl* c = all.Item(i);
    if (c->CtrlType != "field" || !EvaluateCondition(c->CtrlCond)) continue;
    const std::string name = MakeOutputFileName(state_.currentTableVar, field.FldVar(), OutputStem(*c),
                                                ResolveOutputExt(c->CtrlOExt));
    if (check) {
      if (fileExists(ResolveOutputPath(c->CtrlOFolder, name, true))) ++count;
      continue;
    }
    engine().status().DispStatus("Generating " + name + "...");
    const std::string path = ResolveOutputPath(c->CtrlOFolder, name, false);
    WriteFieldPage(field, GetControlScriptFile(*c), path, *c);
    if (!engine().projErr.empty()) break;
  }
  return count;
}

int16_t Generator::GenerateOtherPages(std::string_view types, bool overwrite, bool check) {
  const std::vector<std::string_view> kinds = gen::splitText(types, ',');
  int16_t count = 0;
  AGPControls& all = controls();
  for (int32_t i = 1; i <= all.Count(); ++i) {
    AGPControl* c = all.Item(i);
    bool wanted = false;
    for (std::string_view k : kinds)
      if (equalsNoCase(trimBlanks(k), trimBlanks(c->CtrlType))) wanted = true;
    if (!wanted || !EvaluateCondition(c->CtrlCond)) continue;
    const std::string name = OtherPageName(*c);
    const std::string path = ResolveOutputPath(c->CtrlOFolder, name, check);
    if (check) {
      if (fileExists(path)) ++count;
      continue;
    }
    engine().status().DispStatus("Generating " + name + "...");
    WriteOtherPage(GetControlScriptFile(*c), path, *c, overwrite);
    if (!engine().projErr.empty()) {
      engine().projErr =
          engine().productName + ": Generate " + c->CtrlID + " page error\r\n" + engine().projErr;
      break;
    }
  }
  return count;
}

int16_t Generator::GeneratePages(bool check) {
  EngineContext& ctx = engine();
  int32_t count = 0;
  const std::string ext = proj_.str(keys::P_Ext);
  if (!ext.empty()) state_.scriptExt = ext;
  const std::string page = proj_.str(keys::P_DefaultPage);
  if (!page.empty()) state_.defaultPage = page;
  state_.mode.clear();

  AGPTables& tables = proj_.db()->tables();
  AGPControls& all = controls();

  // Count the pages of the progress bar; tables that cannot be generated are
  // switched off on the way.
  int32_t total = 0;
  for (int32_t t = 0; t < tables.Count(); ++t) {
    AGPTable* table = tables.at(t);
    if (table->Fields().Count() == 0) table->setSetting(keys::TblGen, Variant(false));
    if (!table->str(keys::TblCustomError).empty()) table->setSetting(keys::TblGen, Variant(false));
    setCurrentTable(table);
    PrepareTable(*table);
    for (int32_t i = 1; i <= all.Count(); ++i) {
      AGPControl* c = all.Item(i);
      if ((c->CtrlType == "report" || c->CtrlType == "table") &&
          ControlAppliesToTable(*table, c->CtrlID, c->CtrlType, c->CtrlCond))
        ++total;
    }
  }
  state_.pagesTotal = total;
  state_.pagesDone = 0;
  setCurrentTable(nullptr);
  setCurrentField(nullptr);

  const bool otherGen = proj_.flag(keys::OtherGen);
  if (otherGen) {
    PrepareDestination(check);
    if (!ctx.projErr.empty()) return 0;
  }

  for (AGPTable* table : tables.inSequence()) {
    const bool gen = table->flag(keys::TblGen);
    if (gen || !table->str(keys::TblSysGenUnits).empty()) {
      setCurrentTable(table);
      PrepareTable(*table);
      count += GenerateTablePages(*table, check);
      // A check stops at the first table with outputs that exist.
      if (count > 0) return static_cast<int16_t>(count);
      if (!ctx.projErr.empty()) return 0;
    }
    if (!gen) continue;
    for (AGPField* field : table->Fields().inSequence()) {
      if (!field->flag(keys::FldGenerate)) continue;
      AGPTable* again = tables.Item(Variant(table->TblName()));
      if (!again) again = table;
      setCurrentTable(again);
      again->Fields().setCurrent(*field);
      count += GenerateFieldPages(*field, check);
      if (!ctx.projErr.empty()) {
        ctx.projErr = ctx.productName + ": Generate Table " + table->TblName() + " Field " +
                      field->FldName() + " page error\r\n" + ctx.projErr;
        return 0;
      }
    }
  }

  if (otherGen) {
    setCurrentTable(nullptr);
    setCurrentField(nullptr);
    count += GenerateCssFile(check);
    if (ctx.projErr.empty()) count += GenerateOtherPages("other,simple", proj_.flag(keys::OtherOverwrite), check);
    if (ctx.projErr.empty()) count += CopyControlFiles(check);
  }
  if (!ctx.projErr.empty()) return 0;
  return static_cast<int16_t>(count > 32767 ? 32767 : count);
}

}  // namespace tw
