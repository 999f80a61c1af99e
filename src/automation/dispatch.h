#pragma once
// Dispatch: the base of every object a script can reach. Members are found by
// case-insensitive name and resolved once to a DispId that callers may cache.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "automation/error.h"
#include "automation/refcounted.h"
#include "automation/variant.h"

namespace tw {

using DispId = int32_t;
inline constexpr DispId kDispIdValue = 0;     // the default member
inline constexpr DispId kDispIdUnknown = -1;  // no such member
inline constexpr DispId kDispIdNewEnum = -4;  // the enumerator (For Each)

// How a member is invoked; get and method are often combined, as a script
// cannot tell `x = o.Name(1)` of a property from a method call.
enum InvokeKind : uint16_t {
  kInvokeMethod = 1,
  kInvokeGet = 2,
  kInvokePut = 4,     // Let: the value is the last argument
  kInvokePutRef = 8,  // Set: the value is the last argument
};

// The value a caller passes for an optional argument it leaves out.
inline constexpr int32_t kParamNotFound = static_cast<int32_t>(0x80020004u);
inline bool isMissing(const Variant& v) noexcept {
  return v.type() == vtError && v.rawError() == kParamNotFound;
}
// True when argument `i` was given (present and not the missing marker).
inline bool hasArg(Args a, size_t i) noexcept { return i < a.size() && !isMissing(a[i]); }

// Enumerator behind For Each: yields items in order.
class Enumerator : public RefCounted {
 public:
  // Stores the next item in `out` and returns true, or returns false at the end.
  virtual bool next(Variant& out) = 0;
  virtual void reset() = 0;
  // Skips up to `count` items; false when the end came first.
  virtual bool skip(uint32_t count);
  virtual Ref<Enumerator> clone() = 0;
};

// Enumerates a snapshot of values.
class VectorEnumerator : public Enumerator {
 public:
  explicit VectorEnumerator(std::vector<Variant> items) : items_(std::move(items)) {}
  bool next(Variant& out) override;
  void reset() override { pos_ = 0; }
  Ref<Enumerator> clone() override;

 private:
  std::vector<Variant> items_;
  size_t pos_ = 0;
};

class Dispatch;

// A class's member table. Ids are positions + 1; 0 names the default member.
class ClassInfo {
 public:
  using Getter = std::function<Variant(Dispatch&, Args)>;
  using Putter = std::function<void(Dispatch&, Args, const Variant&)>;
  struct Member {
    std::string name;
    Getter get;     // property get
    Getter call;    // method; when absent a call goes to get
    Putter put;     // property let
    Putter putRef;  // property set; when absent Set goes to put with the object
  };

  explicit ClassInfo(std::string typeName) : typeName_(std::move(typeName)) {}

  const std::string& typeName() const noexcept { return typeName_; }
  DispId find(std::string_view name) const;
  const Member* member(DispId id) const;
  DispId defaultId() const noexcept { return defaultId_; }
  size_t size() const noexcept { return members_.size(); }
  const Member& at(size_t index) const { return members_[index]; }

  // Adds or extends a member; returns its id.
  DispId add(Member m);
  void setDefault(std::string_view name);

 private:
  std::string typeName_;
  std::vector<Member> members_;
  std::unordered_map<std::string, DispId> index_;  // lower-cased name -> id
  DispId defaultId_ = kDispIdUnknown;
};

// Builds a ClassInfo for class T with typed lambdas.
template <class T>
class ClassBuilder {
 public:
  explicit ClassBuilder(std::string typeName) : info_(std::move(typeName)) {}

  // Read-only property.
  template <class G>
  ClassBuilder& get(std::string name, G g) {
    info_.add({std::move(name), wrapGet(g), {}, {}, {}});
    return *this;
  }
  // Read/write property.
  template <class G, class P>
  ClassBuilder& prop(std::string name, G g, P p) {
    info_.add({std::move(name), wrapGet(g), {}, wrapPut(p), {}});
    return *this;
  }
  // Write-only property.
  template <class P>
  ClassBuilder& put(std::string name, P p) {
    info_.add({std::move(name), {}, {}, wrapPut(p), {}});
    return *this;
  }
  // Property set (Set o.Name = obj).
  template <class P>
  ClassBuilder& putRef(std::string name, P p) {
    info_.add({std::move(name), {}, {}, {}, wrapPut(p)});
    return *this;
  }
  // Method: f(T&, Args) returning a Variant (or void).
  template <class F>
  ClassBuilder& method(std::string name, F f) {
    info_.add({std::move(name), {}, wrapGet(f), {}, {}});
    return *this;
  }
  ClassBuilder& defaultMember(std::string_view name) {
    info_.setDefault(name);
    return *this;
  }
  ClassInfo build() { return std::move(info_); }

