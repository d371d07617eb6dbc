#include "inputs/input_outcome.hpp"

namespace inputs {

InputOutcome open_in_folder(const textio::FixedText400& folder, int length, std::string_view name,
                            textio::InputFileUnit& unit) {
  InputOutcome outcome;
  outcome.path = textio::join_path(folder, length, name);
  if (unit.open_for_reading(outcome.path) != textio::kStatusOk) {
    outcome.kind = InputOutcome::Kind::CannotOpen;
  }
  return outcome;
}

InputOutcome fault_outcome(InputOutcome outcome, int status, const textio::RecordReader& reader) {
  if (status != textio::kStatusOk) {
    outcome.kind = InputOutcome::Kind::Fault;
    outcome.fault = reader.fault(status);
  }
  return outcome;
}

}  // namespace inputs
