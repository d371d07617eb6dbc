#pragma once
// The command line: gmgather [--report] [--spectra] [--fit] [--] [DEFINITION_FILE],
// gmgather --check [--spectra] [--fit] [--] DEFINITION_FILE, -h/--help, -V/--version.
// Texts here are UTF-8; the console gets them as Shift-JIS.
#include <span>
#include <string>

#include "driver/run_options.hpp"

namespace gm {

// What the arguments ask for. They are taken from left to right: --help or --version ends
// the reading at once, so "--help --bogus" shows the help and "--bogus --help" is an error.
struct CommandLine {
  enum class Action { Run, Help, Version, Error };
  enum class Problem { None, UnknownOption, SecondFile, CheckWithoutFile };
  Action action = Action::Run;
  // Run: what the run is asked to do; the definition file is taken whole as given
  // (Shift-JIS), and without one the run asks at the prompt.
  RunOptions options;
  // Error: what is wrong, and the argument that is wrong.
  Problem problem = Problem::None;
  std::string argument;
};

// Reads the arguments after the program's name (Shift-JIS bytes). An argument that begins
// with '-' is an option, except "-" alone and anything after "--".
CommandLine parse_command_line(std::span<const std::string> arguments);

// "gmgather 1.0.0": the version CMake gives the project.
std::string version_text();
// The whole help: what the program does, its forms and options, where the results go,
// the exit statuses. Lines end with CR LF, as every line the program writes.
std::string help_text();
// The forms alone, shown after a command-line error, and the line that names the problem.
std::string usage_text();
std::string problem_text(CommandLine::Problem problem);

}  // namespace gm
