#pragma once
// A console in memory: typed input given up front (handed out one line per read, as an
// interactive console does), output and error collected.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/console.hpp"

namespace testing_support {

class FakeConsole : public platform::Console {
 public:
  explicit FakeConsole(std::string input = {}) : input_(std::move(input)) {}

  std::ptrdiff_t read_input(char* buffer, std::size_t n) override {
    std::size_t k = std::min(n, input_.size() - in_pos_);
    const std::size_t lf = input_.find('\n', in_pos_);
    if (lf != std::string::npos) k = std::min(k, lf + 1 - in_pos_);
    std::memcpy(buffer, input_.data() + in_pos_, k);
    in_pos_ += k;
    return static_cast<std::ptrdiff_t>(k);
  }
  bool write_output(std::string_view bytes) override {
    if (fail_output) return false;
    out.append(bytes);
    return true;
  }
  bool write_error(std::string_view bytes) override {
    err.append(bytes);
    return true;
  }

  // The typed input the program has not read.
  std::string unread_input() const { return input_.substr(in_pos_); }

  std::string out;
  std::string err;
  bool fail_output = false;

 private:
  std::string input_;
  std::size_t in_pos_ = 0;
};

}  // namespace testing_support
