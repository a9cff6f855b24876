// A ribbon host for tests: one object implements the canvas, the allocator and the progress
// display, answers GetWidth/GetHeight with a fixed size, and logs every call with its
// arguments in order. Masks are copied as they arrive (the library rewrites its buffer for the
// next id), texts are kept as UTF-16 strings.
//
// After each PutMask has been copied, the buffer is refilled with a sentinel byte, so a later
// mask shows exactly which bytes the library wrote for it. A call of a chosen kind can be made
// to throw, and Allocate can be made to return no buffer.
#ifndef PINTOVEL_TESTS_SUPPORT_RECORDING_HOST_H
#define PINTOVEL_TESTS_SUPPORT_RECORDING_HOST_H

#include <pintovel/pintovel.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace pintovel {
namespace testing {

enum class HostCallKind {
  kGetWidth,
  kGetHeight,
  kPutMask,
  kAllocate,
  kFree,
  kSetPosition,
  kSetText
};

struct HostCall {
  explicit HostCall(HostCallKind k) : kind(k) {}

  HostCallKind kind;
  // PutMask: the layer value and the band rectangle; mask is the whole buffer as it was during
  // the call (its allocated size), masked bytes beyond the band stay the sentinel.
  int32_t layer = 0;
  RibbonRect rect{0, 0, 0, 0};
  std::vector<uint8_t> mask;
  bool maskIsBuffer = false;  // PutMask received the buffer that Allocate returned
  // Allocate: the requested size. SetPosition: position and range.
  int32_t size = 0;
  int32_t position = 0;
  int32_t range = 0;
  // Free: whether the pointer was the one Allocate returned.
  bool freedBuffer = false;
  // SetText.
  std::u16string text;
};

// Thrown by a host call chosen with ThrowAt.
struct HostFailure : std::runtime_error {
  HostFailure() : std::runtime_error("host callback failed") {}
};

class RecordingHost final : public RibbonCanvas, public RibbonAllocator, public RibbonProgress {
 public:
  static constexpr uint8_t kSentinel = 0xA5;

  RecordingHost(int32_t width, int32_t height) : width_(width), height_(height) {}
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  RibbonHost Host() {
    return RibbonHost{static_cast<RibbonCanvas*>(this), static_cast<RibbonAllocator*>(this),
                      static_cast<RibbonProgress*>(this)};
  }

  // The `occurrence`-th call (counting from 1) of `kind` throws HostFailure after being logged.
  void ThrowAt(HostCallKind kind, int occurrence) {
    throwKind_ = kind;
    throwOccurrence_ = occurrence;
    armed_ = true;
  }
  void ReturnNoBuffer() {
    returnNull_ = true;
  }

  const std::vector<HostCall>& calls() const {
    return calls_;
  }
  std::vector<HostCallKind> Kinds() const {
    std::vector<HostCallKind> kinds;
    for (const HostCall& call : calls_) kinds.push_back(call.kind);
    return kinds;
  }
  std::vector<const HostCall*> Of(HostCallKind kind) const {
    std::vector<const HostCall*> found;
    for (const HostCall& call : calls_) {
      if (call.kind == kind) found.push_back(&call);
    }
    return found;
  }
  // The buffer handed out, null before Allocate (or when it returned none).
  const uint8_t* buffer() const {
    return buffer_;
  }

  int32_t GetWidth() override {
    Log(HostCall(HostCallKind::kGetWidth));
    return width_;
  }
  int32_t GetHeight() override {
    Log(HostCall(HostCallKind::kGetHeight));
    return height_;
  }
  void PutMask(const uint8_t* mask, int32_t layer, const RibbonRect* rect) override {
    HostCall call(HostCallKind::kPutMask);
    call.layer = layer;
    call.rect = *rect;
    call.maskIsBuffer = mask == buffer_ && buffer_ != nullptr;
    call.mask.assign(mask, mask + storage_.size());
    std::memset(storage_.data(), kSentinel, storage_.size());
    Log(std::move(call));
  }
  uint8_t* Allocate(int32_t size) override {
    HostCall call(HostCallKind::kAllocate);
    call.size = size;
    Log(std::move(call));
    if (returnNull_) return nullptr;
    storage_.assign(static_cast<size_t>(size), kSentinel);
    // A zero-byte request still gets a distinct, non-null address.
    buffer_ = storage_.empty() ? &emptyBuffer_ : storage_.data();
    return buffer_;
  }
  void Free(uint8_t* buffer) override {
    HostCall call(HostCallKind::kFree);
    call.freedBuffer = buffer == buffer_ && buffer_ != nullptr;
    Log(std::move(call));
  }
  void SetPosition(int32_t position, int32_t range) override {
    HostCall call(HostCallKind::kSetPosition);
    call.position = position;
    call.range = range;
    Log(std::move(call));
  }
  void SetText(const char16_t* text) override {
    HostCall call(HostCallKind::kSetText);
    call.text = text;
    Log(std::move(call));
  }

 private:
  void Log(HostCall call) {
    const HostCallKind kind = call.kind;
    calls_.push_back(std::move(call));
    if (armed_ && kind == throwKind_ && --throwOccurrence_ == 0) {
      armed_ = false;
      throw HostFailure();
    }
  }

  int32_t width_;
  int32_t height_;
  std::vector<HostCall> calls_;
  std::vector<uint8_t> storage_;
  uint8_t emptyBuffer_ = 0;
  uint8_t* buffer_ = nullptr;
  bool returnNull_ = false;
  bool armed_ = false;
  HostCallKind throwKind_ = HostCallKind::kGetWidth;
  int throwOccurrence_ = 0;
};

}  // namespace testing
}  // namespace pintovel

#endif  // PINTOVEL_TESTS_SUPPORT_RECORDING_HOST_H
