#pragma once
// What reading one input file came to. The driver alone decides how a run ends.
#include <string>
#include <string_view>

#include "textio/fixed_text.hpp"
#include "textio/record_reader.hpp"
#include "textio/report.hpp"

namespace inputs {

struct InputOutcome {
  enum class Kind {
    Ok,
    CannotOpen,      // the file could not be opened: the "not exist" error end
    TooManySamples,  // a waveform announces more samples than a case can hold
    Fault,           // the record layer failed: its fatal report ends the run
  };
  Kind kind = Kind::Ok;
  std::string path;     // the path as built, for the console messages
  textio::Fault fault;  // for Kind::Fault

  static InputOutcome ok() { return {}; }
  bool is_ok() const noexcept { return kind == Kind::Ok; }
};

// Opens the file `name` in a folder (the first `length` bytes of `folder`) on `unit`. The
// outcome carries the path as built, and is CannotOpen when the host refused it.
InputOutcome open_in_folder(const textio::FixedText400& folder, int length, std::string_view name,
                            textio::InputFileUnit& unit);

// The outcome of a reading that ended with `status` on `reader`: a failed read (`status`
// not 0) becomes the fault.
InputOutcome fault_outcome(InputOutcome outcome, int status, const textio::RecordReader& reader);

}  // namespace inputs
