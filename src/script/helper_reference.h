// The reference of the helper functions of the built-in system code, read
// from the comment block above each Function and Sub, so that what template
// authors read is what the code says. `tarnwick template helpers` prints it
// and writes it into the template author's guide.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct HelperDoc {
  std::string name;
  std::string kind;    // "Function" or "Sub"
  std::string params;  // as declared, without parentheses
  int line = 0;        // of the declaration in the system code
  std::string group;   // the title of the section it stands in
  std::vector<std::string> text;      // paragraphs of its comment
  std::vector<std::string> examples;  // indented comment lines, as written
};

struct HelperGroup {
  std::string title;
  std::string intro;
};

struct HelperReference {
  std::vector<HelperGroup> groups;
  std::vector<HelperDoc> helpers;
};

// Every public Function and Sub of the script text, with its comment: the
// comment lines right above the declaration. A comment line indented by three
// or more blanks after the apostrophe is an example; "' ---" lines open a
// section whose title is the first sentence of the comment below them.
HelperReference readHelperReference(std::string_view code);

// The reference as Markdown: one heading a section, one a helper. Example
// lines written as EXPRESSION => TEXT go into ```vbscript results blocks
// (the text the expression writes into a page); other example lines into
// plain ```vbscript blocks.
std::string helperReferenceMarkdown(const HelperReference& ref);

// True for an example line EXPRESSION => TEXT (the text may be empty).
bool statesResult(std::string_view example);

// The lines that enclose the generated reference in the guide.
inline constexpr std::string_view kHelperSectionBegin =
    "<!-- helper functions: generated from the system code by `tarnwick template helpers --guide FILE`; "
    "do not edit by hand -->";
inline constexpr std::string_view kHelperSectionEnd = "<!-- end of the generated helper functions -->";

// The guide with the text between the two marker lines replaced by section.
// False (guide unchanged, error set) when the markers are missing or out of
// order.
bool replaceHelperSection(std::string& guide, std::string_view section, std::string& error);

// The text between the marker lines of a guide; empty when they are missing.
std::string helperSectionOf(std::string_view guide);

}  // namespace tw
