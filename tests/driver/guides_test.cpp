// The guides (README.md, README.ja.md) against the program's own tables: the exit
// statuses, the error ends, the fatal reports, the hints, the units, the report page's
// sections, the forms and options of the command line. Every entry a guide names is one
// the program has, and every one the program has is named in both: a new entry in a table
// fails here until both guides have it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "driver/check_run.hpp"
#include "driver/command_line.hpp"
#include "driver/hints.hpp"
#include "driver/messages.hpp"
#include "driver/run_console.hpp"
#include "inputs/file_layouts.hpp"
#include "report/page_parts.hpp"
#include "results/result_set.hpp"
#include "support/cp932.hpp"
#include "textio/report.hpp"

namespace {

struct Guide {
  const char* file;
  // The headings of its sections: exit statuses, error messages, fatal reports, the
  // command line's forms, the report page.
  const char* statuses;
  const char* messages;
  const char* reports;
  const char* forms;
  const char* page;
  const char* hints;
  const char* units;  // how its list of units begins
  const char* definition_file;  // its word for DEFINITION_FILE
};
const Guide kGuides[] = {
    {"README.md", "Exit statuses", "Messages", "Fatal reports", "Running it on your own data",
     "The report page (`--report`)", "Hints", "Units: ", "DEFINITION_FILE"},
    {"README.ja.md", "終了ステータス", "エラーメッセージ", "致命的エラー", "4.6 コマンドラインのまとめ",
     "5.1 結果図表 (`--report`)", "ヒント", "装置番号: ", "定義ファイル"},
};

std::string read_guide(const char* file) {
  std::ifstream in(std::string(GMGATHER_SOURCE_DIR) + "/" + file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The lines under the heading that ends with `title`, up to the next heading.
std::vector<std::string> section(const char* file, const std::string& title) {
  std::vector<std::string> found;
  std::istringstream lines(read_guide(file));
  bool inside = false, seen = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("#")) {
      inside = line.ends_with(" " + title);
      seen = seen || inside;
    } else if (inside) {
      found.push_back(line);
    }
  }
  EXPECT_TRUE(seen) << file << " has no heading " << title;
  return found;
}

// The first two cells of the table rows of a section whose first cell is a number or an
// end (E1, F1...).
std::vector<std::pair<std::string, std::string>> rows(const char* file, const std::string& title) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const std::string& line : section(file, title)) {
    std::vector<std::string> cells;
    for (std::size_t bar = line.find('|'); bar != std::string::npos;) {
      const std::size_t next = line.find('|', bar + 1);
      if (next == std::string::npos) break;
      const std::string cell = line.substr(bar + 1, next - bar - 1);
      const std::size_t first = cell.find_first_not_of(' ');
      cells.push_back(first == std::string::npos ? "" : cell.substr(first, cell.find_last_not_of(' ') + 1 - first));
      bar = next;
    }
    if (cells.size() < 2 || cells[0].empty()) continue;
    const std::string number = cells[0].substr(cells[0][0] == 'E' || cells[0][0] == 'F' ? 1 : 0);
    if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos) {
      found.emplace_back(cells[0], cells[1]);
    }
  }
  return found;
}

// The texts between backquotes.
std::vector<std::string> quoted(const std::string& cell) {
  std::vector<std::string> pieces;
  for (std::size_t open = cell.find('`'); open != std::string::npos; open = cell.find('`', open + 1)) {
    const std::size_t close = cell.find('`', open + 1);
    if (close == std::string::npos) break;
    pieces.push_back(cell.substr(open + 1, close - open - 1));
    open = close;
  }
  return pieces;
}

TEST(Guides, NameTheProgramsExitStatuses) {
  std::set<int> statuses;
  for (const gm::ExitStatus& s : gm::kExitStatuses) statuses.insert(s.status);
  for (const Guide& g : kGuides) {
    std::set<int> named;
    for (const auto& [status, meaning] : rows(g.file, g.statuses)) named.insert(std::stoi(status));
    EXPECT_EQ(named, statuses) << g.file;
  }
}

