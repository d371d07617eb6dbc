// End-to-end runs of the built program in scratch folders: console bytes, exit status and
// every file left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/data_set.hpp"
#include "support/process.hpp"

namespace {

using testing_support::run_in;
using testing_support::RunResult;
using testing_support::ScratchFolder;
using testing_support::DataSet;
using testing_support::fixed;
using testing_support::kPrompt;
using testing_support::kResultFiles;
using testing_support::kSpectrumHost;
using testing_support::kSpectrumName;
using testing_support::kWaveformHost;
using testing_support::kWaveformName;

std::string label(int n) { return "      ,No." + fixed(n, 2, 0); }

TEST(WholeRun, WritesTheSixFilesByteForByte) {
  const DataSet d = DataSet::small();
  ScratchFolder folder;
  d.write_to(folder);
  const RunResult r = run_in(folder, "def.csv\r\n");
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.status, 0);

  // The evaluation, step by step as the program does it.
  const std::size_t faults = d.spectra.size();
  const std::size_t cases = d.samples.size();
  std::vector<std::vector<double>> velocity(cases);
  std::vector<double> peak(cases, 0.0);
  std::size_t longest = 0;
  for (std::size_t c = 0; c < cases; ++c) {
    const auto& a = d.samples[c];
    for (std::size_t j = 0; j < a.size(); ++j) {
      const double v = j == 0 ? 0.01 * a[0] : 0.01 * (a[j] + a[j - 1]) + velocity[c][j - 1];
      velocity[c].push_back(v);
      peak[c] = std::max(peak[c], std::fabs(v));
    }
    longest = std::max(longest, a.size());
  }
  // Peaks 5, 0.1, 2: ranks 1, 3, 2; the phase case (rank 2) is case 3.
  const std::size_t phase = 2;

  std::string target = "\x8e\xfc\x8a\xfa(s),\x91\xac\x93\x78Sv(cm/s)\r\n";  // 周期(s),速度Sv(cm/s)
  std::string per_fault = "\x8e\xfc\x8a\xfa(s)";                            // 周期(s)
  for (std::size_t k = 1; k <= faults; ++k) per_fault += label(static_cast<int>(k));
  per_fault += "   ,(cm/s)\r\n";
  for (std::size_t j = 0; j < 55; ++j) {
    double s = 0;
    for (std::size_t k = 0; k < faults; ++k) s = d.spectra[k][j] * d.spectra[k][j] + s;
    target += fixed(d.periods[j], 12, 4) + "," + fixed(std::sqrt(s) / 1.1, 14, 6) + "\r\n";
    per_fault += fixed(d.periods[j], 12, 4);
    for (std::size_t k = 0; k < faults; ++k) per_fault += "," + fixed(d.spectra[k][j], 14, 6);
    per_fault += "\r\n";
  }
  std::string phase_file = "\x8e\x9e\x8d\x8f(s),\x89\xc1\x91\xac\x93\x78(cm/s2)\r\n";  // 時刻(s),加速度(cm/s2)
  for (std::size_t j = 0; j < d.samples[phase].size(); ++j) {
    phase_file += fixed(static_cast<double>(j) * 0.02, 12, 4) + "," + fixed(d.samples[phase][j], 14, 6) + "\r\n";
  }
  std::string acc = "\x8e\x9e\x8d\x8f(s)";  // 時刻(s)
  std::string vel = acc;
  for (std::size_t c = 1; c <= cases; ++c) {
    acc += label(static_cast<int>(c));
    vel += label(static_cast<int>(c));
  }
  acc += "  ,(cm/s2)\r\n";
  vel += "   ,(cm/s)\r\n";
  for (std::size_t j = 0; j < longest; ++j) {
    acc += fixed(static_cast<double>(j) * 0.02, 12, 4);
    vel += fixed(static_cast<double>(j) * 0.02, 12, 4);
    for (std::size_t c = 0; c < cases; ++c) {
      acc += "," + fixed(j < d.samples[c].size() ? d.samples[c][j] : 0.0, 14, 6);
      vel += "," + fixed(j < velocity[c].size() ? velocity[c][j] : 0.0, 14, 6);
    }
    acc += "\r\n";
    vel += "\r\n";
  }
  const std::string peaks =
      "\x83\x50\x81\x5b\x83\x58\x94\xd4\x8d\x86      ,No. 1      ,No. 2      ,No. 3\r\n"  // ケース番号
      "\x8d\xc5\x91\xe5\x91\xac\x93\x78(cm/s),      5.000000,      0.100000,      2.000000\r\n"
      "\x8d\xc5\x91\xe5\x91\xac\x93\x78\x8f\x87\x88\xca,  1,  3,  2\r\n";  // 最大速度順位

