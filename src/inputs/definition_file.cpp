#include "inputs/definition_file.hpp"

#include <array>

#include "inputs/file_layouts.hpp"
#include "inputs/input_watch.hpp"

namespace inputs {
namespace {

DefinitionOutcome fault_of(const textio::RecordReader& reader, int status) {
  return {DefinitionOutcome::Kind::Fault, 0, reader.fault(status)};
}

// Reads `count` number-and-path lines, filing each path under the number the line gives;
// a number outside 1..count is a bad line, a number no line gave is missing.
DefinitionOutcome read_section(gm::RunTables& t, textio::RecordReader& reader, int count,
                               textio::FixedText400* folders, std::int32_t* lengths,
                               DefinitionOutcome::Kind bad_line,
                               DefinitionOutcome::Kind missing) {
  std::int32_t number = 0;
  const std::array<textio::Item, 2> items{textio::Item::integer(number),
                                          textio::Item::text(t.folder_line_text)};
  for (int i = 1; i <= count; ++i) {
    const int status = reader.read_fixed_width(layouts::kFolderLine, items);
    if (status != textio::kStatusOk) return fault_of(reader, status);
    if (number <= 0 || number > count) return {bad_line, i, {}};
    folders[number - 1] = t.folder_line_text;
    lengths[number - 1] = textio::LCHR400(folders[number - 1]);
  }
  for (int k = 1; k <= count; ++k) {
    if (lengths[k - 1] == 0) return {missing, k, {}};
  }
  return {};
}

DefinitionOutcome read_records(gm::RunTables& t, textio::RecordReader& reader) {
  int status = reader.skip_record();  // the title
  if (status != textio::kStatusOk) return fault_of(reader, status);

  // The counts are read with a status: an unreadable value and the end of the file both
  // leave a count out of range (counts not reached keep their 0).
  const std::array<textio::Item, 2> counts{textio::Item::integer(t.fault_count),
                                           textio::Item::integer(t.case_count)};
  status = reader.read_free_form(counts);
  if (status != textio::kStatusOk && status != textio::kErrEndOfFile) {
    return {DefinitionOutcome::Kind::BadCounts, 0, {}};
  }
  if (t.case_count > gm::kRunMaxCases || t.case_count <= 0 || t.fault_count <= 0 ||
      t.fault_count > gm::kRunMaxFaults) {
    return {DefinitionOutcome::Kind::BadCounts, 0, {}};
  }

  status = reader.skip_record();  // the fault section's heading
  if (status != textio::kStatusOk) return fault_of(reader, status);
  DefinitionOutcome outcome =
      read_section(t, reader, t.fault_count, t.fault_folders, t.fault_folder_lengths,
                   DefinitionOutcome::Kind::BadFaultLine, DefinitionOutcome::Kind::MissingFault);
  if (outcome.kind != DefinitionOutcome::Kind::Ok) return outcome;

  status = reader.skip_record();  // the case section's heading
  if (status != textio::kStatusOk) return fault_of(reader, status);
  return read_section(t, reader, t.case_count, t.case_folders, t.case_folder_lengths,
                      DefinitionOutcome::Kind::BadCaseLine, DefinitionOutcome::Kind::MissingCase);
}

}  // namespace

DefinitionOutcome read_definition_file(gm::RunTables& t, textio::RecordReader& reader, InputWatch* watch) {
  if (watch != nullptr) reader.set_observer(watch->opened(InputFile::Definition, 0));
  const DefinitionOutcome outcome = read_records(t, reader);
  if (watch != nullptr) watch->definition_read(t, outcome);
  return outcome;
}

}  // namespace inputs
