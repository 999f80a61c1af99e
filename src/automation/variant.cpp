#include "automation/variant.h"

#include <utility>

#include "automation/dispatch.h"
#include "automation/error.h"

namespace tw {

namespace {

StringRep* newString(std::string text) {
  auto* rep = new StringRep;
  rep->text = std::move(text);
  return rep;
}

void releaseString(StringRep* s) noexcept {
  if (--s->refs == 0) delete s;
}

void releaseArray(SafeArray* a) noexcept {
  if (--a->refs == 0) delete a;
}

}  // namespace

Variant::Variant(const char* s) : Variant(std::string_view(s ? s : "")) {}

Variant::Variant(std::string_view s) : type_(vtString) { str_ = newString(std::string(s)); }

Variant::Variant(std::string&& s) : type_(vtString) { str_ = newString(std::move(s)); }

Variant::Variant(Dispatch* obj) noexcept : type_(vtObject) {
  obj_ = obj;
  if (obj_) obj_->addRef();
}

Variant Variant::null() noexcept {
  Variant v;
  v.type_ = vtNull;
  return v;
}

Variant Variant::single(float x) noexcept {
  Variant v;
  v.type_ = vtSingle;
  v.r4_ = x;
  return v;
}

Variant Variant::double_(double x) noexcept { return Variant(x); }

Variant Variant::currency(int64_t scaled) noexcept {
  Variant v;
  v.type_ = vtCurrency;
  v.i64_ = scaled;
  return v;
}

Variant Variant::date(double serial) noexcept {
  Variant v;
  v.type_ = vtDate;
  v.r8_ = serial;
  return v;
}

Variant Variant::byte(uint8_t x) noexcept {
  Variant v;
  v.type_ = vtByte;
  v.u1_ = x;
  return v;
}

Variant Variant::error(int32_t code) noexcept {
  Variant v;
  v.type_ = vtError;
  v.i4_ = code;
  return v;
}

Variant Variant::nothing() noexcept { return Variant(static_cast<Dispatch*>(nullptr)); }

Variant Variant::array(std::span<const std::pair<int32_t, int32_t>> bounds, VarType elem) {
  auto* a = new SafeArray;
  a->elemType = elem;
  size_t total = 1;
  for (auto [lo, hi] : bounds) {
    int64_t count = static_cast<int64_t>(hi) - lo + 1;
    if (count < 0) {
      delete a;
      raise(kErrSubscript);
    }
    total *= static_cast<size_t>(count);
    if (total > (size_t{1} << 28)) {
      delete a;
      raise(kErrOutOfMemory);
    }
    a->bounds.push_back({lo, static_cast<int32_t>(count)});
  }
  if (bounds.empty()) total = 0;
  Variant init;
  if (elem == vtByte) init = Variant::byte(0);
  a->data.assign(total, init);
  Variant v;
  v.type_ = vtArray;
  v.arr_ = a;
  return v;
}

Variant Variant::array(std::vector<Variant> values, VarType elem) {
  auto* a = new SafeArray;
  a->elemType = elem;
  a->bounds.push_back({0, static_cast<int32_t>(values.size())});
  a->data = std::move(values);
  Variant v;
  v.type_ = vtArray;
  v.arr_ = a;
  return v;
}

void Variant::addReference() const noexcept {
  switch (type_) {
    case vtString:
      ++str_->refs;
      break;
    case vtArray:
      ++arr_->refs;
      break;
    case vtObject:
      if (obj_) obj_->addRef();
      break;
    default:
      break;
  }
}

void Variant::releaseReference() noexcept {
  VarType t = type_;
  type_ = vtEmpty;
  switch (t) {
    case vtString:
      releaseString(str_);
      break;
    case vtArray:
      releaseArray(arr_);
      break;
    case vtObject:
      // Releasing may run script code (Class_Terminate) that reads this
      // variant, which is already Empty by then.
      if (obj_) std::exchange(obj_, nullptr)->release();
      break;
    default:
      break;
  }
  i64_ = 0;
}

Variant& Variant::assignSlow(const Variant& o) noexcept {
  if (this != &o) {
    // Keep the old value alive until the new one is in place: releasing it
    // may run code that looks at this variant.
    Variant old(std::move(*this));
    type_ = o.type_;
    i64_ = o.i64_;
    addReference();
  }
  return *this;
}

Variant& Variant::moveSlow(Variant&& o) noexcept {
  if (this != &o) {
    Variant old(std::move(*this));
    type_ = o.type_;
    i64_ = o.i64_;
    o.type_ = vtEmpty;
  }
  return *this;
}

uint16_t Variant::varType() const noexcept {
  if (type_ == vtArray) return static_cast<uint16_t>(vtArray + arr_->elemType);
  return type_;
}

bool Variant::isNumeric() const noexcept {
  switch (type_) {
    case vtInteger:
    case vtLong:
    case vtSingle:
    case vtDouble:
    case vtCurrency:
    case vtByte:
    case vtDecimal:
      return true;
    default:
      return false;
  }
}

std::string_view Variant::rawString() const noexcept {
  return type_ == vtString ? std::string_view(str_->text) : std::string_view();
}

std::string& Variant::mutableString() {
  if (type_ != vtString) raise(kErrTypeMismatch);
  if (str_->refs > 1) {
    StringRep* copy = newString(str_->text);
    releaseString(str_);
    str_ = copy;
  }
  return str_->text;
}

SafeArray& Variant::mutableArray() {
  if (type_ != vtArray) raise(kErrTypeMismatch);
  if (arr_->refs > 1) {
    auto* copy = new SafeArray;
    copy->elemType = arr_->elemType;
    copy->bounds = arr_->bounds;
    copy->data = arr_->data;
    releaseArray(arr_);
    arr_ = copy;
  }
  return *arr_;
}

Dispatch* Variant::toObject() const {
  if (type_ != vtObject) raise(kErrObjectRequired);
  return obj_;
}

Variant Variant::valueOf() const {
  if (type_ != vtObject) return *this;
  if (!obj_) raise(kErrObjectNotSet);
  Ref<Dispatch> keep(obj_);
  Variant v = keep->invoke(kDispIdValue, kInvokeGet | kInvokeMethod, {});
  // A default member may itself return an object with a default member.
  for (int depth = 0; v.type_ == vtObject; ++depth) {
    if (!v.obj_ || depth > 16) raise(kErrNoSuchMember);
    Ref<Dispatch> inner(v.obj_);
    v = inner->invoke(kDispIdValue, kInvokeGet | kInvokeMethod, {});
  }
  return v;
}

bool Variant::identical(const Variant& o) const noexcept {
  if (type_ != o.type_) return false;
  switch (type_) {
    case vtEmpty:
    case vtNull:
      return true;
    case vtString:
      return str_ == o.str_ || str_->text == o.str_->text;
    case vtObject:
      return obj_ == o.obj_;
    case vtArray:
      return arr_ == o.arr_;
    case vtBoolean:
      return b_ == o.b_;
    case vtInteger:
      return i2_ == o.i2_;
    case vtByte:
      return u1_ == o.u1_;
    case vtLong:
    case vtError:
      return i4_ == o.i4_;
    case vtSingle:
      return r4_ == o.r4_;
    case vtCurrency:
      return i64_ == o.i64_;
    default:
      return r8_ == o.r8_;
  }
}

// ---- SafeArray

int32_t SafeArray::lbound(int32_t dim) const {
  if (dim < 1 || dim > dims()) raise(kErrSubscript);
  return bounds[dim - 1].lower;
}

int32_t SafeArray::ubound(int32_t dim) const {
  if (dim < 1 || dim > dims()) raise(kErrSubscript);
  return bounds[dim - 1].lower + bounds[dim - 1].count - 1;
}

size_t SafeArray::offset(std::span<const int32_t> indexes) const {
  if (indexes.size() != bounds.size()) raise(kErrSubscript);
  size_t off = 0, stride = 1;
  for (size_t d = 0; d < bounds.size(); ++d) {
    int64_t rel = static_cast<int64_t>(indexes[d]) - bounds[d].lower;
    if (rel < 0 || rel >= bounds[d].count) raise(kErrSubscript);
    off += static_cast<size_t>(rel) * stride;
    stride *= static_cast<size_t>(bounds[d].count);
  }
  return off;
}

void SafeArray::redimPreserve(std::span<const std::pair<int32_t, int32_t>> nb) {
  if (locks > 0) raise(kErrArrayLocked);
  if (nb.size() != bounds.size()) raise(kErrSubscript);
  for (size_t d = 0; d + 1 < nb.size(); ++d) {
    if (nb[d].first != bounds[d].lower || nb[d].second - nb[d].first + 1 != bounds[d].count)
      raise(kErrSubscript);
  }
  if (nb.empty()) return;
  int64_t count = static_cast<int64_t>(nb.back().second) - nb.back().first + 1;
  if (count < 0) raise(kErrSubscript);
  size_t inner = 1;
  for (size_t d = 0; d + 1 < bounds.size(); ++d) inner *= static_cast<size_t>(bounds[d].count);
  size_t total = inner * static_cast<size_t>(count);
  if (total > (size_t{1} << 28)) raise(kErrOutOfMemory);
  Variant init;
  if (elemType == vtByte) init = Variant::byte(0);
  data.resize(total, init);
  bounds.back() = {nb.back().first, static_cast<int32_t>(count)};
}

}  // namespace tw
