#include "driver/run_console.hpp"

#include <string>

#include "driver/hints.hpp"
#include "driver/messages.hpp"
#include "platform/interrupt.hpp"
#include "textio/report.hpp"

namespace gm {
namespace {

// The console's layouts: A, $ for a message whose last line stays open; A for a line.
using K = textio::Descriptor::Kind;
constexpr textio::Descriptor kMessage[] = {{K::A}, {K::Dollar}};
constexpr textio::Descriptor kLine[] = {{K::A}};

}  // namespace

RunConsole::RunConsole(platform::Console& console, bool messages_to_error)
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

bool RunConsole::write_message(std::initializer_list<std::string_view> pieces) {
  textio::WriteStatement s(output_, kMessage);
  for (std::string_view piece : pieces) s.text(piece);
  s.end();
  return !output_.failed();
}

bool RunConsole::write_lines(std::string_view lines) {
  return output_.write_bytes(lines.data(), lines.size()) && output_.flush();
}

int RunConsole::fatal(const textio::Fault& fault) {
  console_.write_error(textio::report_line(textio::Severity::Severe, fault));
  return kExitFatal;
}

int RunConsole::error_end(std::initializer_list<std::string_view> pieces) {
  if (messages_to_error_) return error_end_on_error_stream(pieces);
  if (!write_message(pieces)) return fatal(output_fault());
  const int status = input_.skip_record();
  if (status != textio::kStatusOk) return platform::interrupted() ? stopped(false) : fatal(input_.fault(status));
  return kExitErrorEnd;
}

int RunConsole::stopped(bool placed) {
  std::string line = "gmgather: stopped by ";
  line.append(platform::interrupt_name());
  line.append(placed ? ": the new result files were being put in place and are complete\r\n"
                     : ": the earlier result files are as they were\r\n");
  console_.write_error(line);
  return kExitInterrupted;
}

void RunConsole::hint(std::string_view text) {
  // The run ends with its status whatever becomes of this line: the message before it
  // has said what happened, and a stream that refuses it refused that too.
  std::string line(kHintPrefix);
  line.append(text).append("\r\n");
  console_.write_error(line);
}

int RunConsole::error_end_on_error_stream(std::initializer_list<std::string_view> pieces) {
  {
    textio::WriteStatement s(error_, kLine);
    std::size_t left = pieces.size();
    for (std::string_view piece : pieces) s.text(--left == 0 ? without_enter_mark(piece) : piece);
  }
  return error_.failed() ? fatal(error_.fault()) : kExitErrorEnd;
}

int RunConsole::definition_end(const inputs::DefinitionOutcome& outcome) {
  const std::string number = std::to_string(outcome.number);
  using Kind = inputs::DefinitionOutcome::Kind;
  switch (outcome.kind) {
    case Kind::Ok: break;
    case Kind::BadCounts: return error_end({kBadCounts});
    case Kind::BadFaultLine: return error_end({kBadFaultLine, number, kLineError});
    case Kind::MissingFault: return error_end({kMissingFault, number, kNotExist});
    case Kind::BadCaseLine: return error_end({kBadCaseLine, number, kLineError});
    case Kind::MissingCase: return error_end({kMissingCase, number, kNotExist});
    case Kind::Fault: return fatal(outcome.fault);
  }
  return kExitNormal;
}

int RunConsole::input_end(const inputs::InputOutcome& outcome) {
  using Kind = inputs::InputOutcome::Kind;
  switch (outcome.kind) {
    case Kind::Ok: break;
    case Kind::CannotOpen: return error_end({outcome.path + std::string(kNotExist)});
    case Kind::TooManySamples: return error_end({outcome.path + std::string(kTooManySamples)});
    case Kind::Fault: return fatal(outcome.fault);
  }
  return kExitNormal;
}

}  // namespace gm
