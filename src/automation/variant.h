#pragma once
// Variant: a value with the OLE/VBScript subtypes. Numbers live inline; strings
// and arrays are shared between copies and copied on write, so copying a
// Variant never allocates. Objects are counted references to Dispatch.
#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "automation/refcounted.h"

namespace tw {

class Dispatch;
struct SafeArray;

enum VarType : uint16_t {
  vtEmpty = 0,
  vtNull = 1,
  vtInteger = 2,  // signed 16-bit
  vtLong = 3,     // signed 32-bit
  vtSingle = 4,
  vtDouble = 5,
  vtCurrency = 6,  // 64-bit integer scaled by 10,000
  vtDate = 7,      // days since 30 December 1899, time as the fraction
  vtString = 8,
  vtObject = 9,
  vtError = 10,
  vtBoolean = 11,
  vtVariant = 12,  // element type of ordinary script arrays
  vtDecimal = 14,
  vtByte = 17,
  vtArray = 8192,  // added to the element type
};

// A shared, copy-on-write UTF-8 text.
struct StringRep {
  int32_t refs = 1;
  std::string text;
};

static_assert(std::endian::native == std::endian::little, "Variant's payload layout assumes little-endian");

class Variant {
 public:
  Variant() noexcept : type_(vtEmpty), i64_(0) {}
  // Small values are written as all eight bytes of the payload in one store
  // (little-endian: the low bytes are the value): a copy that reads the
  // payload soon after then takes it from that one store, where a zeroed
  // payload with the value written over it makes the processor wait.
  Variant(bool b) noexcept : type_(vtBoolean), i64_(b ? 1 : 0) {}
  Variant(int v) noexcept : type_(vtLong), i64_(static_cast<uint32_t>(v)) {}
  Variant(double v) noexcept : type_(vtDouble) { r8_ = v; }
  Variant(const char* s);
  Variant(std::string_view s);
  Variant(const std::string& s) : Variant(std::string_view(s)) {}
  Variant(std::string&& s);
  Variant(Dispatch* obj) noexcept;
  template <class T, std::enable_if_t<std::is_base_of_v<Dispatch, T>, int> = 0>
  Variant(const Ref<T>& obj) noexcept : Variant(static_cast<Dispatch*>(obj.get())) {}
  // Pointers other than objects and texts must not turn into Booleans.
  Variant(const void*) = delete;

  static Variant null() noexcept;
  static Variant integer(int16_t v) noexcept { return Variant(vtInteger, static_cast<uint16_t>(v)); }
  static Variant long_(int32_t v) noexcept { return Variant(v); }
  static Variant single(float v) noexcept;
  static Variant double_(double v) noexcept;
  static Variant currency(int64_t scaled) noexcept;  // value × 10,000
  static Variant date(double serial) noexcept;
  static Variant byte(uint8_t v) noexcept;
  static Variant error(int32_t code) noexcept;
  // The object subtype holding no object (Nothing).
  static Variant nothing() noexcept;
  // A one- or more-dimensional array; bounds are (lower, upper) pairs.
  static Variant array(std::span<const std::pair<int32_t, int32_t>> bounds, VarType elem = vtVariant);
  // A one-dimensional array with lower bound 0 holding the values.
  static Variant array(std::vector<Variant> values, VarType elem = vtVariant);

  Variant(const Variant& o) noexcept : type_(o.type_), i64_(o.i64_) {
    if (holdsReference()) addReference();
  }
  Variant(Variant&& o) noexcept : type_(o.type_), i64_(o.i64_) { o.type_ = vtEmpty; }
  Variant& operator=(const Variant& o) noexcept {
    if (!holdsReference() && !o.holdsReference()) {
      type_ = o.type_;
      i64_ = o.i64_;
      return *this;
    }
    return assignSlow(o);
  }
  Variant& operator=(Variant&& o) noexcept {
    if (!holdsReference()) {
      type_ = o.type_;
      i64_ = o.i64_;
      o.type_ = vtEmpty;
      return *this;
    }
    return moveSlow(std::move(o));
  }
  ~Variant() {
    if (holdsReference()) releaseReference();
  }

  // The VarType code: the subtype, plus vtArray for arrays.
  uint16_t varType() const noexcept;
  VarType type() const noexcept { return type_; }
  bool isEmpty() const noexcept { return type_ == vtEmpty; }
  bool isNull() const noexcept { return type_ == vtNull; }
  bool isObject() const noexcept { return type_ == vtObject; }
  bool isNothing() const noexcept { return type_ == vtObject && obj_ == nullptr; }
  bool isString() const noexcept { return type_ == vtString; }
  bool isArray() const noexcept { return type_ == vtArray; }
  bool isNumeric() const noexcept;  // Integer, Long, Single, Double, Currency, Byte, Boolean? no: see .cpp
  void clear() noexcept {
    if (holdsReference()) releaseReference();
    type_ = vtEmpty;
    i64_ = 0;
  }

  // Raw access, valid only for the matching subtype.
  bool rawBool() const noexcept { return b_; }
  int16_t rawInteger() const noexcept { return i2_; }
  int32_t rawLong() const noexcept { return i4_; }
  float rawSingle() const noexcept { return r4_; }
  double rawDouble() const noexcept { return r8_; }
  int64_t rawCurrency() const noexcept { return i64_; }
  double rawDate() const noexcept { return r8_; }
  uint8_t rawByte() const noexcept { return u1_; }
  int32_t rawError() const noexcept { return i4_; }
  std::string_view rawString() const noexcept;
  Dispatch* rawObject() const noexcept { return obj_; }
  const SafeArray* rawArray() const noexcept { return arr_; }

