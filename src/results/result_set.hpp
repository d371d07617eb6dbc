#pragma once
// The result set: every file a run may write into the current folder, in the order it is
// written, each with its name, unit, heading and where its rows come from. The two ways of
// writing, the staging, the sizes and the counts all read it from here, so a new result
// file is one entry in result_set.cpp (and its row source). Contents are Shift-JIS with
// CR LF line ends; every number is a fixed-width field (times and periods F12.4, values
// F14.6, column numbers I2, ranks I3).
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "tables/run_tables.hpp"
#include "textio/record_writer.hpp"

namespace results {

// File names. "･" is the half-width middle dot, the single byte 0xA5.
inline constexpr std::string_view kTargetSpectrumFile =
    "\x93\xfc\x97\xcd\x97\x70\xa5\x96\xda\x95\x57\x91\xac\x93\x78"
    "\x83\x58\x83\x79\x83\x4e\x83\x67\x83\x8b.csv";  // 入力用･目標速度スペクトル.csv
inline constexpr std::string_view kPhaseWaveformFile =
    "\x93\xfc\x97\xcd\x97\x70\xa5\x88\xca\x91\x8a\x97\x70"
    "\x89\xc1\x91\xac\x93\x78\x94\x67\x8c\x60.csv";  // 入力用･位相用加速度波形.csv
inline constexpr std::string_view kFaultSpectraFile =
    "\x8e\x51\x8d\x6c\xa5\x8a\x65\x90\x6b\x8c\xb9\x92\x66\x91\x77\x82\xcc"
    "\x91\xac\x93\x78\x83\x58\x83\x79\x83\x4e\x83\x67\x83\x8b.csv";  // 参考･各震源断層の速度スペクトル.csv
inline constexpr std::string_view kCaseAccelerationFile =
    "\x8e\x51\x8d\x6c\xa5\x8a\x65\x83\x50\x81\x5b\x83\x58\x82\xcc"
    "\x89\xc1\x91\xac\x93\x78\x94\x67\x8c\x60.csv";  // 参考･各ケースの加速度波形.csv
inline constexpr std::string_view kCaseVelocityFile =
    "\x8e\x51\x8d\x6c\xa5\x8a\x65\x83\x50\x81\x5b\x83\x58\x82\xcc"
    "\x91\xac\x93\x78\x94\x67\x8c\x60.csv";  // 参考･各ケースの速度波形.csv
inline constexpr std::string_view kPeakVelocityFile =
    "\x8e\x51\x8d\x6c\xa5\x8a\x65\x83\x50\x81\x5b\x83\x58\x82\xcc"
    "\x8d\xc5\x91\xe5\x91\xac\x93\x78.csv";  // 参考･各ケースの最大速度.csv
inline constexpr std::string_view kCaseSpectraFile =
    "\x8e\x51\x8d\x6c\xa5\x8a\x65\x83\x50\x81\x5b\x83\x58\x82\xcc\x89\x9e\x93\x9a"
    "\x83\x58\x83\x79\x83\x4e\x83\x67\x83\x8b.csv";  // 参考･各ケースの応答スペクトル.csv
inline constexpr std::string_view kFittedWaveFile =
    "\x93\xfc\x97\xcd\x97\x70\xa5\x96\xcd\x8b\x5b\x92\x6e\x90\x6b\x94\x67\x8c\x60.csv";  // 入力用･模擬地震波形.csv
inline constexpr std::string_view kReportPageFile =
    "\x8e\x51\x8d\x6c\xa5\x8c\x8b\x89\xca\x90\x7d\x95\x5c.html";  // 参考･結果図表.html

// Labels.
inline constexpr std::string_view kTargetSpectrumHeader =
    "\x8e\xfc\x8a\xfa(s),\x91\xac\x93\x78Sv(cm/s)";  // 周期(s),速度Sv(cm/s)
inline constexpr std::string_view kPhaseWaveformHeader =
    "\x8e\x9e\x8d\x8f(s),\x89\xc1\x91\xac\x93\x78(cm/s2)";  // 時刻(s),加速度(cm/s2)
inline constexpr std::string_view kPeriodLabel = "\x8e\xfc\x8a\xfa(s)";  // 周期(s)
inline constexpr std::string_view kTimeLabel = "\x8e\x9e\x8d\x8f(s)";    // 時刻(s)
inline constexpr std::string_view kCaseNumberLabel =
    "\x83\x50\x81\x5b\x83\x58\x94\xd4\x8d\x86";  // ケース番号
inline constexpr std::string_view kPeakVelocityLabel =
    "\x8d\xc5\x91\xe5\x91\xac\x93\x78(cm/s)";  // 最大速度(cm/s)
inline constexpr std::string_view kPeakRankLabel =
    "\x8d\xc5\x91\xe5\x91\xac\x93\x78\x8f\x87\x88\xca";  // 最大速度順位
inline constexpr std::string_view kCaseSpectraTitle =
    "\x8a\x65\x83\x50\x81\x5b\x83\x58\x82\xcc\x89\x9e\x93\x9a\x83\x58\x83\x79\x83\x4e\x83\x67\x83\x8b"
    " (\x8c\xb8\x90\x8a\x92\xe8\x90\x94 h = 0.05)";  // 各ケースの応答スペクトル (減衰定数 h = 0.05)
inline constexpr std::string_view kTargetSvLabel = "\x96\xda\x95\x57Sv(cm/s)";  // 目標Sv(cm/s)
inline constexpr std::string_view kCaseLabel = "\x83\x50\x81\x5b\x83\x58";    // ケース
inline constexpr std::string_view kColumnLabel = ",No.";
inline constexpr std::string_view kVelocityUnitLabel = ",(cm/s)";
inline constexpr std::string_view kAccelerationUnitLabel = ",(cm/s2)";
inline constexpr std::string_view kComma = ",";

// The data records of a file. Record j (from 1) holds first(j), then value(j, k) for
// k = 0..values-1.
struct DataRows {
  int count = 0;
  int values = 0;
  const double* firsts = nullptr;  // first(j) = firsts[j - 1]; null: the time of sample j
  double time_step = 0.0;
  // value(j, k) = base[(j - 1) * row_step + k * value_step]
  const double* base = nullptr;
  std::ptrdiff_t row_step = 0;
  std::ptrdiff_t value_step = 0;
  textio::Layout layout;  // of one data record, for writing it by statement
  // Rows held in no table: fill(*source, j, rows, out) puts the values of records j to
  // j + rows - 1 at out, record after record (value k of the r-th at out[r * row_step +
  // k], row_step being `values`), and `base` is unused.
  void (*fill)(const gm::RunTables&, int first, int rows, double* out) = nullptr;
  const gm::RunTables* source = nullptr;

