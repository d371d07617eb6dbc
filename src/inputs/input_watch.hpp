#pragma once
// Who watches a run read its input files: the check, whose findings come from the run's
// own reading of each file, gathered as it reads. The readers of this room call a watch
// when they open a file and when they are done with it; without a watch they read
// exactly the same way and do nothing more.
//
// The waveforms are read several at a time: the calls for one case come from one thread,
// those for different cases from any.
#include <string_view>

#include "inputs/definition_file.hpp"
#include "inputs/input_outcome.hpp"
#include "tables/run_tables.hpp"
#include "textio/read_observer.hpp"
#include "textio/record_reader.hpp"

namespace inputs {

enum class InputFile { Definition, SpectrumTable, Waveform };

class InputWatch {
 public:
  virtual ~InputWatch() = default;
  // File `number` of its kind (fault k, case c; 0 for the definition file) is open at its
  // first record on `reader`: the observer the reader is to tell while it reads, or null.
  virtual textio::ReadObserver* opened(InputFile file, int number) = 0;
  // The reading of a spectrum table or waveform came to `outcome` (any kind, CannotOpen
  // included, when opened was not called); when the file was open, `reader` is still
  // attached to it, behind the last statement read, so that the watch may pass over the
  // rest. `t` holds what was read.
  virtual void read(InputFile file, int number, const gm::RunTables& t, textio::RecordReader* reader,
                    const InputOutcome& outcome) = 0;
  // The definition file's reading came to `outcome`.
  virtual void definition_read(const gm::RunTables& t, const DefinitionOutcome& outcome) = 0;
};

}  // namespace inputs
