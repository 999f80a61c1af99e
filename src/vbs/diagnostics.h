#pragma once
// Compilation errors: VBScript's numbers (1002 "Syntax error", 1025
// "Expected end of statement", ...) with the position they were found at.
#include <cstdint>
#include <string>

#include "automation/error.h"

namespace tw::vbs {

// Positions are 1-based.
struct SourcePos {
  int32_t line = 0;
  int32_t column = 0;
};

// A run-time error that On Error Resume Next let pass: the error, and the
// statement it skipped in the procedure that goes on (its position counts
// from the start of the text that procedure was added with).
struct SkippedError {
  int32_t number = 0;
  std::string description;
  std::string procedure;   // the procedure that goes on
  SourcePos position;      // its statement that failed (or whose call failed)
  std::string sourceName;  // the name given to that procedure's code
};

enum CompileErrorNumber : int32_t {
  kErrCOutOfMemory = 1001,
  kErrCSyntax = 1002,
  kErrCExpectedColon = 1003,
  kErrCExpectedLParen = 1005,
  kErrCExpectedRParen = 1006,
  kErrCExpectedRBracket = 1007,
  kErrCExpectedIdentifier = 1010,
  kErrCExpectedEqual = 1011,
  kErrCExpectedIf = 1012,
  kErrCExpectedTo = 1013,
  kErrCExpectedEnd = 1014,
  kErrCExpectedFunction = 1015,
  kErrCExpectedSub = 1016,
  kErrCExpectedThen = 1017,
  kErrCExpectedWend = 1018,
  kErrCExpectedLoop = 1019,
  kErrCExpectedNext = 1020,
  kErrCExpectedCase = 1021,
  kErrCExpectedSelect = 1022,
  kErrCExpectedExpression = 1023,
  kErrCExpectedStatement = 1024,
  kErrCExpectedEndOfStatement = 1025,
  kErrCExpectedInteger = 1026,
  kErrCExpectedWhileUntil = 1027,
  kErrCExpectedWhileUntilEnd = 1028,
  kErrCExpectedWith = 1029,
  kErrCIdentifierTooLong = 1030,
  kErrCInvalidNumber = 1031,
  kErrCInvalidCharacter = 1032,
  kErrCUnterminatedString = 1033,
  kErrCInvalidMe = 1037,
  kErrCLoopWithoutDo = 1038,
  kErrCInvalidExit = 1039,
  kErrCInvalidForVariable = 1040,
  kErrCNameRedefined = 1041,
  kErrCMustBeFirst = 1042,
  kErrCAssignToNonByVal = 1043,
  kErrCParensOnSubCall = 1044,
  kErrCExpectedLiteral = 1045,
  kErrCExpectedIn = 1046,
  kErrCExpectedClass = 1047,
  kErrCMustBeInClass = 1048,
  kErrCExpectedLetSetGet = 1049,
  kErrCExpectedProperty = 1050,
  kErrCInconsistentPropertyArgs = 1051,
  kErrCMultipleDefault = 1052,
  kErrCInitTermArgs = 1053,
  kErrCPropertyNeedsArg = 1054,
  kErrCUnexpectedNext = 1055,
  kErrCDefaultPlacement = 1056,
  kErrCDefaultNotPublic = 1057,
  kErrCDefaultOnlyGet = 1058,
};

// The description VBScript gives a compilation error number.
std::string compileErrorText(int32_t number);

// A compilation error; the description is the standard text of its number.
class CompileError : public Error {
 public:
  CompileError(int32_t number, SourcePos pos) : Error(number, compileErrorText(number)), pos_(pos) {}
  CompileError(int32_t number, SourcePos pos, std::string description)
      : Error(number, std::move(description)), pos_(pos) {}
  SourcePos pos() const noexcept { return pos_; }

 private:
  SourcePos pos_;
};

}  // namespace tw::vbs
