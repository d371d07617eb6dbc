#pragma once
// The definition file: a title record, the counts record (fault count, case count), the
// fault section (a heading, then one line per fault: number and folder path) and the case
// section (a heading, then one line per case). Lines after the case section are never read.
#include "tables/run_tables.hpp"
#include "textio/record_reader.hpp"
#include "textio/report.hpp"

namespace inputs {

struct DefinitionOutcome {
  enum class Kind {
    Ok,
    BadCounts,         // the counts record is unreadable or a count is out of range
    BadFaultLine,      // `number` is the line's position in the fault section
    MissingFault,      // `number` is the lowest fault number no line gave
    BadCaseLine,       // `number` is the line's position in the case section
    MissingCase,       // `number` is the lowest case number no line gave
    Fault,             // the record layer failed: `fault`
  };
  Kind kind = Kind::Ok;
  int number = 0;
  textio::Fault fault;
};

class InputWatch;

// Reads and checks the definition file from its first record, filling the counts and the
// folder tables. The caller opens and closes the file. A watch, when given, hears of it.
DefinitionOutcome read_definition_file(gm::RunTables& t, textio::RecordReader& reader, InputWatch* watch = nullptr);

}  // namespace inputs
