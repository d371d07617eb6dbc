#pragma once
// A source fault's spectrum table as a check sees it: what the run's own reading of it
// met, and the hazards in it that a run passes over in silence.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "check/error_texts.hpp"
#include "check/findings.hpp"
#include "inputs/input_outcome.hpp"
#include "tables/run_tables.hpp"
#include "textio/read_observer.hpp"
#include "textio/record_reader.hpp"

namespace check {

// The period column of a table as it was read: what a run takes from fault 1's table for
// every fault, and what the other tables are held to.
struct PeriodColumn {
  std::string file;
  int rows = 0;  // data rows read, 0 to 55
  std::array<double, gm::kPeriodCount> value{};
  std::array<std::string, gm::kPeriodCount> text{};  // as written, for the messages
};

// Watches the reading of one table, row by row, as the reader cuts its fields.
class SpectrumTableWatch : public textio::ReadObserver {
 public:
  void began(std::string_view first_bytes) override { byte_order_mark_ = has_byte_order_mark(first_bytes); }
  void field(const textio::FieldCut& cut) override;
  void dropped(const textio::PassedOver& rest) override;

  // Once the reading came to `outcome` (the file `outcome.path`, opened, still attached to
  // `reader`): adds to `out`, in the order of their lines, the error the reading met (the
  // record layer's report and where it failed) and the warnings. `periods` gets the
  // table's own period column. Fault k > 1 is held to `fault1` when its table was read.
  //
  // Warnings: a byte-order mark at the start (line 1, in a header line the run skips);
  // then on the first row of each kind with the count of the rows like it:
  // - no spectrum value: field 28 missing or empty (the row has fewer than 28 fields), read as 0;
  // - a spectrum value that is 0 or less, or not a finite number;
  // - a value longer than its 20-byte field without a comma, cut there and its rest read as
  //   the next field, or one of exactly 20 bytes whose comma makes the next field empty;
  // - fault 1: a period that is 0 or less, or not greater than the one above it;
  // - fault 2 and up: a period that differs from fault 1's in the same row (the run uses
  //   fault 1's);
  // - lines behind data row 55 that hold anything: never read.
  void finish(int k, textio::RecordReader& reader, const inputs::InputOutcome& outcome, const PeriodColumn* fault1,
              PeriodColumn& periods, Findings& out);

  // A row as the check keeps it: its period and the hazards found in it.
  struct Row {
    double period = 0.0;
    std::string period_text;
    std::string cut;          // the message of a value cut at its field's width, or ""
    std::string no_spectrum;  // the message of a missing spectrum value, or ""
    std::string bad_spectrum;  // the message of a spectrum value not above 0 or not finite, or ""
  };

 private:
  // The fields of the row being read, as cut.
  struct Field {
    std::string text;
    bool present = false;
    bool ended_by_comma = false;
    bool full = false;
    char next = 0;
    std::string rest;
  };
  void end_row(bool rest_used);

  std::vector<Field> fields_;
  std::vector<Row> rows_;
  bool byte_order_mark_ = false;
};

}  // namespace check
