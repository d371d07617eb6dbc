// The result files end to end: a name taken by a folder or a FIFO, a full disk on any of the
// six, and odd inputs the run accepts, whose results must equal those of plain ones.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/catalogue.hpp"
#include "support/process.hpp"

namespace {

using namespace catalogue;

// ---------------------------------------------------------------------------------------
// The result files. The six are written to temporary files first and put in the place of
// the earlier ones only when all six are complete: a refusal or a full disk on any of them
// leaves the earlier six as they were and no temporary file behind.

// A folder under the backup name (".old") the earlier file moves to while the new ones go
// in fails that rename after the files before it are in place: they are moved back.
TEST(CatalogueResultFiles, ANameTakenByAFolderLeavesTheEarlierFiles) {
  for (const std::string suffix : {"", ".old"}) {
    for (int i = 0; i < 6; ++i) {
      SCOPED_TRACE(kResultFiles[i] + suffix);
      ScratchFolder folder;
      DataSet::small().write_to(folder);
      place_earlier_results(folder);
      folder_at(kResultFiles[i] + suffix)(folder);
      const Listing before = listing(folder);
      const RunResult r = run_case(folder, kNoPause);
      EXPECT_EQ(r.out, kPrompt);
      // The start, which finishes what a stopped run left, names the folder it leaves alone.
      const std::string left_alone =
          suffix.empty() ? "" : "gmgather: " + result_name(i) + ".old left as it is (a folder or not a file there)\r\n";
      EXPECT_EQ(r.err, left_alone + severe(9, 21 + i, result_name(i)));
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(differences(before, listing(folder)), "");
    }
  }
}

// A FIFO under a result name is refused at once (the open does not wait for a reader).
TEST(CatalogueResultFiles, AFifoUnderAResultNameIsRefusedWithoutWaiting) {
  if (!testing_support::launcher().empty()) {
    GTEST_SKIP() << "a FIFO is not a Windows file type: through " << testing_support::launcher()
                 << " the program meets it as a pipe and refuses it as no disk file (report 9)";
  }
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  place_earlier_results(folder);
  fifo_at(kResultFiles[5])(folder);
  const Listing before = listing(folder);
  const RunResult r = run_case(folder, kNoPause);
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, severe(42, 26, result_name(5)));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(differences(before, listing(folder)), "");
}

// A file-size limit fails the first file that outgrows it. With the small data set the
// target spectrum (file 1) is 1618 bytes; with six faults the per-fault spectra (file 3) are
// 5.8 KiB while files 1 and 2 stay under 4 KiB.
TEST(CatalogueResultFiles, AFullDiskOnTheFirstOrThirdFileLeavesTheEarlierFiles) {
  if (!testing_support::launcher().empty()) {
    GTEST_SKIP() << "the file-size limit is not passed through a launcher";
  }
  struct Case {
    int file;
    int faults;
    rlim_t limit;
  };
  for (const Case& c : {Case{0, 2, 1024}, Case{2, 6, 4096}}) {
    SCOPED_TRACE(kResultFiles[c.file]);
    ScratchFolder folder;
    DataSet d = DataSet::small();
    const std::vector<double> spectrum = d.spectra[1];
    d.spectra.resize(static_cast<std::size_t>(c.faults), spectrum);
    d.write_to(folder);
    place_earlier_results(folder);
    const Listing before = listing(folder);
    const RunResult r = run_case(folder, kNoPause, c.limit);
    EXPECT_EQ(r.out, kPrompt);
    EXPECT_EQ(r.err, severe(38, 21 + c.file, result_name(c.file)));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(differences(before, listing(folder)), "");
  }
}

