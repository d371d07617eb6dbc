#include "check/definition_check.hpp"

#include <array>
#include <string>

#include "inputs/file_layouts.hpp"
#include "check/lines.hpp"

namespace check {
namespace {

constexpr std::size_t kNumberWidth = 20;  // I20

struct Section {
  std::string_view kind;  // "fault", "case"
  int count;
  textio::FixedText400* folders;
  std::int32_t* lengths;
  int* lines;  // lines[k]: the line that gave number k
  std::string_view bad_line_label;
  std::string_view missing_label;
};

enum class SectionEnd { Read, FileEnded };

bool has_ended(int status) noexcept { return status == textio::kErrEndOfFile || status == textio::kErrRead; }

std::string_view number_field(std::string_view bytes, int line) noexcept {
  std::array<NumericField, 1> field;
  cut_numeric_fields(line_at(bytes, line).text, kNumberWidth, field);
  return trim_blanks(field[0].text);
}

// The record layer's failure, where it failed.
void note_fault(const textio::RecordReader& reader, int status, std::string_view name, std::string where,
                Findings& out) {
  const textio::Fault fault = reader.fault(status);
  if (status == textio::kErrRead) where = "the file cannot be read beyond this line";
  out.error(name, fault.line, record_error_text(fault, fault.line == 0 ? "the file is empty" : where));
}

// Two numbers of a section that name one folder: on the later line.
void check_named_twice(const Section& s, std::string_view name, Findings& out) {
  for (int b = 1; b <= s.count; ++b) {
    if (s.lines[b] == 0) continue;
    const std::string_view folder_b(s.folders[b - 1].bytes.data(), static_cast<std::size_t>(s.lengths[b - 1]));
    if (trim_blanks(folder_b).empty()) continue;
    for (int a = 1; a <= s.count; ++a) {
      if (a == b || s.lines[a] == 0 || s.lines[a] > s.lines[b]) continue;
      const std::string_view folder_a(s.folders[a - 1].bytes.data(), static_cast<std::size_t>(s.lengths[a - 1]));
      if (folder_a != folder_b) continue;
      out.warning(name, s.lines[b],
                  std::string(s.kind) + " " + std::to_string(b) + " names the same folder as " + std::string(s.kind) +
                      " " + std::to_string(a) + " (line " + std::to_string(s.lines[a]) + "): " + quoted(folder_b));
      break;
    }
  }
}

SectionEnd read_section(gm::RunTables& t, textio::RecordReader& reader, const Section& s, std::string_view name,
                        const FileBytes& file, const ErrorTexts& texts, Findings& out) {
  std::int32_t number = 0;
  const std::array<textio::Item, 2> items{textio::Item::integer(number), textio::Item::text(t.folder_line_text)};
  const std::string of = " of " + std::to_string(s.count);
  int last_line = 0;
  for (int i = 1; i <= s.count; ++i) {
    const std::string line_name = std::string(s.kind) + " line " + std::to_string(i);
    const int status = reader.read_fixed_width(inputs::layouts::kFolderLine, items);
    if (status != textio::kStatusOk) {
      const int line = reader.fault(status).line;
      note_fault(reader, status, name,
                 has_ended(status) ? "the file ends before " + line_name + of
                                   : "the number field of " + line_name + " reads " + quoted(number_field(file.bytes, line)),
                 out);
      if (has_ended(status)) return SectionEnd::FileEnded;
      last_line = line;
      continue;
    }
    last_line = reader.stop_line();
    const std::string_view field = number_field(file.bytes, last_line);
    if (has_blank_inside(field)) {
      out.warning(name, last_line,
                  "the number field " + quoted(field) + " of " + line_name + " has blanks inside: it reads as " +
                      std::to_string(number));
    }
    if (number <= 0 || number > s.count) {
      out.error(name, last_line, join_message({s.bad_line_label, std::to_string(i), texts.line_error}));
      continue;
    }
    s.folders[number - 1] = t.folder_line_text;
    s.lengths[number - 1] = textio::LCHR400(s.folders[number - 1]);
    s.lines[number] = last_line;
  }
  for (int k = 1; k <= s.count; ++k) {
    if (s.lengths[k - 1] == 0) {
      out.error(name, last_line, join_message({s.missing_label, std::to_string(k), texts.not_exist}));
    }
  }
  check_named_twice(s, name, out);
  return SectionEnd::Read;
}

// Counts a run can take; false after E2.
bool read_counts(gm::RunTables& t, textio::RecordReader& reader, std::string_view name, const ErrorTexts& texts,
                 Findings& out) {
  const std::array<textio::Item, 2> counts{textio::Item::integer(t.fault_count), textio::Item::integer(t.case_count)};
  const int status = reader.read_free_form(counts);
  const int line = status == textio::kStatusOk ? reader.stop_line() : reader.fault(status).line;
  if ((status != textio::kStatusOk && status != textio::kErrEndOfFile) || t.case_count > gm::kRunMaxCases ||
      t.case_count <= 0 || t.fault_count <= 0 || t.fault_count > gm::kRunMaxFaults) {
    out.error(name, line, join_message({texts.bad_counts}));
    return false;
  }
  return true;
}

DefinitionFacts read_definition(gm::RunTables& t, std::string_view name, const FileBytes& file,
                                textio::RecordReader& reader, const ErrorTexts& texts, Findings& out) {
  DefinitionFacts facts;
  if (const int status = reader.skip_record(); status != textio::kStatusOk) {
    note_fault(reader, status, name, "the file ends before its counts line", out);
    return facts;
  }
  if (!read_counts(t, reader, name, texts, out)) return facts;
  facts.counts_read = true;
  const Section faults{"fault", t.fault_count, t.fault_folders, t.fault_folder_lengths, facts.fault_line.data(),
                       texts.bad_fault_line, texts.missing_fault};
  const Section cases{"case", t.case_count, t.case_folders, t.case_folder_lengths, facts.case_line.data(),
                      texts.bad_case_line, texts.missing_case};
  for (const Section* s : {&faults, &cases}) {
    if (const int status = reader.skip_record(); status != textio::kStatusOk) {
      note_fault(reader, status, name, "the file ends before the heading of the " + std::string(s->kind) + " section",
                 out);
      return facts;
    }
    if (read_section(t, reader, *s, name, file, texts, out) == SectionEnd::FileEnded) return facts;
  }
  return facts;
}

}  // namespace

DefinitionFacts check_definition(gm::RunTables& t, std::string_view name, const FileBytes& file,
                                 textio::RecordReader& reader, const ErrorTexts& texts, Findings& out) {
  const std::size_t first = out.size();
  BytesSource source(file);
  reader.attach(source, name);
  const DefinitionFacts facts = read_definition(t, name, file, reader, texts, out);
  reader.detach();
  out.order_by_line_from(first);
  return facts;
}

}  // namespace check
