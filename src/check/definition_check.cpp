#include "check/definition_check.hpp"

#include <array>
#include <string>

#include "inputs/file_layouts.hpp"
#include "platform/console.hpp"
#include "textio/number_parse.hpp"

namespace check {
namespace {

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

// The record layer's failure, where it failed.
void note_fault(const textio::RecordReader& reader, int status, std::string_view name, std::string where,
                Findings& out) {
  const textio::Fault fault = reader.fault(status);
  if (status == textio::kErrRead) where = "the file cannot be read beyond this line";
  out.error(name, fault.line, record_error_text(fault, fault.line == 0 ? "the file is empty" : where));
}

// A number field with blanks inside, which the reader ignores.
void note_blanks(std::string_view name, int line, std::string_view line_name, std::string_view text, int number,
                 Findings& out) {
  const std::string_view field = trim_blanks(text);
  if (!has_blank_inside(field)) return;
  out.warning(name, line,
              "the number field " + quoted(field) + " of " + std::string(line_name) + " has blanks inside: it reads as " +
                  std::to_string(number));
}

std::string line_name(std::string_view kind, int i) { return std::string(kind) + " line " + std::to_string(i); }

// Two numbers of a section that name one folder: on the later line.
void check_named_twice(const gm::RunTables& t, bool faults, std::string_view kind, int count, const int* lines,
                       std::string_view name, Findings& out) {
  const auto folder = [&](int k) {
    const textio::FixedText400& f = faults ? t.fault_folder(k) : t.case_folder(k);
    const int length = faults ? t.fault_folder_length(k) : t.case_folder_length(k);
    return std::string_view(f.bytes.data(), gm::checked_size(length, "LCHR400 gives 0 to 400"));
  };
  for (int b = 1; b <= count; ++b) {
    if (lines[b] == 0 || trim_blanks(folder(b)).empty()) continue;
    for (int a = 1; a <= count; ++a) {
      if (a == b || lines[a] == 0 || lines[a] > lines[b] || folder(a) != folder(b)) continue;
      out.warning(name, lines[b],
                  std::string(kind) + " " + std::to_string(b) + " names the same folder as " + std::string(kind) +
                      " " + std::to_string(a) + " (line " + std::to_string(lines[a]) + "): " + quoted(folder(b)));
      break;
    }
  }
}

// The folders a section names in UTF-8: the name as meant (in Shift-JIS) and what to do.
void check_utf8_names(const gm::RunTables& t, bool faults, std::string_view kind, int count, const int* lines,
                      std::string_view name, Findings& out) {
  for (int k = 1; k <= count; ++k) {
    const textio::FixedText400& f = faults ? t.fault_folder(k) : t.case_folder(k);
    const int length = faults ? t.fault_folder_length(k) : t.case_folder_length(k);
    const std::string_view folder(f.bytes.data(), gm::checked_size(length, "LCHR400 gives 0 to 400"));
    if (lines[k] == 0 || !reads_as_utf8(folder)) continue;
    out.warning(name, lines[k],
                "the folder of " + std::string(kind) + " " + std::to_string(k) + ", " + quoted(folder) +
                    ", reads as UTF-8 (" + quoted(platform::shift_jis_from_utf8(folder)) +
                    "): the definition file was saved as UTF-8; save it as Shift-JIS");
  }
}

// Both checks of a section's folders.
void check_folders(const gm::RunTables& t, bool faults, std::string_view kind, int count, const int* lines,
                   std::string_view name, Findings& out) {
  check_named_twice(t, faults, kind, count, lines, name, out);
  check_utf8_names(t, faults, kind, count, lines, name, out);
}

SectionEnd read_section(gm::RunTables& t, textio::RecordReader& reader, const DefinitionWatch& watch,
                        const Section& s, std::string_view name, const ErrorTexts& texts, Findings& out) {
  std::int32_t number = 0;
  const std::array<textio::Item, 2> items{textio::Item::integer(number), textio::Item::text(t.folder_line_text)};
  const std::string of = " of " + std::to_string(s.count);
  int last_line = 0;
  for (int i = 1; i <= s.count; ++i) {
    const int status = reader.read_fixed_width(inputs::layouts::kFolderLine, items);
    if (status != textio::kStatusOk) {
      const textio::Fault fault = reader.fault(status);
      note_fault(reader, status, name,
                 has_ended(status) ? "the file ends before " + line_name(s.kind, i) + of
                                   : "the number field of " + line_name(s.kind, i) + " reads " +
                                         quoted(trim_blanks(fault.text)),
                 out);
      if (has_ended(status)) return SectionEnd::FileEnded;
      last_line = fault.line;
      continue;
    }
    last_line = reader.stop_line();
    note_blanks(name, last_line, line_name(s.kind, i), watch.number_fields().back().text, number, out);
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
  check_folders(t, s.folders == t.fault_folders, s.kind, s.count, s.lines, name, out);
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

DefinitionFacts read_definition(gm::RunTables& t, std::string_view name, textio::RecordReader& reader,
                                const DefinitionWatch& watch, const ErrorTexts& texts, Findings& out) {
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
    if (read_section(t, reader, watch, *s, name, texts, out) == SectionEnd::FileEnded) return facts;
  }
  return facts;
}

}  // namespace

bool reads_as_utf8(std::string_view name) noexcept {
  bool japanese = false;
  for (std::size_t i = 0; i < name.size();) {
    const auto b = [&](std::size_t at) { return static_cast<unsigned char>(name[at]); };
    const auto continues = [&](std::size_t at) { return at < name.size() && (b(at) & 0xC0) == 0x80; };
    const unsigned lead = b(i);
    std::size_t length = 0;
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
    } else {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (!continues(i + k)) return false;
    }
    if (length == 3) {
      const unsigned code = ((lead & 0x0Fu) << 12) | ((b(i + 1) & 0x3Fu) << 6) | (b(i + 2) & 0x3Fu);
      if (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF)) return false;  // overlong, surrogate
      japanese = japanese || (code >= 0x3000 && code <= 0x30FF) || (code >= 0x4E00 && code <= 0x9FFF) ||
                 (code >= 0xFF00 && code <= 0xFFEF);
    }
    i += length;
  }
  return japanese;
}