// The sixth file (the peak velocities, under 1 KiB) is smaller than the first, so no
// file-size limit can make it the one that fails; a small file system can. The run's folder
// is a tmpfs of 11 pages holding the six earlier files (a page each): the first five new
// files (a page each) fill it, and the sixth finds it full.
TEST(CatalogueResultFiles, AFullDiskOnTheSixthFileLeavesTheEarlierFiles) {
  if (!testing_support::launcher().empty()) {
    GTEST_SKIP() << "a mounted file system is not passed through a launcher";
  }
  // A mount namespace of this test process's own, so that the mount is private to it and
  // goes away with it.
  static const bool isolated =
      unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  if (!isolated) GTEST_SKIP() << "cannot mount a small tmpfs here (needs CAP_SYS_ADMIN)";
  ScratchFolder folder;
  DataSet::small().write_to(folder);
  // Every folder path as seen from the run's folder.
  std::string def = folder.read("def.csv");
  for (std::size_t at = def.find(",quake\\"); at != std::string::npos; at = def.find(",quake\\", at + 4)) {
    def.insert(at + 1, "..\\");
  }
  folder.write("def.csv", def);
  const fs::path out = folder.path() / "out";
  fs::create_directory(out);
  const long page = sysconf(_SC_PAGESIZE);
  const std::string size = "size=" + std::to_string(11 * page);
  if (mount("tmpfs", out.c_str(), "tmpfs", 0, size.c_str()) != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here";
  }
  place_earlier_results(folder, "out/");
  const Listing before = listing(folder);
  const RunResult r = testing_support::run_program(GMGATHER_EXE, out, "..\\def.csv\n", 0,
                                                    testing_support::launcher(), {}, "4");
  const Listing after = listing(folder);
  umount2(out.c_str(), MNT_DETACH);
  EXPECT_EQ(r.out, kPrompt);
  EXPECT_EQ(r.err, severe(38, 26, result_name(5)));
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(differences(before, after), "");
}

// ---------------------------------------------------------------------------------------
// Odd inputs the run accepts (the cases; how they are run is shared with the long inputs).

const std::string kName40 = std::string(36, 'd') + ".csv";  // a definition file name of 40 bytes
Setup copy_definition_to(const std::string& name) {
  return [=](const ScratchFolder& f) { f.write(name, f.read("def.csv")); };
}

DataSet case2_without_samples() {
  DataSet d = DataSet::small();
  d.samples[1].clear();
  return d;
}
DataSet case2_second_sample_zero() {
  DataSet d = DataSet::small();
  d.samples[1][1] = 0.0;
  return d;
}

const Accepted kAccepted[] = {
    {"the case count on the next line", edit_definition("2,3\r\n", "2\r\n3\r\n"), kNoPause, nullptr},
    {"counts written as reals are cut toward zero", edit_definition("2,3\r\n", "2.9,3.5\r\n"), kNoPause,
     nullptr},
    {"a fault count of 2049 bytes", edit_definition("2,3\r\n", std::string(2048, '0') + "2,3\r\n"), kNoPause,
     nullptr},
    {"an answer of 2049 bytes keeps its first 40", copy_definition_to(kName40),
     kName40 + std::string(2009, 'x') + "\n", nullptr},
    {"a quoted answer of 2049 bytes keeps its first 40", copy_definition_to(kName40),
     "'" + kName40 + std::string(2009, 'x') + "'\n", nullptr},
    {"an answer ended by a CR and no LF", nullptr, "def.csv\r", nullptr},
    {"a sample of 2049 bytes", put(waveform_file(2), "2,0.02\r\n" + std::string(2047, '0') + "10 -10\r\n"),
     kNoPause, nullptr},
    {"a repeated sample of 2049 bytes, its count included",
     put(waveform_file(1), "3,0.02\r\n" + std::string(2044, '0') + "3*100\r\n"), kNoPause, nullptr},
    {"a huge repeat count fills only the samples asked for",
     put(waveform_file(1), "3,0.02\r\n99999999999999999999*100\r\n"), kNoPause, nullptr},
    {"samples with CR-only line ends after a CR LF header",
     put(waveform_file(1), "3,0.02\r\n100\r100\r100\r"), kNoPause, nullptr},
    {"a spectrum table whose last row has no line end",
     [](const ScratchFolder& f) {
       std::string t = f.read(spectrum_file(2));
       f.write(spectrum_file(2), t.substr(0, t.size() - 2));
     },
     kNoPause, nullptr},
    {"NUL and invalid Shift-JIS bytes in a header line",
     edit(spectrum_file(1), "header line 3", "header\0line\x81\xFF\x80 3"s), kNoPause, nullptr},
    {"sample count -5, then a record: no samples", put(waveform_file(2), "-5,0.02\r\n10 -10\r\n"), kNoPause,
     case2_without_samples},
    {"1E-999 reads as zero", put(waveform_file(2), "2,0.02\r\n10 -1E-999\r\n"), kNoPause,
     case2_second_sample_zero},
    {"every case's count 0 or less: no sample anywhere",
     all_of({put(waveform_file(1), "-5,0.02\r\n1 2\r\n"), put(waveform_file(2), "0,0.02\r\n\r\n"),
             put(waveform_file(3), "-1,0.02\r\n3\r\n")}),
     kNoPause, [] {
       DataSet d = DataSet::small();
       for (std::vector<double>& s : d.samples) s.clear();
       return d;
     }},
};

