#pragma once
// What reading one input file came to. The driver alone decides how a run ends.
#include <string>

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

}  // namespace inputs