  EXPECT_EQ(folder.read(kResultFiles[0]), target);
  EXPECT_EQ(folder.read(kResultFiles[1]), phase_file);
  EXPECT_EQ(folder.read(kResultFiles[2]), per_fault);
  EXPECT_EQ(folder.read(kResultFiles[3]), acc);
  EXPECT_EQ(folder.read(kResultFiles[4]), vel);
  EXPECT_EQ(folder.read(kResultFiles[5]), peaks);
}

TEST(WholeRun, ReplacesLongerResultFilesOfAnEarlierRun) {
  const DataSet d = DataSet::small();
  ScratchFolder folder;
  d.write_to(folder);
  for (const char* name : kResultFiles) folder.write(name, std::string(100000, 'x'));
  ASSERT_EQ(run_in(folder, "def.csv\n").status, 0);
  EXPECT_EQ(folder.read(kResultFiles[5]).find("xx"), std::string::npos);
  EXPECT_EQ(folder.read(kResultFiles[1]).size(), 23u + 29);  // header and one sample
}

// An error end: what changes in the data set, the console input, and what must come out.
struct ErrorEndCase {
  const char* what;
  void (*prepare)(const ScratchFolder&);
  std::string input;
  std::string out;  // after the prompt
  std::string err;
  int status;
};

void replace_definition(const ScratchFolder& f, const std::string& from, const std::string& to) {
  std::string def = f.read("def.csv");
  const std::size_t at = def.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  def.replace(at, from.size(), to);
  f.write("def.csv", def);
}

const std::string kFault2Path = "quake\\fault2" + kSpectrumName;
const std::string kCase2Path = "quake\\case2" + kWaveformName;

