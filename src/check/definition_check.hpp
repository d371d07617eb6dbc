#pragma once
// The definition file as a check reads it: with the record layer's reads, as a run reads
// it, but on past a line in error, so that one check shows every line in error; and what
// the reads passed over that a run takes without a word.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "check/error_texts.hpp"
#include "check/findings.hpp"
#include "tables/run_tables.hpp"
#include "textio/read_observer.hpp"
#include "textio/record_reader.hpp"

namespace check {

// What the reader showed of the folder lines: the number field of each, in order.
class DefinitionWatch : public textio::ReadObserver {
 public:
  struct NumberField {
    int line = 0;
    std::string text;  // as cut, blanks and all
  };
  void began(std::string_view first_bytes) override { byte_order_mark_ = has_byte_order_mark(first_bytes); }
  void field(const textio::FieldCut& cut) override;
  const std::vector<NumberField>& number_fields() const noexcept { return fields_; }
  bool byte_order_mark() const noexcept { return byte_order_mark_; }

 private:
  std::vector<NumberField> fields_;
  bool byte_order_mark_ = false;
};

// Whether a folder name's bytes read as UTF-8 rather than Shift-JIS: they are well-formed
// UTF-8 throughout and hold at least one three-byte sequence of a Japanese character
// (U+3000-U+30FF kana and punctuation, U+4E00-U+9FFF kanji, U+FF00-U+FFEF full-width
// forms). Japanese Shift-JIS text almost never passes: its common lead bytes 0x81-0x9F are
// UTF-8 continuation bytes, which cannot stand first; only a rare second-level kanji (lead
// 0xE0-0xEF) followed by a byte 0x80-0xBF starts a UTF-8 sequence, and the bytes after it
// must then go on fitting UTF-8 to the end. Such a name may still be well-formed Shift-JIS
// (UTF-8 "断層" is Shift-JIS "譁ｭ螻､"), so well-formedness as Shift-JIS is no evidence either
// way, and is not asked.
bool reads_as_utf8(std::string_view name) noexcept;

struct DefinitionFacts {
  // The counts were read and are in range, so the sections were read (perhaps with lines
  // in error): the folders the definition gave are worth a check.
  bool counts_read = false;
  // The definition's line that gave the folder of fault k, of case k (0: no line did).
  std::array<int, gm::kMaxFaults + 1> fault_line{};
  std::array<int, gm::kMaxCases + 1> case_line{};
};

// Reads the definition file `name` on `reader` (attached at its first record) into the
// run tables as a run reads it, and adds to `out`, in the order of their lines, the
// errors a run would end with, in the run's own words (E2 to E6, or the record layer's
// report and where it failed), and the warnings. A line in error does not stop the
// reading: the next line is read as the run would have read it had the line been right.
// The end of the file, or counts a run cannot take, stop it.
//
// Warnings: a byte-order mark at the start (line 1, in the title the run skips); a number
// field with blanks inside ("1 2" reads as 12); a folder that two fault lines, or two case
// lines, name (on the later line); a folder name that reads as UTF-8 (reads_as_utf8).
DefinitionFacts check_definition(gm::RunTables& t, std::string_view name, textio::RecordReader& reader,
                                 const ErrorTexts& texts, Findings& out);

// The warnings above for a definition file that a run read through without an error,
// `watch` having watched it, in the order of their lines.
void definition_warnings(const gm::RunTables& t, std::string_view name, const DefinitionWatch& watch, Findings& out);

}  // namespace check
