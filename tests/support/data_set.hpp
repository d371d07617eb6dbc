#pragma once
// A small valid data set for end-to-end runs (fault folders with spectrum tables, case
// folders with waveforms, the definition file that lists them), and the Shift-JIS texts
// and host names that runs show or leave behind.
#include <cstdio>
#include <string>
#include <vector>

#include "support/process.hpp"

namespace testing_support {

inline const std::string kPrompt =
    "\x90\x6b\x8c\xb9\x92\x66\x91\x77/\x83\x50\x81\x5b\x83\x58\x83\x74\x83\x48\x83\x8b\x83\x5f"
    "\x92\xe8\x8b\x60\x83\x74\x83\x40\x83\x43\x83\x8b:";  // 震源断層/ケースフォルダ定義ファイル:
inline const std::string kSpectrumName = "\\Velmora\x92\xb7\x8e\xfc\x8a\xfa.csv";  // \Velmora長周期.csv
inline const std::string kWaveformName = "\\\x89\xc1\x91\xac\x93\x78\x94\x67\x8c\x60.acc";  // \加速度波形.acc
inline const char* const kSpectrumHost = "Velmora長周期.csv";
inline const char* const kWaveformHost = "加速度波形.acc";
// Host (UTF-8) names of the six result files, in the order they are written (units 21-26).
inline const char* const kResultFiles[] = {
    "入力用･目標速度スペクトル.csv",       "入力用･位相用加速度波形.csv",
    "参考･各震源断層の速度スペクトル.csv", "参考･各ケースの加速度波形.csv",
    "参考･各ケースの速度波形.csv",         "参考･各ケースの最大速度.csv",
};

inline std::string fixed(double v, int w, int d) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%*.*f", w, d, v);
  return buffer;
}

// Fault k lives in quake/faultk and case c in quake/casec (host paths; the definition file
// spells them quake\faultk and quake\casec).
struct DataSet {
  std::vector<std::vector<double>> spectra;  // per fault, 55 values
  std::vector<std::vector<double>> samples;  // per case
  std::vector<double> periods;

  static DataSet small() {
    DataSet d;
    for (int j = 1; j <= 55; ++j) d.periods.push_back(0.1 * j);
    for (int k = 1; k <= 2; ++k) {
      std::vector<double> s;
      for (int j = 1; j <= 55; ++j) s.push_back(k == 1 ? 3.0 * j : 4.0 * j + 0.125);
      d.spectra.push_back(s);
    }
    d.samples = {{100, 100, 100}, {10, -10}, {200}};
    return d;
  }

  std::string definition_file() const {
    std::string def = "folder definition for a trial run\r\n";
    def += std::to_string(spectra.size()) + "," + std::to_string(samples.size()) + "\r\n";
    def += "No.,source fault folder\r\n";
    for (std::size_t k = 1; k <= spectra.size(); ++k) {
      def += std::to_string(k) + ",quake\\fault" + std::to_string(k) + "\r\n";
    }
    def += "No.,case folder\r\n";
    // Out of order on purpose, as 1, 3, 2 for three cases.
    def += "1,quake\\case1\r\n";
    for (std::size_t c = samples.size(); c >= 2; --c) {
      def += std::to_string(c) + ",quake\\case" + std::to_string(c) + "\r\n";
    }
    return def + "notes after the case section are never read\r\n";
  }

  std::string spectrum_table(std::size_t k) const {
    std::string table;
    for (int i = 1; i <= 15; ++i) table += i == 5 ? "\r\n" : "header line " + std::to_string(i) + "\r\n";
    for (std::size_t j = 0; j < 55; ++j) {
      table += fixed(periods[j], 0, 3);
      for (int f = 2; f <= 27; ++f) table += ", 1.2345E+03";
      table += "," + fixed(spectra[k][j], 0, 6) + "\r\n";
    }
    return table;
  }

  std::string waveform(std::size_t c) const {
    std::string w = std::to_string(samples[c].size()) + ",0.02\r\n";
    for (std::size_t j = 0; j < samples[c].size(); ++j) {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%10.3f", samples[c][j]);
      w += buffer;
      if (j % 5 == 4 || j + 1 == samples[c].size()) w += "\r\n";
    }
    return samples[c].empty() ? w + "\r\n" : w;
  }

  void write_to(const ScratchFolder& folder) const {
    folder.write("def.csv", definition_file());
    for (std::size_t k = 0; k < spectra.size(); ++k) {
      folder.write("quake/fault" + std::to_string(k + 1) + "/" + kSpectrumHost, spectrum_table(k));
    }
    for (std::size_t c = 0; c < samples.size(); ++c) {
      folder.write("quake/case" + std::to_string(c + 1) + "/" + kWaveformHost, waveform(c));
    }
  }
};

// Runs the program under test in `folder`; `file_size_limit` and `threads` as for
// run_program.
inline RunResult run_in(const ScratchFolder& folder, const std::string& input, rlim_t file_size_limit = 0,
                        const std::string& threads = {}) {
  return run_program(GMGATHER_EXE, folder.path(), input, file_size_limit, launcher(), {}, threads);
}

// A host path as the program under test spells it: as it is, or, for a program run
// through a launcher (Wine), in Windows form on the drive Z: that holds the Linux root.
// ASCII paths only: the program gets it as an argument or in a definition file.
inline std::string program_path(const std::filesystem::path& path) {
  std::string p = path.string();
  if (launcher().empty()) return p;
  for (char& c : p) c = c == '/' ? '\\' : c;
  return path.is_absolute() ? "Z:" + p : p;
}

// Runs the program under test in `folder` with arguments, and no console input unless given.
inline RunResult run_with_arguments(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                                    const std::string& input = "") {
  return run_program(GMGATHER_EXE, folder, input, 0, launcher(), arguments);
}

}  // namespace testing_support