// Each end's message as the guides quote it, in Shift-JIS: the pieces that take a line of
// their own, the number between them left out.
std::vector<std::string> quoted_form(const gm::ErrorEnd& end) {
  const std::string text(end.text);
  if (!end.label.empty()) return {std::string(end.label), text};
  if (end.after == "NAME") return {"NAME" + text};
  return {(end.after.empty() ? "" : "FOLDER" + std::string(end.after)) + text};
}

TEST(Guides, QuoteTheProgramsErrorEnds) {
  for (const Guide& g : kGuides) {
    SCOPED_TRACE(g.file);
    std::set<std::string> named;
    for (const auto& [id, message] : rows(g.file, g.messages)) {
      std::vector<std::string> pieces;
      for (const std::string& piece : quoted(message)) pieces.push_back(testing_support::to_cp932(piece));
      bool known = false;
      for (const gm::ErrorEnd& end : gm::kErrorEnds) {
        if (end.id != id) continue;
        known = true;
        EXPECT_EQ(pieces, quoted_form(end)) << id;
      }
      EXPECT_TRUE(known) << id << " is no error end of the program";
      named.insert(id);
    }
    std::set<std::string> ids;
    for (const gm::ErrorEnd& end : gm::kErrorEnds) ids.insert(std::string(end.id));
    EXPECT_EQ(named, ids);
    EXPECT_NE(read_guide(g.file).find(gm::kResultFolderLine), std::string::npos) << "the window's closing line";
  }
}

TEST(Guides, QuoteTheRecordLayersReports) {
  using namespace textio;
  const std::set<int> numbers = {kErrPermission, kErrEndOfFile, kErrFileNotFound,     kErrOpenFailure,
                                 kErrWrite,      kErrRead,      kErrNoDevice,         kErrFileName,
                                 kErrListSyntax, kErrFormatMismatch, kErrOutputConversion, kErrInputConversion};
  for (const Guide& g : kGuides) {
    std::set<int> named;
    for (const auto& [number, message] : rows(g.file, g.reports)) {
      named.insert(std::stoi(number));
      // The program's message with U for the unit and F for the file.
      const std::string_view text = message_for(std::stoi(number));
      std::string want;
      for (std::size_t i = 0; i < text.size(); ++i) {
        want += text[i] == '%' && i + 1 < text.size() ? (text[++i] == 'd' ? 'U' : 'F') : text[i];
      }
      EXPECT_EQ(quoted(message), std::vector<std::string>{want}) << g.file << ", " << number;
    }
    EXPECT_EQ(named, numbers) << g.file;
  }
}

// The hints, each as the program writes it with its {names}, in the last cell of a row
// of the guide's table of hints.
TEST(Guides, QuoteTheProgramsHints) {
  std::set<std::string> hints;
  for (const gm::HintText& h : gm::kHints) hints.insert(std::string(h.text));
  for (const Guide& g : kGuides) {
    std::set<std::string> quoted_hints;
    for (const std::string& line : section(g.file, g.hints)) {
      if (!line.starts_with("| ") || line.find("`") == std::string::npos) continue;
      const std::vector<std::string> pieces = quoted(line.substr(line.rfind(" | ")));
      if (!pieces.empty()) quoted_hints.insert(pieces.back());
    }
    EXPECT_EQ(quoted_hints, hints) << g.file;
  }
}

// The line after a run that met warnings, word for word as the program writes it.
TEST(Guides, QuoteTheWarningsLine) {
  gm::RunOptions options;
  options.fit = true;
  std::string line = gm::warnings_line(3, options, "def.csv");
  line.resize(line.size() - 2);  // its CR LF
  for (const Guide& g : kGuides) EXPECT_NE(read_guide(g.file).find(line), std::string::npos) << g.file;
}