  double first(int j) const noexcept {
    // The time from the index on every row, never accumulated: the last of 100000 rows
    // stays exact.
    return firsts != nullptr ? firsts[j - 1] : static_cast<double>(j - 1) * time_step;
  }
  // Of rows held in a table.
  const double* row(int j) const noexcept { return base + static_cast<std::ptrdiff_t>(j - 1) * row_step; }
};

// What asks for a file beyond those every run writes.
enum class Option { None, Report, Spectra, Fit };

// What a run asks for beyond the files every run writes, and the bytes of the files it
// makes elsewhere (the page).
struct Request {
  bool report = false;
  bool spectra = false;
  bool fit = false;
  std::string_view page;

  bool asks(Option option) const noexcept {
    switch (option) {
      case Option::None: return true;
      case Option::Report: return report;
      case Option::Spectra: return spectra;
      case Option::Fit: return fit;
    }
    return false;
  }
  std::string_view bytes_for(Option option) const noexcept { return option == Option::Report ? page : std::string_view(); }
};

// A file of the set.
struct ResultFile {
  std::string_view name;
  int unit;
  Option option;
  // The statements before the data records (for the peak-velocity file, the whole file);
  // null: the file is bytes the run made elsewhere, written as they stand.
  void (*heading)(const gm::RunTables&, textio::OutputUnit&);
  // The data records from the tables; null: none.
  DataRows (*rows)(const gm::RunTables&);
};

// Every file of the set, in the order written (units 21 upwards).
std::span<const ResultFile> result_set();

// A file as this run writes it: its entry, its rows, and for a file made elsewhere its bytes.
struct FileContent {
  const ResultFile* file = nullptr;
  DataRows rows;
  std::string_view bytes;

  int unit() const noexcept { return file->unit; }
  std::string_view name() const noexcept { return file->name; }
};

// Which files of the set: those every run writes, those of the options asked for, or both.
enum class Files { Always, Optional, All };

// The files this run writes, in order; the contents point into `t` and `request`.
std::vector<FileContent> result_contents(const gm::RunTables& t, const Request& request, Files which = Files::All);

// The statements before the data records: the file's heading, or the whole of a file
// made elsewhere (its bytes as they stand, no line end added).
void write_header(const gm::RunTables& t, const FileContent& file, textio::OutputUnit& unit);

// Writes the file whole through the record layer, one statement per record: the way of
// writing every other way is held to.
void write_by_statements(const gm::RunTables& t, const FileContent& file, textio::OutputUnit& unit);

}  // namespace results
