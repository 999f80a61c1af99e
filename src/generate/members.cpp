// GenScript, GenCheck, FldSrchOprs and IncludeCode as members of AGP, and the preset
// answers of the run's questions.
#include "core/agp.h"
#include "generate/generator.h"
#include "script/compile_template.h"

namespace tw {

namespace {

const ClassInfo& projectMembers() {
  static const ClassInfo info =
      ClassBuilder<AGP>("AGP")
          .method("GenScript", [](AGP& p) { Generator(p).GenScript(); })
          .method("GenCheck", [](AGP& p) { return Variant::integer(Generator(p).GenCheck()); })
          .method(
              "FldSrchOprs",
              [](AGP&, const Variant& ftype) { return Variant(Generator::FldSrchOprs(ftype.toInteger())); })
          // The script function of an included template file (Include_File
          // of the system code runs it).
          .method("IncludeCode",
                  [](AGP&, const Variant& file, const Variant& session, const Variant& name) {
                    return Variant(
                        CompileIncludedTemplate(file.toString(), session.toString(), name.toString()));
                  })
          .build();
  return info;
}

}  // namespace

void installGenerateMembers() { AGP::addMembers(&projectMembers()); }

void GenerationPrompt::message(std::string_view title, std::string_view text, MessageIcon icon) {
  inner_->message(title, text, icon);
}

PromptAnswer GenerationPrompt::ask(const PromptRequest& request) {
  if (request.id == "template" && template_ != TemplateAnswer::Ask)
    return PromptAnswer{template_ == TemplateAnswer::Keep ? 0 : 1, false};
  if (request.id == "overwrite" && overwrite_ != OverwriteAnswer::Ask) {
    switch (overwrite_) {
      case OverwriteAnswer::OverwriteAll:
        return PromptAnswer{0, true};
      case OverwriteAnswer::SkipAll:
        return PromptAnswer{1, true};
      default:
        return PromptAnswer{2, false};
    }
  }
  return inner_->ask(request);
}

std::vector<std::string> GenerationPrompt::pairNames(const MappingRequest& request) {
  return inner_->pairNames(request);
}

}  // namespace tw
