// A ribbon host for the robustness tests: canvas, allocator and progress in one object. It logs
// every call (kind, layer, rectangle, a copy of each mask, texts and positions), hands out a
// buffer of exactly the requested size, counts the Free calls and whether they returned that
// buffer, and can make its n-th call throw. Its own bookkeeping runs in a HostScope, so the
// failing allocator neither counts nor fails the host's allocations.
#ifndef PINTOVEL_TESTS_ROBUSTNESS_RIBBON_TEST_HOST_H
#define PINTOVEL_TESTS_ROBUSTNESS_RIBBON_TEST_HOST_H

#include <pintovel/pintovel.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "robustness/failing_allocator.h"

namespace pintovel::testing {

struct HostError : std::runtime_error {
  HostError() : std::runtime_error("host callback failed") {}
};

struct RibbonEvent {
  explicit RibbonEvent(std::string name) : call(std::move(name)) {}

  std::string call;
  int32_t layer = 0;
  RibbonRect rect{0, 0, 0, 0};
  std::vector<uint8_t> mask;
  std::u16string text;
  int32_t position = 0;
  int32_t range = 0;
  int32_t size = 0;

  bool operator==(const RibbonEvent& o) const {
    return call == o.call && layer == o.layer && rect.left == o.rect.left &&
           rect.top == o.rect.top && rect.right == o.rect.right && rect.bottom == o.rect.bottom &&
           mask == o.mask && text == o.text && position == o.position && range == o.range &&
           size == o.size;
  }
};

class TestRibbonHost final : public RibbonCanvas, public RibbonAllocator, public RibbonProgress {
 public:
  TestRibbonHost(int32_t width, int32_t height) : width_(width), height_(height) {}
  TestRibbonHost(const TestRibbonHost&) = delete;
  TestRibbonHost& operator=(const TestRibbonHost&) = delete;

  RibbonHost Host() {
    return RibbonHost{static_cast<RibbonCanvas*>(this), static_cast<RibbonAllocator*>(this),
                      static_cast<RibbonProgress*>(this)};
  }
  // Call number n (from 1) throws HostError once it has been logged; 0 means never.
  void ThrowAtCall(int n) {
    throwAt_ = n;
  }

  const std::vector<RibbonEvent>& events() const {
    return events_;
  }
  bool allocated() const {
    return buffer_ != nullptr;
  }
  int frees() const {
    return frees_;
  }
  bool freedTheBuffer() const {
    return freedTheBuffer_;
  }
  bool callAfterFree() const {
    return callAfterFree_;
  }
  bool maskOutsideBuffer() const {
    return maskOutsideBuffer_;
  }

  int32_t GetWidth() override {
    HostScope host;
    Log(RibbonEvent{"GetWidth"});
    return width_;
  }
  int32_t GetHeight() override {
    HostScope host;
    Log(RibbonEvent{"GetHeight"});
    return height_;
  }
  uint8_t* Allocate(int32_t size) override {
    HostScope host;
    RibbonEvent e{"Allocate"};
    e.size = size;
    Log(std::move(e));
    storage_.reset(new uint8_t[static_cast<size_t>(size)]);
    buffer_ = storage_.get();
    size_ = size;
    return buffer_;
  }
  void Free(uint8_t* buffer) override {
    HostScope host;
    ++frees_;
    freedTheBuffer_ = buffer != nullptr && buffer == buffer_;
    Log(RibbonEvent{"Free"});
  }
  void PutMask(const uint8_t* mask, int32_t layer, const RibbonRect* rect) override {
    HostScope host;
    RibbonEvent e{"PutMask"};
    e.layer = layer;
    e.rect = *rect;
    const size_t bytes =
        static_cast<size_t>(rect->bottom - rect->top) * static_cast<size_t>(rect->right);
    if (mask != buffer_ || bytes > static_cast<size_t>(size_)) {
      maskOutsideBuffer_ = true;
    } else {
      e.mask.assign(mask, mask + bytes);
    }
    Log(std::move(e));
  }
  void SetPosition(int32_t position, int32_t range) override {
    HostScope host;
    RibbonEvent e{"SetPosition"};
    e.position = position;
    e.range = range;
    Log(std::move(e));
  }
  void SetText(const char16_t* text) override {
    HostScope host;
    RibbonEvent e{"SetText"};
    e.text = text;
    Log(std::move(e));
  }

 private:
  void Log(RibbonEvent event) {
    HostScope host;
    if (frees_ > 0 && event.call != "Free") callAfterFree_ = true;
    events_.push_back(std::move(event));
    if (static_cast<int>(events_.size()) == throwAt_) throw HostError();
  }

  int32_t width_;
  int32_t height_;
  std::vector<RibbonEvent> events_;
  std::unique_ptr<uint8_t[]> storage_;
  uint8_t* buffer_ = nullptr;
  int32_t size_ = 0;
  int throwAt_ = 0;
  int frees_ = 0;
  bool freedTheBuffer_ = false;
  bool callAfterFree_ = false;
  bool maskOutsideBuffer_ = false;
};

}  // namespace pintovel::testing

#endif  // PINTOVEL_TESTS_ROBUSTNESS_RIBBON_TEST_HOST_H
