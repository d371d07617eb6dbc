#include "driver/command_line.hpp"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "driver/run.hpp"

#ifndef GMGATHER_VERSION
#error "GMGATHER_VERSION comes from project(... VERSION ...) in CMakeLists.txt"
#endif

namespace gm {
namespace {

// Lines of at most 79 columns (a Japanese character takes two) for an 80-column console.
constexpr std::string_view kDescription[] = {
    " - 地震動の計算結果を集めて結果ファイルを作ります",
    "                 gathers ground-motion results into result files",
};

// Where the description of a form starts: beside a short form, below a long one.
constexpr std::size_t kDescriptionColumn = 31;

// Where the description of an option starts.
constexpr std::size_t kOptionColumn = 17;

// After the options of kRunOptions.
constexpr std::string_view kOptions[] = {
    "  -h, --help     この説明を表示 / shows this help",
    "  -V, --version  バージョンを表示 / shows the version",
    "  --             以降はファイル名 (- で始まる名前のため)",
    "                 ends the options (for a name that begins with -)",
    "",
    "結果ファイル (Shift-JIS の CSV) は現在のフォルダに書かれます。",
    "Windows で定義ファイルを gmgather.exe にドロップしたときは、定義ファイルの",
    "フォルダに書かれます。",
    "The result files (Shift-JIS CSV) go to the current folder; to the definition",
    "file's folder when the file is dropped on gmgather.exe in Windows.",
    "",
    "環境変数 / Environment:",
    "  GMGATHER_ENCODING=utf-8  定義ファイルを指定した実行の出力を、パイプや",
    "                           ファイルにも UTF-8 で書く (既定は shift_jis)",
    "                           writes UTF-8 into pipes and files too, when the",
    "                           definition file is given (default: shift_jis)",
    "  GMGATHER_THREADS=N       スレッド数 1-8 / threads to use, 1 to 8",
    "",
    "終了ステータス / Exit status:",
};

void add_lines(std::string& text, std::initializer_list<std::string_view> lines) {
  for (std::string_view line : lines) {
    text += line;
    text += "\r\n";
  }
}

template <std::size_t N>
void add_lines(std::string& text, const std::string_view (&lines)[N]) {
  for (std::string_view line : lines) add_lines(text, {line});
}

std::string status_line(int status, std::string_view meaning) {
  const std::string number = std::to_string(status);
  std::string line(5 - std::min<std::size_t>(number.size(), 3), ' ');
  return line.append(number).append(2, ' ').append(meaning);
}

}  // namespace

const RunOption* find_run_option(std::string_view argument) {
  for (const RunOption& option : kRunOptions) {
    if (option.name == argument) return &option;
  }
  return nullptr;
}

CommandLine parse_command_line(std::span<const std::string> arguments) {
  CommandLine line;
  bool options_ended = false;
  for (const std::string& argument : arguments) {
    if (!options_ended && argument.size() > 1 && argument[0] == '-') {
      if (argument == "--") {
        options_ended = true;
      } else if (argument == "-h" || argument == "--help") {
        line.action = CommandLine::Action::Help;
        return line;
      } else if (argument == "-V" || argument == "--version") {
        line.action = CommandLine::Action::Version;
        return line;
      } else if (const RunOption* option = find_run_option(argument)) {
        line.options.*(option->flag) = true;
      } else {
        line.action = CommandLine::Action::Error;
        line.problem = CommandLine::Problem::UnknownOption;
        line.argument = argument;
        return line;
      }
    } else if (line.options.definition_file) {
      line.action = CommandLine::Action::Error;
      line.problem = CommandLine::Problem::SecondFile;
      line.argument = argument;
      return line;
    } else {
      line.options.definition_file = argument;
    }
  }
  if (line.options.check && !line.options.definition_file) {
    line.action = CommandLine::Action::Error;
    line.problem = CommandLine::Problem::CheckWithoutFile;
  }
  return line;
}

std::string version_text() { return "gmgather " GMGATHER_VERSION; }

std::string usage_text() {
  std::string text;
  add_lines(text, {"使い方 / Usage:"});
  for (const UsageForm& form : kUsageForms) {
    std::string line(2, ' ');
    line.append(form.command);
    if (line.size() + 2 <= kDescriptionColumn) {
      line.resize(kDescriptionColumn, ' ');
    } else {
      add_lines(text, {line});
      line.assign(kDescriptionColumn, ' ');
    }
    add_lines(text, {line + std::string(form.japanese), std::string(kDescriptionColumn, ' ') + std::string(form.english)});
  }
  return text;
}

std::string help_text() {
  std::string text = version_text();
  text += kDescription[0];
  text += "\r\n";
  add_lines(text, {kDescription[1], ""});
  text += usage_text();
  add_lines(text, {"", "オプション / Options:"});
  for (const RunOption& option : kRunOptions) {
    std::string line(2, ' ');
    line.append(option.name);
    line.resize(kOptionColumn, ' ');
    add_lines(text, {line + std::string(option.japanese), std::string(kOptionColumn, ' ') + std::string(option.english)});
  }
  add_lines(text, kOptions);
  for (const ExitStatus& s : kExitStatuses) add_lines(text, {status_line(s.status, s.meaning)});
  return text;
}

std::string problem_text(CommandLine::Problem problem) {
  switch (problem) {
    case CommandLine::Problem::UnknownOption: return "gmgather: 不明なオプション / unknown option: ";
    case CommandLine::Problem::SecondFile: return "gmgather: 定義ファイルは1つだけ / one definition file only: ";
    case CommandLine::Problem::CheckWithoutFile:
      return "gmgather: --check には定義ファイルが必要 / --check needs a definition file";
    case CommandLine::Problem::None: break;
  }
  return "gmgather: ";
}

}  // namespace gm
