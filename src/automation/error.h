#pragma once
// The one error type of the automation layer: a number, a description and a
// source, as a script's Err object sees them. Numbers are VBScript's (438, 9,
// 13, ...) or 32-bit HRESULT-style codes of engine components (0x80000501).
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace tw {

// VBScript run-time error numbers used across the engine.
enum ErrorNumber : int32_t {
  kErrInvalidCall = 5,
  kErrOverflow = 6,
  kErrOutOfMemory = 7,
  kErrSubscript = 9,
  kErrArrayLocked = 10,
  kErrDivByZero = 11,
  kErrTypeMismatch = 13,
  kErrOutOfStringSpace = 14,
  kErrOutOfStack = 28,
  kErrSubNotDefined = 35,
  kErrFileNotFound = 53,
  kErrFileAlreadyExists = 58,
  kErrBadFileMode = 54,
  kErrInputPastEnd = 62,
  kErrPermissionDenied = 70,
  kErrPathFileAccess = 75,
  kErrPathNotFound = 76,
  kErrObjectNotSet = 91,
  kErrForNotInitialized = 92,
  kErrInvalidNull = 94,
  kErrObjectRequired = 424,
  kErrCantCreateObject = 429,
  kErrNoSuchMember = 438,
  kErrNoSuchAction = 445,
  kErrNamedArgs = 446,
  kErrArgNotOptional = 449,
  kErrWrongArgCount = 450,
  kErrNotCollection = 451,
  kErrDuplicateKey = 457,
  kErrUndefinedVariable = 500,
  kErrIllegalAssignment = 501,
  kErrInvalidReference = 505,
  kErrClassNotDefined = 506,
  kErrElementNotFound = 32811,
};

class Error : public std::exception {
 public:
  // An error with the standard description of a VBScript number.
  explicit Error(int32_t number);
  Error(int32_t number, std::string description, std::string source = {});

  int32_t number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  const std::string& source() const noexcept { return source_; }
  void setSource(std::string source) { source_ = std::move(source); }
  // The name the error is about ("Foo" of o.Foo): shown by hosts after the
  // description, never part of it.
  const std::string& subject() const noexcept { return subject_; }
  void setSubject(std::string subject) { subject_ = std::move(subject); }
  // The description with the subject, as hosts report the error.
  std::string message() const {
    return subject_.empty() ? description_ : description_ + ": '" + subject_ + "'";
  }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int32_t number_;
  std::string description_;
  std::string source_;
  std::string subject_;
};

// The description VBScript gives a run-time error number; empty when unknown.
std::string_view standardErrorText(int32_t number);

[[noreturn]] void raise(int32_t number);
[[noreturn]] void raise(int32_t number, std::string description, std::string source = {});

}  // namespace tw