 private:
  // Number of Variant parameters a member function takes after T&: 0..6.
  template <class F, size_t N = 0>
  static constexpr size_t arity() {
    if constexpr (N > 6) {
      static_assert(N <= 6, "member lambdas take T& and up to six const Variant& arguments, or Args");
      return N;
    } else if constexpr (invocableWith<F>(std::make_index_sequence<N>{})) {
      return N;
    } else {
      return arity<F, N + 1>();
    }
  }
  template <class F, size_t... I>
  static constexpr bool invocableWith(std::index_sequence<I...>) {
    return std::is_invocable_v<F, T&, decltype((void)I, std::declval<const Variant&>())...>;
  }
  template <class F, size_t... I>
  static Variant callFixed(F& f, T& self, Args a, std::index_sequence<I...>) {
    if (a.size() != sizeof...(I)) raise(kErrWrongArgCount);
    if constexpr (std::is_void_v<
                      std::invoke_result_t<F, T&, decltype((void)I, std::declval<const Variant&>())...>>) {
      f(self, a[I]...);
      return Variant();
    } else {
      return makeVariant(f(self, a[I]...));
    }
  }

  // Members take (T&, Args) for any argument count, or (T&, const Variant&...)
  // for a fixed count that is checked (error 450).
  template <class G>
  static ClassInfo::Getter wrapGet(G g) {
    return [g](Dispatch& d, Args a) mutable -> Variant {
      T& self = static_cast<T&>(d);
      if constexpr (std::is_invocable_v<G, T&, Args>) {
        if constexpr (std::is_void_v<std::invoke_result_t<G, T&, Args>>) {
          g(self, a);
          return Variant();
        } else {
          return makeVariant(g(self, a));
        }
      } else {
        return callFixed(g, self, a, std::make_index_sequence<arity<G>()>{});
      }
    };
  }
  template <class P>
  static ClassInfo::Putter wrapPut(P p) {
    return [p](Dispatch& d, Args a, const Variant& v) {
      if constexpr (std::is_invocable_v<P, T&, Args, const Variant&>) {
        p(static_cast<T&>(d), a, v);
      } else {
        if (!a.empty()) raise(kErrWrongArgCount);
        p(static_cast<T&>(d), v);
      }
    };
  }

  ClassInfo info_;
};

class Dispatch : public RefCounted {
 public:
  // The name TypeName() reports.
  virtual std::string typeName() const;
  // Resolves a member name (any letter case); kDispIdUnknown when absent.
  virtual DispId memberId(std::string_view name);
  // Invokes a member. For puts the value is the last argument. Arguments are
  // in call order and may be written back (ByRef parameters of script code).
  // Raises 438 for an unknown member, 450 for a wrong argument count.
  virtual Variant invoke(DispId id, uint16_t kind, Args args);
  // The For Each enumerator; error 451 when the object is not a collection.
  virtual Ref<Enumerator> newEnum();
  // The member table of a class that declares its members; null for classes
  // that resolve names themselves.
  virtual const ClassInfo* classInfo() const { return nullptr; }

  // Convenience calls by name (C++ callers and tests).
  Variant get(std::string_view name, std::vector<Variant> args = {});
  void put(std::string_view name, const Variant& value, std::vector<Variant> args = {});
  void putRef(std::string_view name, const Variant& value, std::vector<Variant> args = {});
  Variant call(std::string_view name, std::vector<Variant> args = {});

 protected:
  // Runs a member of the class table; shared by invoke overrides.
  Variant invokeTable(const ClassInfo& info, DispId id, uint16_t kind, Args args);
};

// Resolves a name or raises 438 with the name.
DispId requireMemberId(Dispatch& obj, std::string_view name);

}  // namespace tw
