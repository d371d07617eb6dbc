// End-to-end runs in a Japanese setting: the example data set under Japanese folder names,
// a Japanese definition-file name typed at the prompt, and a Japanese working folder. The
// results must be those of a plain run of the reference build (the gmgather built beside
// these tests), byte for byte, whichever build is under test and whatever its host's code
// page.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/cp932.hpp"
#include "support/data_set.hpp"
#include "support/process.hpp"

namespace {

using testing_support::kPrompt;
using testing_support::kResultFiles;
using testing_support::RunResult;
using testing_support::ScratchFolder;

namespace fs = std::filesystem;

// Folder names as the definition file spells them (Shift-JIS) and as the host names them.
// 予 (97 5C) and 表 (95 5C) end in the byte of a backslash.
const std::string kDataFolder = "\x97\x5c\x91\xaa\x95\x5c";                     // 予測表
const std::string kFaultFolder = "\x90\x6b\x8c\xb9\x92\x66\x91\x77";            // 震源断層
const std::string kCaseFolder = "\x83\x50\x81\x5b\x83\x58";                     // ケース
const std::string kDefinitionName = "\x92\xe8\x8b\x60\x83\x74\x83\x40\x83\x43\x83\x8b.csv";  // 定義ファイル.csv
const std::string kMissingName = "\x91\xb6\x8d\xdd\x82\xb5\x82\xc8\x82\xa2.csv";  // 存在しない.csv
const char* const kDataHost = "予測表";
const char* const kFaultHost = "震源断層";
const char* const kCaseHost = "ケース";
const char* const kWorkHost = "作業フォルダ";
const char* const kDefinitionHost = "定義ファイル.csv";

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// The example data set laid out again in `folder`:
//   作業フォルダ/定義ファイル.csv          the definition file, where the run starts
//   予測表/震源断層1 .. 震源断層3_南海     faults\F1 .. faults\F3_南海
//   予測表/ケース01 .. ケース07_追加検討   cases\C01 .. cases\C07_追加検討
// The definition file reaches them as ..\予測表\震源断層1 and so on.
void lay_out_in_japanese(const ScratchFolder& folder) {
  const fs::path& root = folder.path();
  const fs::path example = GMGATHER_EXAMPLES_DIR "/realistic";
  fs::create_directories(root / kDataHost);
  for (const auto& entry : fs::directory_iterator(example / "faults")) {
    const std::string name = entry.path().filename().string();  // F1, F2, F3_南海
    fs::copy(entry.path(), root / kDataHost / (kFaultHost + name.substr(1)), fs::copy_options::recursive);
  }
  for (const auto& entry : fs::directory_iterator(example / "cases")) {
    const std::string name = entry.path().filename().string();  // C01 .. C07_追加検討
    fs::copy(entry.path(), root / kDataHost / (kCaseHost + name.substr(1)), fs::copy_options::recursive);
  }
  // Only the folder paths change: "faults\F" -> "..\予測表\震源断層", "cases\C" -> "..\予測表\ケース".
  std::string def = read_file(example / "def.csv");
  def = replace_all(def, "faults\\F", "..\\" + kDataFolder + "\\" + kFaultFolder);
  def = replace_all(def, "cases\\C", "..\\" + kDataFolder + "\\" + kCaseFolder);
  folder.write(std::string(kWorkHost) + "/" + kDefinitionHost, def);
}

TEST(JapaneseSetting, NamesMatchTheirCp932Conversion) {
  using testing_support::to_cp932;
  EXPECT_EQ(to_cp932(kDataHost), kDataFolder);
  EXPECT_EQ(to_cp932(kFaultHost), kFaultFolder);
  EXPECT_EQ(to_cp932(kCaseHost), kCaseFolder);
  EXPECT_EQ(to_cp932(kDefinitionHost), kDefinitionName);
  EXPECT_EQ(to_cp932("存在しない.csv"), kMissingName);
}

TEST(JapaneseSetting, ResultsMatchAPlainRunOfTheReferenceBuild) {
  ScratchFolder plain;
  fs::copy(GMGATHER_EXAMPLES_DIR "/realistic", plain.path(), fs::copy_options::recursive);
  const RunResult reference =
      testing_support::run_program(GMGATHER_REFERENCE_EXE, plain.path(), "def.csv\r\n", 0, "");
  ASSERT_EQ(reference.status, 0) << reference.err;

  ScratchFolder japanese;
  lay_out_in_japanese(japanese);
  const fs::path work = japanese.path() / kWorkHost;
  const RunResult r = testing_support::run_program(GMGATHER_EXE, work, kDefinitionName + "\r\n");
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.status, 0);
  for (const char* name : kResultFiles) {
    SCOPED_TRACE(name);
    const std::string want = plain.read(name);
    ASSERT_FALSE(want.empty());
    // Not EXPECT_EQ: on a mismatch that would print both files, up to 0.2 MB each.
    EXPECT_TRUE(japanese.read(std::string(kWorkHost) + "/" + name) == want);
  }
  // The definition file and the six results, nothing else, under their own names.
  EXPECT_EQ(std::distance(fs::directory_iterator(work), fs::directory_iterator()), 7);
}

// What the program echoes of a name goes out as the Shift-JIS bytes it read.
TEST(JapaneseSetting, MessagesRepeatTheShiftJisBytesOfNames) {
  struct Case {
    const char* what;
    const char* remove;  // a host path below the data folder, or nullptr
    std::string input;
    std::string message;
  };
  const Case cases[] = {
      {"typed definition file missing", nullptr, kMissingName + "\r\n\r\n", kMissingName},
      {"waveform of case 3 missing", "ケース03/加速度波形.acc", kDefinitionName + "\r\n\r\n",
       "..\\" + kDataFolder + "\\" + kCaseFolder + "03" + testing_support::kWaveformName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    lay_out_in_japanese(folder);
    if (c.remove != nullptr) {
      ASSERT_TRUE(fs::remove(folder.path() / kDataHost / c.remove));
    }
    const RunResult r = testing_support::run_program(GMGATHER_EXE, folder.path() / kWorkHost, c.input);
    EXPECT_EQ(r.out, kPrompt + c.message + " not exist ! [Enter]");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
  }
}

}  // namespace
