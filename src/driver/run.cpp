#include "driver/run.hpp"

#include <initializer_list>
#include <string>

#include "driver/definition_file.hpp"
#include "driver/messages.hpp"
#include "inputs/evaluation.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "report/page.hpp"
#include "results/result_files.hpp"
#include "textio/record_reader.hpp"
#include "textio/record_writer.hpp"

namespace gm {
namespace {

// The version the report page names.
constexpr std::string_view kVersion = GMGATHER_VERSION;

// The console of a run: its input and output units, and the one place that decides how
// the run ends.
class RunConsole {
 public:
  // `messages_to_error`: error messages go to standard error, each line ended and without
  // the " [Enter]", and nothing waits for Enter (a run given its definition file).
  RunConsole(platform::Console& console, bool messages_to_error)
      : console_(console),
        source_(console),
        sink_(console),
        error_sink_(console, textio::ConsoleSink::Stream::Error),
        input_(textio::kConsoleInputUnit, 4 * textio::kMaxValueLength),
        output_(textio::kConsoleOutputUnit, 4096, true, console),
        error_(textio::kConsoleErrorUnit, 4096, true, console),
        messages_to_error_(messages_to_error) {
    input_.attach(source_, textio::kConsoleInputName);
    output_.attach(sink_, textio::kConsoleOutputName);
    error_.attach(error_sink_, textio::kConsoleErrorName);
  }

  textio::RecordReader& input() { return input_; }
  textio::Fault output_fault() const { return output_.fault(); }

  // Writes the pieces through the message layout: each piece but the last on a line of
  // its own, the last left open for the user. False when the console refused them.
  bool write_message(std::initializer_list<std::string_view> pieces) {
    textio::WriteStatement s(output_, textio::layouts::kR1);
    for (std::string_view piece : pieces) s.text(piece);
    s.end();
    return !output_.failed();
  }

  // The record layer's fatal report: one line on standard error, no pause.
  int fatal(const textio::Fault& fault) {
    console_.write_error(textio::report_line(textio::Severity::Severe, fault));
    return kExitFatal;
  }

  // A checked error: the message, then the Enter pause (one console line, ignored).
  int error_end(std::initializer_list<std::string_view> pieces) {
    if (messages_to_error_) return error_end_on_error_stream(pieces);
    if (!write_message(pieces)) return fatal(output_fault());
    const int status = input_.skip_record();
    if (status != textio::kStatusOk) return fatal(input_.fault(status));
    return kExitErrorEnd;
  }

 private:
  // Every piece on a line of its own, the last one too; a script reads whole lines.
  int error_end_on_error_stream(std::initializer_list<std::string_view> pieces) {
    {
      textio::WriteStatement s(error_, textio::layouts::kR2);
      std::size_t left = pieces.size();
      for (std::string_view piece : pieces) s.text(--left == 0 ? without_enter_mark(piece) : piece);
    }
    return error_.failed() ? fatal(error_.fault()) : kExitErrorEnd;
  }

  platform::Console& console_;
  textio::ConsoleSource source_;
  textio::ConsoleSink sink_;
  textio::ConsoleSink error_sink_;
  textio::RecordReader input_;
  textio::OutputUnit output_;
  textio::OutputUnit error_;
  bool messages_to_error_;
};

int definition_error_end(RunConsole& con, const DefinitionOutcome& outcome) {
  const std::string number = std::to_string(outcome.number);
  using Kind = DefinitionOutcome::Kind;
  switch (outcome.kind) {
    case Kind::Ok: break;
    case Kind::BadCounts: return con.error_end({kBadCounts});
    case Kind::BadFaultLine: return con.error_end({kBadFaultLine, number, kLineError});
    case Kind::MissingFault: return con.error_end({kMissingFault, number, kNotExist});
    case Kind::BadCaseLine: return con.error_end({kBadCaseLine, number, kLineError});
    case Kind::MissingCase: return con.error_end({kMissingCase, number, kNotExist});
    case Kind::Fault: return con.fatal(outcome.fault);
  }
  return kExitNormal;
}

int input_error_end(RunConsole& con, const inputs::InputOutcome& outcome) {
  using Kind = inputs::InputOutcome::Kind;
  switch (outcome.kind) {
    case Kind::Ok: break;
    case Kind::CannotOpen: return con.error_end({outcome.path + std::string(kNotExist)});
    case Kind::TooManySamples: return con.error_end({outcome.path + std::string(kTooManySamples)});
    case Kind::Fault: return con.fatal(outcome.fault);
  }
  return kExitNormal;
}

}  // namespace

int run(platform::Console& console, RunTables& t, const RunOptions& options) {
  start_up(t);
  RunConsole con(console, options.definition_file.has_value());

  std::string name;
  if (options.definition_file) {
    name = *options.definition_file;
  } else {
    // The dialogue: one prompt, one free-form answer of at most 40 bytes.
    if (!con.write_message({kPrompt})) return con.fatal(con.output_fault());
    const textio::Item answer = textio::Item::text(t.definition_file_name);
    const int status = con.input().read_free_form({&answer, 1});
    if (status != textio::kStatusOk) return con.fatal(con.input().fault(status));
    t.definition_file_name_length = textio::LCHR40(t.definition_file_name);
    name.assign(t.definition_file_name.bytes.data(), static_cast<std::size_t>(t.definition_file_name_length));
  }

  {
    textio::InputFileUnit definition(textio::kDefinitionFileUnit);
    if (definition.open_for_reading(name) != textio::kStatusOk) {
      return con.error_end({name + std::string(kNotExist)});
    }
    const DefinitionOutcome outcome = read_definition_file(t, definition.reader());
    definition.close_unit();
    if (outcome.kind != DefinitionOutcome::Kind::Ok) return definition_error_end(con, outcome);
  }

  textio::InputFileUnit spectrum_unit(textio::kSpectrumTableUnit);
  for (int k = 1; k <= t.fault_count; ++k) {
    const inputs::InputOutcome outcome = inputs::read_fault_spectrum_table(t, k, spectrum_unit);
    if (!outcome.is_ok()) return input_error_end(con, outcome);
  }
  const parallel::Workers workers(options.threads);
  if (const inputs::InputOutcome outcome = inputs::read_case_waveforms(t, workers); !outcome.is_ok()) {
    return input_error_end(con, outcome);
  }

  inputs::evaluate_cases(t, workers);

  // The page joins the result files as one more of the set: it replaces an earlier page
  // together with them, or not at all.
  std::string page;
  results::AddedFile report_page{report::kPageFile, {}};
  if (options.report) {
    report::render_page(t, report::facts_of_this_run(name, kVersion), page, workers);
    report_page.bytes = page;
  }
  if (const auto fault = results::write_result_files(t, console, workers,
                                                     options.report ? &report_page : nullptr)) {
    return con.fatal(*fault);
  }
  return kExitNormal;
}

}  // namespace gm
