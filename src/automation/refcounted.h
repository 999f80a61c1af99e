#pragma once
// Intrusive reference counting for every automation object. Counts are not
// atomic: engine objects live on the thread that created them.
#include <cstdint>
#include <utility>

namespace tw {

class RefCounted {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  void addRef() noexcept { ++refs_; }
  // Drops one reference; the last one runs finalRelease (deletes by default).
  void release() noexcept {
    if (--refs_ == 0) finalRelease();
  }
  int32_t refCount() const noexcept { return refs_; }

 protected:
  virtual ~RefCounted() = default;
  // Called when the last reference goes. Objects that must run code at that
  // point (script classes with Class_Terminate) override it; they must end by
  // deleting themselves unless they were resurrected.
  virtual void finalRelease() noexcept { delete this; }

 private:
  int32_t refs_ = 0;
};

// Owning smart pointer for RefCounted objects.
template <class T>
class Ref {
 public:
  Ref() noexcept = default;
  Ref(std::nullptr_t) noexcept {}
  Ref(T* p) noexcept : p_(p) {
    if (p_) p_->addRef();
  }
  Ref(const Ref& o) noexcept : Ref(o.p_) {}
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  Ref(const Ref<U>& o) noexcept : Ref(static_cast<T*>(o.get())) {}
  template <class U>
  Ref(Ref<U>&& o) noexcept : p_(static_cast<T*>(o.detach())) {}
  ~Ref() {
    if (p_) p_->release();
  }
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  T* detach() noexcept { return std::exchange(p_, nullptr); }
  void reset() noexcept { Ref().swap(*this); }
  void swap(Ref& o) noexcept { std::swap(p_, o.p_); }

  friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.p_ == b.p_; }
  friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
Ref<T> makeRef(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

}  // namespace tw
