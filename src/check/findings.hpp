#pragma once
// What a check of an input set finds: errors (what would end a run) and warnings (what a
// run passes over in silence and that changes its results), each tied to a file and a
// line, and the lines that show them.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace check {

struct Finding {
  enum Severity { Error, Warning };
  std::string file;  // as the program built the name: Shift-JIS, backslashes as written
  int line = 0;      // 1-based; 0 when the finding has no line (a file that cannot be opened)
  Severity severity = Warning;
  std::string text;
};

// The findings in the order they are listed: file after file, in the order a run reads
// them, and within a file by line. So the first error listed is the one a run ends with.
class Findings {
 public:
  void error(std::string_view file, int line, std::string text) {
    add({std::string(file), line, Finding::Error, std::move(text)});
  }
  void warning(std::string_view file, int line, std::string text) {
    add({std::string(file), line, Finding::Warning, std::move(text)});
  }
  void add(Finding finding);
  // Moves the findings of `other` behind these (a file checked on another thread).
  void append(Findings&& other);
  // Puts the findings from `first` on in the order of their lines, keeping the order of
  // those on the same line: a file's scan adds them as it meets them, not by line.
  void order_by_line_from(std::size_t first);
  // Renames every finding's file through `rename` (a listing's spelling of a path).
  template <class Rename>
  void rename_files(Rename rename) {
    for (Finding& f : list_) f.file = rename(f.file);
  }

  const std::vector<Finding>& list() const noexcept { return list_; }
  std::size_t size() const noexcept { return list_.size(); }
  int errors() const noexcept { return errors_; }
  int warnings() const noexcept { return warnings_; }

 private:
  std::vector<Finding> list_;
  int errors_ = 0;
  int warnings_ = 0;
};

// One listed line, ended by CR LF like every line the program writes:
//   "a\b.acc:801: warning: TEXT"; without a line, "def.csv: error: TEXT".
std::string format_finding(const Finding& finding);
// The closing line: "2 error(s), 1 warning(s)".
std::string format_summary(const Findings& findings);
// Every finding, then the closing line.
std::string format_findings(const Findings& findings);

// The pieces of a console message on one line, as a finding states it: joined by one
// blank (none beside a blank a piece starts or ends with), the closing " [Enter]" left out.
//   {"Fault data line no.", "2", "Error ! [Enter]"} -> "Fault data line no. 2 Error !"
//   {"Case data no.", "3", " not exist ! [Enter]"} -> "Case data no. 3 not exist !"
//   {"Target spectrum at period ", "2.0000", " s is ..."} -> "Target spectrum at period 2.0000 s is ..."
std::string join_message(std::initializer_list<std::string_view> pieces);

// A value as a message quotes it: between backquotes, cut to its first 40 bytes ("...").
std::string quoted(std::string_view value);

// Whether a source begins with the UTF-8 byte-order mark EF BB BF, which an editor puts
// at the start of a file saved as UTF-8; and the warning that says so (line 1).
bool has_byte_order_mark(std::string_view first_bytes) noexcept;
inline constexpr std::string_view kByteOrderMarkText =
    "the file begins with a UTF-8 byte-order mark (bytes EF BB BF): it was saved as UTF-8; save it as Shift-JIS";

// A field's text without the blanks around it.
std::string_view trim_blanks(std::string_view field) noexcept;
// Blanks between the field's other bytes, which a numeric field ignores: "40   2" -> 402.
bool has_blank_inside(std::string_view field) noexcept;

}  // namespace check