const ErrorEndCase kErrorEnds[] = {
    {"E1 missing definition file", nullptr, "nodef.csv\n\n", "nodef.csv not exist ! [Enter]", "", 1},
    {"E1 folder as definition file",
     [](const ScratchFolder& f) { f.write("adir/x", ""); }, "adir\n\n", "adir not exist ! [Enter]", "", 1},
    {"E1 name cut at 40 bytes", nullptr, std::string(45, 'n') + "\n\n",
     std::string(40, 'n') + " not exist ! [Enter]", "", 1},
    {"E2 22 cases", [](const ScratchFolder& f) { replace_definition(f, "2,3\r\n", "2,22\r\n"); },
     "def.csv\n\n", "Fault number or Case number Error ! [Enter]", "", 1},
    {"E2 counts are text", [](const ScratchFolder& f) { replace_definition(f, "2,3\r\n", "two,3\r\n"); },
     "def.csv\n\n", "Fault number or Case number Error ! [Enter]", "", 1},
    {"E2 one count then a heading", [](const ScratchFolder& f) { replace_definition(f, "2,3\r\n", "2\r\n"); },
     "def.csv\n\n", "Fault number or Case number Error ! [Enter]", "", 1},
    {"E3 fault number 3 of 2",
     [](const ScratchFolder& f) { replace_definition(f, "2,quake\\fault2", "3,quake\\fault2"); },
     "def.csv\n\n", "Fault data line no.\r\n2\r\nError ! [Enter]", "", 1},
    {"E4 fault 2 given by no line",
     [](const ScratchFolder& f) { replace_definition(f, "2,quake\\fault2", "1,quake\\fault2"); },
     "def.csv\n\n", "Fault data no.\r\n2\r\n not exist ! [Enter]", "", 1},
    {"E5 case number 4 of 3",
     [](const ScratchFolder& f) { replace_definition(f, "2,quake\\case2", "4,quake\\case2"); },
     "def.csv\n\n", "Case data line no.\r\n3\r\nError ! [Enter]", "", 1},
    {"E6 case 2 given by no line",
     [](const ScratchFolder& f) { replace_definition(f, "2,quake\\case2", "1,quake\\case2"); },
     "def.csv\n\n", "Case data no.\r\n2\r\n not exist ! [Enter]", "", 1},
    {"E7 spectrum table of fault 2 missing",
     [](const ScratchFolder& f) { std::filesystem::remove(f.path() / "quake/fault2" / kSpectrumHost); },
     "def.csv\n\n", kFault2Path + " not exist ! [Enter]", "", 1},
    {"E8 waveform of case 2 missing",
     [](const ScratchFolder& f) { std::filesystem::remove(f.path() / "quake/case2" / kWaveformHost); },
     "def.csv\n\n", kCase2Path + " not exist ! [Enter]", "", 1},
    {"E9 too many samples",
     [](const ScratchFolder& f) { f.write(std::string("quake/case2/") + kWaveformHost, "100001,0.02\r\n1.0\r\n"); },
     "def.csv\n\n", kCase2Path + " too many samples ! [Enter]", "", 1},
    {"Enter pause meets the end of input", nullptr, "nodef.csv\n", "nodef.csv not exist ! [Enter]",
     "txtrec: severe (24): end-of-file during read, unit 5, file stdin\n", 2},
    {"no answer at all", nullptr, "", "", "txtrec: severe (24): end-of-file during read, unit 5, file stdin\n", 2},
    {"definition file ends inside the case section",
     [](const ScratchFolder& f) { f.write("def.csv", "t\r\n1,2\r\nh\r\n1,quake\\fault1\r\nh\r\n1,quake\\case1\r\n"); },
     "def.csv\n", "", "txtrec: severe (24): end-of-file during read, unit 11, file def.csv\n", 2},
    {"empty definition file", [](const ScratchFolder& f) { f.write("def.csv", ""); }, "def.csv\n", "",
     "txtrec: severe (24): end-of-file during read, unit 11, file def.csv\n", 2},
    {"fault line without a comma",
     [](const ScratchFolder& f) { replace_definition(f, "1,quake\\fault1", "1 quake\\fault1"); },
     "def.csv\n", "", "txtrec: severe (64): input conversion error, unit 11, file def.csv\n", 2},
    {"spectrum table too short",
     [](const ScratchFolder& f) {
       const std::string p = std::string("quake/fault2/") + kSpectrumHost;
       const std::string t = f.read(p);
       f.write(p, t.substr(0, t.size() / 2));
     },
     "def.csv\n", "", "txtrec: severe (24): end-of-file during read, unit 12, file " + kFault2Path + "\n", 2},
    {"text in a spectrum row",
     [](const ScratchFolder& f) {
       const std::string p = std::string("quake/fault2/") + kSpectrumHost;
       std::string t = f.read(p);
       t.replace(t.find(" 1.2345E+03"), 11, "Sa(cm/s2)  ");
       f.write(p, t);
     },
     "def.csv\n", "", "txtrec: severe (64): input conversion error, unit 12, file " + kFault2Path + "\n", 2},
    {"waveform ends early",
     [](const ScratchFolder& f) { f.write(std::string("quake/case2/") + kWaveformHost, "3,0.02\r\n1.0 2.0\r\n"); },
     "def.csv\n", "", "txtrec: severe (24): end-of-file during read, unit 13, file " + kCase2Path + "\n", 2},
    {"waveform sample is text",
     [](const ScratchFolder& f) { f.write(std::string("quake/case2/") + kWaveformHost, "2,0.02\r\n1.0 x\r\n"); },
     "def.csv\n", "", "txtrec: severe (59): list-directed I/O syntax error, unit 13, file " + kCase2Path + "\n", 2},
    {"waveform header with a blank",
     [](const ScratchFolder& f) { f.write(std::string("quake/case2/") + kWaveformHost, "2 0.02\r\n1.0 2.0\r\n"); },
     "def.csv\n", "", "txtrec: severe (64): input conversion error, unit 13, file " + kCase2Path + "\n", 2},
    {"waveform sample too large",
     [](const ScratchFolder& f) { f.write(std::string("quake/case2/") + kWaveformHost, "2,0.02\r\n1.0 1E999\r\n"); },
     "def.csv\n", "", "txtrec: severe (64): input conversion error, unit 13, file " + kCase2Path + "\n", 2},
};

