#pragma once
// An in-memory byte source that hands out its bytes in chunks of a fixed size, so that
// tests can put buffer refills anywhere in a record.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "textio/record_reader.hpp"

namespace testing_support {

class MemorySource : public textio::ByteSource {
 public:
  explicit MemorySource(std::string_view bytes, std::size_t chunk = 1 << 20)
      : bytes_(bytes), chunk_(chunk) {}
  std::ptrdiff_t read(char* buffer, std::size_t n) override {
    const std::size_t k = std::min({n, chunk_, bytes_.size() - pos_});
    std::memcpy(buffer, bytes_.data() + pos_, k);
    pos_ += k;
    return static_cast<std::ptrdiff_t>(k);
  }

 private:
  std::string bytes_;
  std::size_t chunk_;
  std::size_t pos_ = 0;
};

}  // namespace testing_support