TEST(CatalogueAccepted, OddInputsGiveTheResultsOfPlainOnes) {
  for (const Accepted& c : kAccepted) expect_accepted(c);
}

// The definition file's name a console input answers with: its first line, unquoted, cut
// to 40 bytes.
std::string answered_name(const std::string& input) {
  std::string name = input.substr(0, input.find_first_of("\r\n"));
  if (name.size() >= 2 && name.front() == '\'') name = name.substr(1, name.size() - 2);
  return name.substr(0, 40);
}

// A run at the prompt with `options`, of the odd input `c` (`spoiled`) or of its plain
// twin, with a line for the Enter pause after an error message.
RunResult run_with(const Accepted& c, bool spoiled, const std::vector<std::string>& options, ScratchFolder& folder) {
  (c.same_as != nullptr && !spoiled ? c.same_as() : DataSet::small()).write_to(folder);
  if (spoiled && c.prepare) c.prepare(folder);
  const std::string& input = spoiled ? c.input : kNoPause;
  return testing_support::run_with_arguments(folder.path(), options, input + (input.ends_with('\n') ? "\n" : "\n\n"));
}

// With every option a run takes together, an odd input ends as its plain twin does:
// the same CSV files with --spectra --report, and with --fit as well the same end (the
// small set's records are too short to fit: the fit's own error); and a check with those
// options agrees with that run.
TEST(CatalogueAccepted, OddInputsEndAsPlainOnesWithEveryOption) {
  const std::vector<std::string> both = {"--spectra", "--report"};
  const std::vector<std::string> all = {"--spectra", "--fit", "--report"};
  for (const Accepted& c : kAccepted) {
    SCOPED_TRACE(c.what);
    ScratchFolder twin, spoiled;
    const RunResult want = run_with(c, false, both, twin);
    const RunResult got = run_with(c, true, both, spoiled);
    EXPECT_EQ(got.status, 0) << got.err;
    EXPECT_EQ(got.status, want.status);
    EXPECT_EQ(got.err, want.err);
    const Listing want_files = listing(twin), got_files = listing(spoiled);
    for (const auto& [name, bytes] : want_files) {
      if (name.ends_with(".csv") && name.find('/') == std::string::npos && name.find("def") == std::string::npos) {
        EXPECT_TRUE(got_files.count(name) == 1 && got_files.at(name) == bytes) << name;
      }
    }
    EXPECT_EQ(got_files.count("参考･結果図表.html"), 1u);

    ScratchFolder twin_fit, spoiled_fit, checked;
    const RunResult want_fit = run_with(c, false, all, twin_fit);
    const RunResult got_fit = run_with(c, true, all, spoiled_fit);
    EXPECT_EQ(got_fit.status, want_fit.status);
    EXPECT_EQ(got_fit.out, want_fit.out);
    EXPECT_EQ(got_fit.err, want_fit.err);
    DataSet::small().write_to(checked);
    if (c.prepare) c.prepare(checked);
    std::vector<std::string> check = {"--check"};
    check.insert(check.end(), all.begin(), all.end());
    check.push_back(answered_name(c.input));
    const RunResult checking = testing_support::run_with_arguments(checked.path(), check);
    EXPECT_EQ(checking.status, got_fit.status == 0 ? 0 : 1) << checking.out;
    if (got_fit.status == 1) {
      const std::string ending = testing_support::error_end_on_one_line(got_fit.out.substr(kPrompt.size()));
      const std::size_t error = checking.out.find(": error: ");
      ASSERT_NE(error, std::string::npos) << checking.out;
      EXPECT_EQ(checking.out.substr(error + 9, ending.size()), ending);
    }
  }
}

}  // namespace