TEST(WholeRun, ErrorEndsLeaveEarlierResultsUntouched) {
  for (const ErrorEndCase& c : kErrorEnds) {
    SCOPED_TRACE(c.what);
    ScratchFolder folder;
    DataSet::small().write_to(folder);
    for (const char* name : kResultFiles) folder.write(name, std::string("old ") + name);
    if (c.prepare != nullptr) c.prepare(folder);
    const auto before = folder.snapshot();
    const RunResult r = run_in(folder, c.input);
    EXPECT_EQ(r.out, c.input.empty() ? kPrompt : kPrompt + c.out);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(folder.snapshot(), before);
  }
}

TEST(WholeRun, AnsweringAfterEmptyLinesAndWithTrailingBlanks) {
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  const RunResult r = run_in(folder, "\n   \n  def.csv   \n");
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.status, 0);
}

TEST(WholeRun, ResultFilesGoToTheWorkingFolder) {
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  // Folder paths made absolute, so that the run can start from another folder.
  std::string def = folder.read("def.csv");
  const std::string absolute = folder.path().string() + "/quake";
  for (std::size_t at = def.find(",quake"); at != std::string::npos; at = def.find(",quake", at + 1)) {
    def.replace(at + 1, 5, absolute);
  }
  folder.write("def.csv", def);
  std::filesystem::create_directory(folder.path() / "out");
  const RunResult r = testing_support::run_program(GMGATHER_EXE, folder.path() / "out", "..\\def.csv\n");
  EXPECT_EQ(r.out, kPrompt);
  ASSERT_EQ(r.status, 0);
  for (const char* name : kResultFiles) {
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "out" / name)) << name;
    EXPECT_FALSE(std::filesystem::exists(folder.path() / name)) << name;
  }
}

}  // namespace

namespace {

TEST(WholeRun, RealisticExample) {
  ScratchFolder folder;
  std::filesystem::copy(GMGATHER_EXAMPLES_DIR "/realistic", folder.path(),
                        std::filesystem::copy_options::recursive);
  const RunResult r = run_in(folder, "def.csv\r\n");
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.status, 0);
  // The peaks agree with an independent computation to the digits it gives
  // (38.08, 128.82, 27.93, 28.23, 68.03, 63.87, 88.32).
  EXPECT_EQ(folder.read(kResultFiles[5]),
            "\x83\x50\x81\x5b\x83\x58\x94\xd4\x8d\x86" + label(1) + label(2) + label(3) +
                label(4) + label(5) + label(6) + label(7) +
                "\r\n\x8d\xc5\x91\xe5\x91\xac\x93\x78(cm/s),     38.083280,    128.820720,"
                "     27.928930,     28.232380,     68.030190,     63.867060,     88.320060\r\n"
                "\x8d\xc5\x91\xe5\x91\xac\x93\x78\x8f\x87\x88\xca,  5,  1,  7,  6,  3,  4,  2\r\n");
  const auto lines = [&](const char* name) {
    const std::string bytes = folder.read(name);
    return std::count(bytes.begin(), bytes.end(), '\n');
  };
  EXPECT_EQ(lines(kResultFiles[0]), 56);
  EXPECT_EQ(lines(kResultFiles[1]), 3001);  // the phase case C06 has 3000 samples
  EXPECT_EQ(lines(kResultFiles[2]), 56);
  EXPECT_EQ(lines(kResultFiles[3]), 4001);  // the longest case C01 has 4000
  EXPECT_EQ(lines(kResultFiles[4]), 4001);
  // The phase waveform file repeats C06's samples: its first sample row.
  const std::string phase = folder.read(kResultFiles[1]);
  const std::string c06 = folder.read("cases/C06/加速度波形.acc");
  const std::string first_sample = c06.substr(c06.find('\n') + 1, 10);
  EXPECT_EQ(phase.substr(23, 29), "      0.0000," + fixed(std::stod(first_sample), 14, 6) + "\r\n");
}

