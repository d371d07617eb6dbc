#pragma once
// What a fuzz target does when a property fails: say what failed, with the texts that
// disagree, and abort, which libFuzzer records as a crash with the input that caused it.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzzing {

// Bytes shown escaped, so that a Shift-JIS name or a stray CR in a message stays readable.
inline std::string escaped(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7f && c != '\\') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", u);
      out += hex;
    }
  }
  return out;
}

[[noreturn]] inline void fail(std::string_view what, std::string_view got = {},
                              std::string_view want = {}) {
  std::fprintf(stderr, "\n*** fuzz check failed: %.*s\n", static_cast<int>(what.size()),
               what.data());
  if (!got.empty() || !want.empty()) {
    std::fprintf(stderr, "    got:  \"%s\"\n    want: \"%s\"\n", escaped(got).c_str(),
                 escaped(want).c_str());
  }
  std::abort();
}

inline void require(bool ok, std::string_view what, std::string_view got = {},
                    std::string_view want = {}) {
  if (!ok) fail(what, got, want);
}

}  // namespace fuzzing
