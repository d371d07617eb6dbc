#include "driver/program.hpp"

#include <initializer_list>
#include <string_view>
#include <utility>

#include "driver/command_line.hpp"
#include "driver/messages.hpp"
#include "driver/run.hpp"
#include "textio/report.hpp"

namespace gm {
namespace {

// Text for standard output; a refused write ends with the record layer's report, as the
// run's own console output does.
int show(platform::Console& console, const std::string& sjis) {
  if (console.write_output(sjis)) return kExitNormal;
  const textio::Fault fault{textio::kErrWrite, textio::kConsoleOutputUnit, std::string(textio::kConsoleOutputName)};
  console.write_error(textio::report_line(textio::Severity::Severe, fault));
  return kExitFatal;
}

// Reads the console up to the end of a line, or of the input.
void wait_for_enter(platform::Console& console) {
  char c = 0;
  while (c != '\n' && console.read_input(&c, 1) == 1) {
  }
}

// Help, version or a command line the program cannot take: the status.
int answer_command_line(platform::Console& console, const CommandLine& line) {
  switch (line.action) {
    case CommandLine::Action::Help:
      return show(console, platform::shift_jis_from_utf8(help_text()));
    case CommandLine::Action::Version:
      return show(console, platform::shift_jis_from_utf8(version_text() + "\r\n"));
    default:
      // The argument is shown as the bytes it came as.
      console.write_error(platform::shift_jis_from_utf8(problem_text(line.problem)) + line.argument + "\r\n" +
                          platform::shift_jis_from_utf8(usage_text()));
      return kExitUsage;
  }
}

// Whether `value` is `name` (lower case) in any case of its ASCII letters.
bool is_named(std::string_view value, std::string_view name) {
  if (value.size() != name.size()) return false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != name[i]) return false;
  }
  return true;
}

}  // namespace

OutputEncoding output_encoding(const char* setting, std::string* note) {
  if (setting == nullptr || *setting == '\0') return OutputEncoding::ShiftJis;
  const std::string_view value(setting);
  for (std::string_view name : {"utf-8", "utf8"}) {
    if (is_named(value, name)) return OutputEncoding::Utf8;
  }
  for (std::string_view name : {"shift_jis", "shift-jis", "sjis"}) {
    if (is_named(value, name)) return OutputEncoding::ShiftJis;
  }
  if (note != nullptr) {
    note->assign("gmgather: GMGATHER_ENCODING=").append(value);
    note->append(" is neither utf-8 nor shift_jis; writing Shift-JIS");
  }
  return OutputEncoding::ShiftJis;
}

int run_program(platform::Console& console, platform::Session& session, RunTables& tables,
                std::span<const std::string> arguments, const parallel::Pool& pool, OutputEncoding encoding) {
  const CommandLine line = parse_command_line(arguments);
  // The dialogue keeps its bytes: scripts that feed it read them.
  const bool asks = line.action == CommandLine::Action::Run && !line.options.definition_file;
  if (encoding == OutputEncoding::Utf8 && !asks) console.convert_output_to_utf8();
  // Arguments and a console of its own: Explorer started the program with dropped files
  // (or a shortcut did), and the window closes the moment the program ends.
  const bool own_window = !arguments.empty() && session.alone_on_console();
  if (line.action != CommandLine::Action::Run) {
    const int status = answer_command_line(console, line);
    if (own_window) wait_for_enter(console);
    return status;
  }

  RunOptions options = line.options;
  if (!own_window || !options.definition_file) return run(console, tables, pool, options);

  // The file is opened by its full path, which does not depend on the working folder; if
  // the folder cannot be entered, the run stays where it started and the closing line says
  // so by naming that folder.
  if (auto full_path = session.enter_folder_of(*options.definition_file)) options.definition_file = std::move(full_path);
  const int status = run(console, tables, pool, options);
  console.write_output(platform::shift_jis_from_utf8(kResultFolderLine) + session.working_folder() +
                       std::string(kEnterMark));
  wait_for_enter(console);
  return status;
}

}  // namespace gm