// The shipped example as the README's first command runs it: on the command line, with the
// page; clean to the check, its design wave made without a warning.
TEST(WholeRun, ShippedExample) {
  ScratchFolder folder;
  std::filesystem::copy(GMGATHER_EXAMPLES_DIR "/shipped", folder.path(), std::filesystem::copy_options::recursive);
  const RunResult check = testing_support::run_with_arguments(folder.path(), {"--check", "--fit", "def.csv"});
  EXPECT_EQ(check.out, "0 error(s), 0 warning(s)\r\n");
  EXPECT_EQ(check.status, 0);
  const RunResult r = testing_support::run_with_arguments(folder.path(), {"--report", "--fit", "def.csv"});
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.starts_with("gmgather: design wave: ") && r.err.find(", criteria met; ") != std::string::npos &&
              r.err.find('\n') == r.err.size() - 1)
      << r.err;
  ASSERT_EQ(r.status, 0);
  // The peaks and ranks of tools/make_example.py, computed with numpy (README beside it).
  EXPECT_EQ(folder.read(kResultFiles[5]),
            "\x83\x50\x81\x5b\x83\x58\x94\xd4\x8d\x86" + label(1) + label(2) + label(3) + label(4) + label(5) +
                label(6) + label(7) +
                "\r\n\x8d\xc5\x91\xe5\x91\xac\x93\x78(cm/s),     35.616630,     87.353790,     48.771920,"
                "     60.829440,     75.472480,     53.289540,     74.662580\r\n"
                "\x8d\xc5\x91\xe5\x91\xac\x93\x78\x8f\x87\x88\xca,  7,  1,  6,  4,  2,  5,  3\r\n");
  // Every motion comes back to rest: its velocity at its last sample, as the program
  // integrates it, is within 1 % of its peak (a drifting baseline leaves it far off).
  const std::string velocities = folder.read(kResultFiles[4]);
  const std::vector<std::size_t> samples{2688, 4096, 3000, 8192, 2000, 5000, 6000};
  const std::vector<double> peaks{35.61663, 87.35379, 48.77192, 60.82944, 75.47248, 53.28954, 74.66258};
  for (std::size_t c = 0; c < samples.size(); ++c) {
    std::size_t at = 0;  // the start of the row of the case's last sample (row 0 is the header)
    for (std::size_t row = 0; row < samples[c]; ++row) at = velocities.find('\n', at) + 1;
    for (std::size_t field = 0; field <= c; ++field) at = velocities.find(',', at) + 1;
    EXPECT_LT(std::fabs(std::strtod(velocities.c_str() + at, nullptr)), 0.01 * peaks[c]) << "case " << c + 1;
  }
  // The phase case C04 has 8192 samples, the longest case too.
  const std::string phase = folder.read(kResultFiles[1]);
  EXPECT_EQ(std::count(phase.begin(), phase.end(), '\n'), 8193);
}

}  // namespace

namespace {

TEST(WholeRun, ResultFileTakenByAFolderEndsWithAReport) {
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  std::filesystem::create_directory(folder.path() / kResultFiles[2]);
  const auto before = folder.snapshot();
  const RunResult r = run_in(folder, "def.csv\n");
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, "txtrec: severe (9): permission to access file denied, unit 23, file "
                   "\x8e\x51\x8d\x6c\xa5\x8a\x65\x90\x6b\x8c\xb9\x92\x66\x91\x77\x82\xcc"
                   "\x91\xac\x93\x78\x83\x58\x83\x79\x83\x4e\x83\x67\x83\x8b.csv\n");
  EXPECT_EQ(r.status, 2);
  // Nothing is left behind: no result file, no temporary file.
  EXPECT_EQ(folder.snapshot(), before);
}

TEST(WholeRun, WriteFailureEndsWithAReport) {
  if (!testing_support::launcher().empty()) {
    // Windows has no per-process file-size limit; under Wine the POSIX limit kills the
    // process with SIGXFSZ instead of failing the write.
    GTEST_SKIP() << "the program runs through " << testing_support::launcher()
                 << ", which cannot pass on a file-size limit as a failed write";
  }
  ScratchFolder folder;
  DataSet d = DataSet::small();
  d.samples[0].assign(400, 1.0);  // makes the per-case files longer than the limit
  d.write_to(folder);
  for (const char* name : kResultFiles) folder.write(name, std::string("earlier run\r\n"));
  const auto before = folder.snapshot();
  const RunResult r = run_in(folder, "def.csv\n", 8192);
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, "txtrec: severe (38): error during write, unit 24, file "
                   "\x8e\x51\x8d\x6c\xa5\x8a\x65\x83\x50\x81\x5b\x83\x58\x82\xcc"
                   "\x89\xc1\x91\xac\x93\x78\x94\x67\x8c\x60.csv\n");
  EXPECT_EQ(r.status, 2);
  // The earlier run's files are as they were, and no partial file is left behind.
  EXPECT_EQ(folder.snapshot(), before);
}

}  // namespace
