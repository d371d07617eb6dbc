#include "check/error_texts.hpp"

namespace check {

std::string record_error_text(const textio::Fault& fault, std::string_view where) {
  std::string text = textio::report_line(textio::Severity::Severe, fault);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!where.empty()) {
    text += "; ";
    text += where;
  }
  return text;
}

}  // namespace check
