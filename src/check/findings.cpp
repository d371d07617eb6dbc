#include "check/findings.hpp"

#include <algorithm>
#include <iterator>

#include "platform/shift_jis.hpp"

namespace check {
namespace {

constexpr std::string_view kEnterMark = " [Enter]";
constexpr std::size_t kQuotedBytes = 40;

}  // namespace

void Findings::add(Finding finding) {
  (finding.severity == Finding::Error ? errors_ : warnings_) += 1;
  list_.push_back(std::move(finding));
}

void Findings::append(Findings&& other) {
  list_.insert(list_.end(), std::make_move_iterator(other.list_.begin()),
               std::make_move_iterator(other.list_.end()));
  errors_ += other.errors_;
  warnings_ += other.warnings_;
  other = Findings();
}

void Findings::order_by_line_from(std::size_t first) {
  if (first >= list_.size()) return;
  std::stable_sort(list_.begin() + static_cast<std::ptrdiff_t>(first), list_.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
}

std::string format_finding(const Finding& finding) {
  std::string line = finding.file;
  if (finding.line > 0) {
    line += ':';
    line += std::to_string(finding.line);
  }
  line += finding.severity == Finding::Error ? ": error: " : ": warning: ";
  line += finding.text;
  line += "\r\n";
  return line;
}

std::string format_summary(const Findings& findings) {
  return std::to_string(findings.errors()) + " error(s), " + std::to_string(findings.warnings()) +
         " warning(s)\r\n";
}

std::string format_findings(const Findings& findings) {
  std::string text;
  for (const Finding& finding : findings.list()) text += format_finding(finding);
  text += format_summary(findings);
  return text;
}

std::string join_message(std::initializer_list<std::string_view> pieces) {
  std::string text;
  for (std::string_view piece : pieces) {
    if (piece.ends_with(kEnterMark)) piece.remove_suffix(kEnterMark.size());
    if (!text.empty() && text.back() != ' ' && !piece.empty() && piece.front() != ' ') text += ' ';
    text += piece;
  }
  return text;
}

std::string quoted(std::string_view value) {
  // Cut between characters: half a double-byte character would garble the console line.
  std::size_t n = 0;
  while (n < value.size() && n < kQuotedBytes) {
    const bool pair = platform::is_lead_byte(static_cast<unsigned char>(value[n])) && n + 1 < value.size();
    if (pair && n + 2 > kQuotedBytes) break;
    n += pair ? 2 : 1;
  }
  std::string text = "`";
  text.append(value.substr(0, n));
  if (n < value.size()) text += "...";
  text += '`';
  return text;
}

bool has_byte_order_mark(std::string_view first_bytes) noexcept {
  return first_bytes.starts_with("\xEF\xBB\xBF");
}

std::string_view trim_blanks(std::string_view field) noexcept {
  const std::size_t first = field.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return field.substr(first, field.find_last_not_of(' ') - first + 1);
}

bool has_blank_inside(std::string_view field) noexcept {
  return trim_blanks(field).find(' ') != std::string_view::npos;
}

}  // namespace check