  // Text for appending in place: unshares the string first. Only for strings.
  std::string& mutableString();
  // Array for writing: unshares it first. Only for arrays.
  SafeArray& mutableArray();

  // ---- Conversions with VBScript rules (locale 1033). Objects are first
  // replaced by their default member's value. Failures raise tw::Error:
  // 13 type mismatch, 6 overflow, 94 invalid use of Null, 424/91 objects.
  std::string toString() const;  // CStr
  bool toBool() const;           // CBool
  uint8_t toByte() const;        // CByte
  int16_t toInteger() const;     // CInt, banker's rounding
  int32_t toLong() const;        // CLng, banker's rounding
  float toSingle() const;        // CSng
  double toDouble() const;       // CDbl
  int64_t toCurrency() const;    // CCur, scaled by 10,000
  double toDate() const;         // CDate, as a serial
  Dispatch* toObject() const;    // the object, or error 424 when not an object

  // The value with objects replaced by their default member (recursively).
  Variant valueOf() const;
  // Converts to the given subtype (vtEmpty, vtNull, numbers, vtString, vtDate,
  // vtBoolean, vtObject): what VBScript's C... functions do.
  Variant convertTo(VarType t) const;

  // Identity for Is; same subtype and equal value for everything else.
  bool identical(const Variant& o) const noexcept;

 private:
  friend struct SafeArray;
  // Strings, arrays and objects hold a counted reference; numbers do not.
  bool holdsReference() const noexcept { return type_ == vtString || type_ == vtArray || type_ == vtObject; }
  void addReference() const noexcept;
  // Drops the reference and leaves the variant Empty.
  void releaseReference() noexcept;
  Variant& assignSlow(const Variant& o) noexcept;
  Variant& moveSlow(Variant&& o) noexcept;

  Variant(VarType t, int64_t payload) noexcept : type_(t), i64_(payload) {}

  VarType type_;
  union {
    bool b_;
    int16_t i2_;
    int32_t i4_;
    float r4_;
    double r8_;
    int64_t i64_;
    uint8_t u1_;
    StringRep* str_;
    Dispatch* obj_;
    SafeArray* arr_;
  };
};

using Args = std::span<Variant>;

// Arrays: bounds per dimension and the elements, first index varying fastest
// (so ReDim Preserve of the last dimension only appends).
struct SafeArray {
  struct Bound {
    int32_t lower;
    int32_t count;
  };
  int32_t refs = 1;
  VarType elemType = vtVariant;
  int32_t locks = 0;  // > 0 while For Each or a ByRef element holds it
  std::vector<Bound> bounds;
  std::vector<Variant> data;

  int32_t dims() const noexcept { return static_cast<int32_t>(bounds.size()); }
  int32_t lbound(int32_t dim) const;  // 1-based dimension; error 9 when out of range
  int32_t ubound(int32_t dim) const;
  // Offset of the element at the indexes; error 9 when any is out of bounds.
  size_t offset(std::span<const int32_t> indexes) const;
  Variant& at(std::span<const int32_t> indexes) { return data[offset(indexes)]; }
  const Variant& at(std::span<const int32_t> indexes) const { return data[offset(indexes)]; }
  // ReDim Preserve: only the last dimension may change; elements are kept.
  void redimPreserve(std::span<const std::pair<int32_t, int32_t>> bounds);
};

// Wraps a C++ value in the Variant subtype that matches its type: int16_t is
// Integer, int32_t Long, float Single, uint8_t Byte.
inline Variant makeVariant(const Variant& v) { return v; }
inline Variant makeVariant(Variant&& v) { return std::move(v); }
inline Variant makeVariant(bool v) { return Variant(v); }
inline Variant makeVariant(int16_t v) { return Variant::integer(v); }
inline Variant makeVariant(int32_t v) { return Variant::long_(v); }
inline Variant makeVariant(uint8_t v) { return Variant::byte(v); }
inline Variant makeVariant(float v) { return Variant::single(v); }
inline Variant makeVariant(double v) { return Variant(v); }
inline Variant makeVariant(std::string v) { return Variant(std::move(v)); }
inline Variant makeVariant(std::string_view v) { return Variant(v); }
inline Variant makeVariant(const char* v) { return Variant(v); }
inline Variant makeVariant(Dispatch* v) { return Variant(v); }
template <class T, std::enable_if_t<std::is_base_of_v<Dispatch, T>, int> = 0>
Variant makeVariant(const Ref<T>& v) {
  return Variant(v);
}

// Numeric text as VBScript reads it (blanks around, sign, decimals, exponent,
// "&H"/"&O" prefixes, thousands separators). False when it is not a number.
bool parseNumber(std::string_view text, double& out);
// Date and time text as CDate reads it under locale 1033.
bool parseDate(std::string_view text, double& serial);

// Number formatting as CStr does it.
std::string formatDouble(double v);  // up to 15 significant digits
std::string formatSingle(float v);   // up to 7 significant digits
std::string formatCurrency(int64_t scaled);
std::string formatDate(double serial);  // "1/2/2011 3:04:05 PM"

// Banker's rounding of a double to a whole number (halves to even).
double roundHalfEven(double v) noexcept;

}  // namespace tw
