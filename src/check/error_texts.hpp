#pragma once
// The texts of the errors a check lists. A run's own error messages belong to the driver,
// which hands them over; a check states them as the run words them, on one line and
// without the closing " [Enter]" (join_message).
#include <string>
#include <string_view>

#include "textio/report.hpp"

namespace check {

// The driver's message texts, " [Enter]" and all.
struct ErrorTexts {
  std::string_view not_exist;         // after a file's name or path (E1, E7, E8), after a number (E4, E6)
  std::string_view bad_counts;        // E2
  std::string_view bad_fault_line;    // E3: this, the line's position in its section, line_error
  std::string_view bad_case_line;     // E5: the same for the case section
  std::string_view line_error;
  std::string_view missing_fault;     // E4: this, the fault number, not_exist
  std::string_view missing_case;      // E6: this, the case number, not_exist
  std::string_view too_many_samples;  // after a waveform's path
};

// A failure of the record layer as a check lists it: the text of the report line a run
// ends with, then where the reading failed.
//   "txtrec: severe (59): list-directed I/O syntax error, unit 13, file c\w.acc; sample 12 reads `1.2.3`"
std::string record_error_text(const textio::Fault& fault, std::string_view where);

}  // namespace check
