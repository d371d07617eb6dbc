// Fuzzing of the hints: the files a run ended on, whatever they hold, give either no hint
// or one of the hints the guides document, on one line, and the diagnosis reads no byte
// outside what it was given (the sanitizers watch).
//
// Input layout:
//   byte 0     how the run ended, modulo 6: the counts (E2), a report on the definition
//              file, a spectrum table or a waveform that did not open (E7, E8), a report
//              on the spectrum table, a report on the waveform
//   byte 1     the report's error number, modulo 3: 24, 59, 64
//   the rest   pieces cut on lines "====": the definition file, the spectrum table or
//              waveform (in folder "d"), the folder path of E7 and E8 (Shift-JIS; a
//              waveform named ".txt" beside the real name when it ends in "+")
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "check.hpp"
#include "driver/hints.hpp"
#include "inputs/file_layouts.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "textio/report.hpp"

namespace {

using fuzzing::require;
namespace fs = std::filesystem;

fs::path* scratch = nullptr;

std::vector<std::string_view> pieces(std::string_view input) {
  std::vector<std::string_view> found;
  for (;;) {
    const std::size_t cut = input.find("\n====\n");
    found.push_back(input.substr(0, cut));
    if (cut == std::string_view::npos) return found;
    input.remove_prefix(cut + 6);
  }
}

void write(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Whether `hint` is `pattern` with each {name} standing for any text.
bool matches(std::string_view hint, std::string_view pattern) {
  std::vector<std::string_view> literal;
  for (std::size_t open = pattern.find('{');; open = pattern.find('{')) {
    literal.push_back(pattern.substr(0, open));
    if (open == std::string_view::npos) break;
    pattern.remove_prefix(pattern.find('}', open) + 1);
  }
  if (!hint.starts_with(literal.front())) return false;
  if (literal.size() == 1) return hint == literal.front();
  hint.remove_prefix(literal.front().size());
  for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
    const std::size_t at = hint.find(literal[i]);
    if (at == std::string_view::npos) return false;
    hint.remove_prefix(at + literal[i].size());
  }
  return hint.ends_with(literal.back());
}

std::string diagnose(int ending, int number, const std::vector<std::string_view>& piece) {
  const std::string spectrum = "d" + std::string(inputs::kSpectrumTableName);
  const std::string waveform = "d" + std::string(inputs::kWaveformName);
  if (ending <= 1) {
    inputs::DefinitionOutcome outcome;
    outcome.kind = ending == 0 ? inputs::DefinitionOutcome::Kind::BadCounts : inputs::DefinitionOutcome::Kind::Fault;
    outcome.fault = {number, inputs::kDefinitionFileUnit, "def.csv"};
    return gm::hint_after_definition("def.csv", outcome);
  }
  inputs::InputOutcome outcome;
  if (ending <= 3) {
    const std::string_view folder = piece.size() > 2 ? piece[2].substr(0, 400) : std::string_view("d");
    outcome.kind = inputs::InputOutcome::Kind::CannotOpen;
    outcome.path = std::string(folder) + std::string(ending == 2 ? inputs::kSpectrumTableName : inputs::kWaveformName);
  } else {
    outcome.kind = inputs::InputOutcome::Kind::Fault;
    outcome.fault = {number, ending == 4 ? inputs::kSpectrumTableUnit : inputs::kWaveformUnit,
                     ending == 4 ? spectrum : waveform};
  }
  return gm::hint_after_input("sub/def.csv", outcome);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* shm = "/dev/shm";
  std::string where = ((fs::is_directory(shm) ? fs::path(shm) : fs::temp_directory_path()) / "gmgather-hints-XXXXXX").string();
  if (mkdtemp(where.data()) == nullptr) std::abort();
  scratch = new fs::path(where);
  std::atexit([] {
    std::error_code ec;
    fs::remove_all(*scratch, ec);
    delete scratch;
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return -1;
  const int ending = data[0] % 6;
  const int number = data[1] % 3 == 0 ? textio::kErrEndOfFile : data[1] % 3 == 1 ? textio::kErrListSyntax
                                                                                 : textio::kErrInputConversion;
  const std::vector<std::string_view> piece = pieces({reinterpret_cast<const char*>(data) + 2, size - 2});
  std::error_code ec;
  fs::remove_all(*scratch, ec);
  fs::create_directories(*scratch / "sub" / "d");
  fs::create_directories(*scratch / "d");
  write(*scratch / "def.csv", piece[0]);
  write(*scratch / "sub" / "def.csv", piece[0]);
  const bool table = ending == 2 || ending == 4;
  const std::string host = table ? "Velmora長周期.csv" : "加速度波形.acc";
  const std::string_view file = piece.size() > 1 ? piece[1] : std::string_view();
  write(*scratch / "d" / host, file);
  if (piece.size() > 2 && piece[2].ends_with("+")) write(*scratch / "d" / (host + ".txt"), file);
  write(*scratch / "sub" / "d" / host, file);

  // Relative names, as a run uses them: the diagnosis works in the scratch folder.
  const int back = ::open(".", O_RDONLY | O_DIRECTORY);
  require(back >= 0 && ::chdir(scratch->c_str()) == 0, "cannot enter the scratch folder");
  const std::string hint = diagnose(ending, number, piece);
  require(::fchdir(back) == 0, "cannot leave the scratch folder");
  ::close(back);

  if (hint.empty()) return 0;
  for (const char c : hint) {
    require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "a hint of more than one line", hint);
  }
  bool documented = false;
  for (const gm::HintText& h : gm::kHints) documented = documented || matches(hint, h.text);
  require(documented, "a hint the guides do not show", hint);
  return 0;
}
