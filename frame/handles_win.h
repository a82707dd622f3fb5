// Owners for kernel handles and COM interfaces: one move-only template with
// an alias per handle type, and a COM pointer whose out-parameter releases
// what it held. The GDI owners build on the same template
// (ui/gdi_handles_win.h). Windows only.
#pragma once

#include <windows.h>

#include <utility>

template <typename Handle, typename Traits>
class Owned {
 public:
  Owned() = default;
  explicit Owned(Handle h) : h_(h) {}
  ~Owned() { Reset(); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : h_(std::exchange(other.h_, Traits::Invalid())) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.h_, Traits::Invalid()));
    return *this;
  }

  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Invalid(); }
  // Gives up ownership without closing.
  Handle release() { return std::exchange(h_, Traits::Invalid()); }
  void Reset(Handle h = Traits::Invalid()) {
    if (h_ != Traits::Invalid()) Traits::Close(h_);
    h_ = h;
  }

 private:
  Handle h_ = Traits::Invalid();
};

struct KernelHandleTraits {
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};

// Process, thread, event and other handles whose failure value is null.
using OwnedKernelHandle = Owned<HANDLE, KernelHandleTraits>;
// File handles from CreateFile, whose failure value is INVALID_HANDLE_VALUE.
using OwnedFile = Owned<HANDLE, FileHandleTraits>;

// A COM interface pointer, released on destruction. Out() releases what it
// holds and hands the slot to a function that fills it.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { Reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};
