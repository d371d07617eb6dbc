#pragma once
// A case's acceleration waveform as a check sees it: what the run's own reading of it
// met, and the hazards in it that a run passes over in silence.
#include <cstdint>
#include <string>

#include "check/error_texts.hpp"
#include "check/findings.hpp"
#include "inputs/input_outcome.hpp"
#include "tables/run_tables.hpp"
#include "textio/read_observer.hpp"
#include "textio/record_reader.hpp"

namespace check {

// The fewest samples a record may hold without a warning: 100 samples, 2 s at 0.02 s. An
// earthquake record at that step runs to thousands of samples (tens of seconds); one of a
// few samples is a count typed short or a file cut off, and its peak velocity and spectra
// describe a fragment, not a motion.
inline constexpr int kFewestSamples = 100;

// Watches the reading of one waveform: its header's fields, then its samples.
class WaveformWatch : public textio::ReadObserver {
 public:
  void began(std::string_view first_bytes) override { byte_order_mark_ = has_byte_order_mark(first_bytes); }
  void field(const textio::FieldCut& cut) override;
  void dropped(const textio::PassedOver& rest) override;
  void slash(textio::Place place, std::size_t items) override;
  void comma_pair(const textio::CommaPair& pair) override;

  // Once the reading of case c came to `outcome` (the file `outcome.path`; `reader` still
  // attached to it when it was opened): adds to `out`, in the order of their lines, the
  // error the reading met (the record layer's report and where it failed, or the count
  // above the table's room) and the warnings.
  //
  // Warnings, each on the line it concerns:
  // - a byte-order mark at the start (line 1; the count field then does not read);
  // - the header's interval is not 0.02 (a run integrates at 0.02 s whatever it says);
  // - the count field has blanks inside ("40   2" reads as 402);
  // - the count is longer than its 20-byte field, and cut;
  // - the count is 0 or less: no sample is read;
  // - values behind the last sample the count asks for (on the line where it is reached);
  // - a slash that ends the samples early (the rest stay 0);
  // - a comma inside what looks like one number, on a line that also holds a decimal
  //   point ("6,126": two samples);
  // - decimal commas throughout: every sample read is half of such a number, on lines
  //   without a decimal point ("-6,2510 -5,1234" or one per line: integer and fraction
  //   read as two samples each);
  // - fewer samples than kFewestSamples (a count of 1 or more);
  // - every sample 0 (a count of 1 or more): the case has no motion;
  // - a sample that is not a finite number.
  void finish(const gm::RunTables& t, int c, textio::RecordReader* reader, const inputs::InputOutcome& outcome,
              const ErrorTexts& texts, Findings& out);

 private:
  void header_warnings(std::string_view path, int n, Findings& out) const;
  void sample_warnings(std::string_view path, int n, textio::RecordReader& reader, Findings& out) const;

  // The header's two fields, as cut.
  std::string count_text_;
  bool count_full_ = false;
  char count_next_ = 0;
  std::string count_rest_;
  std::string interval_text_;
  // The statements that ended: the header's, then the samples'.
  int statements_ = 0;
  std::uint64_t values_dropped_ = 0;  // by the samples' statement
  int stop_line_ = 0;                 // where the samples' statement stopped
  bool slash_ = false;
  int slash_line_ = 0;
  std::size_t slash_items_ = 0;
  std::size_t pairs_ = 0;  // decimal-comma pairs on lines with a decimal point
  int first_pair_line_ = 0;
  std::string first_pair_;
  std::size_t plain_pairs_ = 0;  // those on lines without one
  int first_plain_line_ = 0;
  std::string first_plain_[2];
  bool byte_order_mark_ = false;
};

}  // namespace check
