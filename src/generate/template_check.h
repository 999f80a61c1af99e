#pragma once
// Checking a template as its author works on it: every control file,
// language file and template file parsed, every control compiled into its
// script and that script's VBScript syntax checked, and, with a project,
// every page run into a scratch folder. Each problem comes back as one line
// "FILE:LINE:COLUMN: message", the file named as the author gave the
// template.
#include <string>
#include <vector>

namespace tw {

class AGP;

struct TemplateCheckResult {
  std::vector<std::string> problems;  // in the order found, each once
  int controlsCompiled = 0;
  int pagesRun = 0;  // with a project: the pages written into the scratch folder
};

// `archive` is the template archive to check (a folder packed by the
// caller), `asGiven` how the author named the template. `proj` is the
// project to run the pages of (its Template and Destination are replaced
// for the check), or a project without a database to compile only.
TemplateCheckResult CheckTemplate(AGP& proj, const std::string& archive, const std::string& asGiven,
                                  bool runPages);

}  // namespace tw