// The units a report can name: the console's, the input files' and every result file's.
std::set<int> program_units() {
  std::set<int> units = {textio::kConsoleErrorUnit, textio::kConsoleInputUnit, textio::kConsoleOutputUnit,
                         inputs::kDefinitionFileUnit, inputs::kSpectrumTableUnit, inputs::kWaveformUnit};
  for (const results::ResultFile& file : results::result_set()) units.insert(file.unit);
  return units;
}

// The units of a guide's list: "Units: 0 standard error (...), 5 console input, ... 21-26
// the result files ..." (Japanese: "、" between the items and "～" in a range), up to
// the end of its paragraph.
std::set<int> listed_units(const Guide& g) {
  const std::string text = read_guide(g.file);
  const std::size_t start = text.find(g.units);
  EXPECT_NE(start, std::string::npos) << g.file << " lists no units";
  if (start == std::string::npos) return {};
  const std::string list = text.substr(start, text.find("\n\n", start) - start);
  std::set<int> units;
  for (const std::string_view separator : {std::string_view(g.units), std::string_view(", "), std::string_view("、")}) {
    for (std::size_t at = list.find(separator); at != std::string::npos; at = list.find(separator, at + 1)) {
      const std::size_t p = list.find_first_not_of(" \n", at + separator.size());
      if (p == std::string::npos) continue;
      const std::size_t digits = list.find_first_not_of("0123456789", p);
      if (digits == p) continue;
      int first = std::stoi(list.substr(p, digits - p)), last = first;
      for (const std::string_view dash : {std::string_view("-"), std::string_view("～")}) {
        if (list.compare(digits, dash.size(), dash) == 0) last = std::stoi(list.substr(digits + dash.size()));
      }
      for (int u = first; u <= last; ++u) units.insert(u);
    }
  }
  return units;
}

TEST(Guides, ListTheUnits) {
  for (const Guide& g : kGuides) EXPECT_EQ(listed_units(g), program_units()) << g.file;
}

// The page's sections, numbered in page order, each by its title in bold.
TEST(Guides, ListTheReportPagesSections) {
  std::vector<std::string> titles;
  for (const report::detail::Section& s : report::detail::page_sections()) titles.emplace_back(s.title);
  for (const Guide& g : kGuides) {
    std::vector<std::string> listed;
    for (const std::string& line : section(g.file, g.page)) {
      const std::size_t dot = line.find(". **");
      if (dot == std::string::npos || dot == 0 || line.find_first_not_of("0123456789") != dot) continue;
      if (std::stoul(line.substr(0, dot)) != listed.size() + 1) ADD_FAILURE() << g.file << ": " << line;
      const std::size_t end = line.find("**", dot + 4);
      listed.push_back(line.substr(dot + 4, end - dot - 4));
    }
    EXPECT_EQ(listed, titles) << g.file;
  }
}

// The forms of the command line in the guide's first code block under its heading, each
// up to the wide gap before what it does; every option named in the guide.
TEST(Guides, ShowTheCommandLinesForms) {
  for (const Guide& g : kGuides) {
    SCOPED_TRACE(g.file);
    std::set<std::string> shown, forms;
    int fences = 0;
    for (const std::string& line : section(g.file, g.forms)) {
      if (line.starts_with("```")) ++fences;
      if (fences == 1 && line.starts_with("gmgather")) shown.insert(line.substr(0, line.find("  ")));
    }
    for (const gm::UsageForm& form : gm::kUsageForms) {
      std::string command(form.command);
      const std::size_t at = command.find("DEFINITION_FILE");
      if (at != std::string::npos) command.replace(at, 15, g.definition_file);
      forms.insert(command);
    }
    EXPECT_EQ(shown, forms);
    const std::string text = read_guide(g.file);
    for (const gm::RunOption& option : gm::kRunOptions) {
      EXPECT_NE(text.find("`" + std::string(option.name) + "`"), std::string::npos) << option.name;
    }
  }
}

}  // namespace