void DefinitionWatch::field(const textio::FieldCut& cut) {
  if (cut.item == 1 && cut.numeric) fields_.push_back({cut.place.line, std::string(cut.text)});
}

DefinitionFacts check_definition(gm::RunTables& t, std::string_view name, textio::RecordReader& reader,
                                 const ErrorTexts& texts, Findings& out) {
  const std::size_t first = out.size();
  DefinitionWatch watch;
  reader.set_observer(&watch);
  const DefinitionFacts facts = read_definition(t, name, reader, watch, texts, out);
  reader.set_observer(nullptr);
  if (watch.byte_order_mark()) out.warning(name, 1, std::string(kByteOrderMarkText));
  out.order_by_line_from(first);
  return facts;
}

void definition_warnings(const gm::RunTables& t, std::string_view name, const DefinitionWatch& watch, Findings& out) {
  const std::size_t first = out.size();
  const std::vector<DefinitionWatch::NumberField>& fields = watch.number_fields();
  std::array<int, gm::kMaxFaults + 1> fault_lines{};
  std::array<int, gm::kMaxCases + 1> case_lines{};
  // The run read every line: the fault lines, then the case lines.
  for (std::size_t at = 0; at < fields.size(); ++at) {
    const bool fault = at < gm::checked_size(t.fault_count, "the fault count is checked when it is read");
    const int i = static_cast<int>(fault ? at : at - static_cast<std::size_t>(t.fault_count)) + 1;
    const textio::IntResult number = textio::parse_integer_field(fields[at].text);
    if (number.ec != textio::NumberError::None) continue;
    note_blanks(name, fields[at].line, line_name(fault ? "fault" : "case", i), fields[at].text, number.value, out);
    const int count = fault ? t.fault_count : t.case_count;
    if (number.value >= 1 && number.value <= count) {
      int* lines = fault ? fault_lines.data() : case_lines.data();
      lines[number.value] = fields[at].line;
    }
  }
  if (watch.byte_order_mark()) out.warning(name, 1, std::string(kByteOrderMarkText));
  check_folders(t, true, "fault", t.fault_count, fault_lines.data(), name, out);
  check_folders(t, false, "case", t.case_count, case_lines.data(), name, out);
  out.order_by_line_from(first);
}

}  // namespace check
