#pragma once
// A check of a whole input set: every file a run reads, in the order a run reads them,
// read once, by the run's own readers, while a watch gathers what they pass over. It
// writes, creates and truncates nothing, and holds no file whole: each is read through
// the reader's buffer as a run reads it.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "check/definition_check.hpp"
#include "check/error_texts.hpp"
#include "check/findings.hpp"
#include "check/spectrum_check.hpp"
#include "check/waveform_check.hpp"
#include "inputs/input_watch.hpp"
#include "parallel/pool.hpp"
#include "tables/run_tables.hpp"

namespace check {

// The findings of an input set, gathered file by file as the run's readers read them: for
// a check, and for a run that shows the check's warnings (its page) and reads its inputs
// just as a plain run does.
class InputSetWatch : public inputs::InputWatch {
 public:
  // `definition_file` as the run opens it; `texts` must outlive the watch.
  InputSetWatch(std::string_view definition_file, const ErrorTexts& texts);

  textio::ReadObserver* opened(inputs::InputFile file, int number) override;
  void read(inputs::InputFile file, int number, const gm::RunTables& t, textio::RecordReader* reader,
            const inputs::InputOutcome& outcome) override;
  void definition_read(const gm::RunTables& t, const inputs::DefinitionOutcome& outcome) override;

  // The lines of the definition that named each folder, where a file that cannot be
  // opened is listed (a check's own reading of the definition knows them).
  void set_definition_facts(const DefinitionFacts& facts) { facts_ = facts; }
  const DefinitionFacts& facts() const noexcept { return facts_; }
  Findings& definition_findings() noexcept { return definition_found_; }

  // Every finding, file after file in the order a run reads them, each file's by line.
  Findings take_findings();

 private:
  std::string definition_file_;
  const ErrorTexts& texts_;
  DefinitionFacts facts_;
  DefinitionWatch definition_;
  Findings definition_found_;
  std::array<SpectrumTableWatch, gm::kMaxFaults + 1> tables_;
  std::array<Findings, gm::kMaxFaults + 1> table_found_;
  // Fault 1's column is known only once its table was read; the others are held to it.
  PeriodColumn fault1_;
  bool fault1_read_ = false;
  // One watch per case: the cases are read several at a time, each by one thread.
  std::array<WaveformWatch, gm::kMaxCases + 1> waveforms_;
  std::array<Findings, gm::kMaxCases + 1> waveform_found_;
};

// Checks the input set of the definition file `name` (as the run opens it) into the run
// tables `t` (as start-up leaves them), adding what it finds to `out`: the definition
// file, then the spectrum table of every fault it gives, then the waveform of every case
// it gives (several at a time on `workers`, listed in case order).
//
// A file in error does not stop the check: a table or waveform that cannot be opened is
// listed at the definition's line that names its folder (the run's E7, E8 message), and
// the check goes on with the next one. Only a definition file that cannot be opened, or
// whose counts a run cannot take, leaves nothing more to check. The first error listed is
// the one a run ends with. Fault 1's periods, when its table was read, are what the other
// tables are held to.
void check_input_set(gm::RunTables& t, std::string_view name, const ErrorTexts& texts,
                     const parallel::Pool& workers, Findings& out);

}  // namespace check
