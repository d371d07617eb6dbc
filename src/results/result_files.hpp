#pragma once
// The six result files, written into the current folder one after the other, each
// opened, written whole and closed before the next. Contents are Shift-JIS with CR LF
// line ends; every number is a fixed-width field (times and periods F12.4, values F14.6,
// column numbers I2, ranks I3).
#include <optional>
#include <string_view>

#include "parallel/workers.hpp"
#include "tables/run_tables.hpp"
#include "platform/console.hpp"
#include "textio/report.hpp"

namespace results {

// File names, in the order they are written (units 21 to 26). "･" is the half-width
// middle dot, the single byte 0xA5.
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
inline constexpr std::string_view kColumnLabel = ",No.";
inline constexpr std::string_view kVelocityUnitLabel = ",(cm/s)";
inline constexpr std::string_view kAccelerationUnitLabel = ",(cm/s2)";
inline constexpr std::string_view kComma = ",";

// A file the run adds to the set after the six (the report page, unit 27): its name and
// its bytes, written as they are.
struct AddedFile {
  std::string_view name;
  std::string_view bytes;
};

// Writes the six files from the tables (setting longest_case_samples on the way), then the
// added file if any, the rendering shared among `workers`; the bytes, reports and faults
// are the same for any number of threads. Each is written whole under a temporary name
// and all replace the files of their names only when all are complete and on the disk
// (flushed by the workers' threads at once). Returns the record layer's fault, for the
// file it names, when a file cannot be created, written, flushed or put in place; the
// files of an earlier run are then left as they were. Overflow reports go to `console`.
std::optional<textio::Fault> write_result_files(gm::RunTables& t, platform::Console& console,
                                                const parallel::Workers& workers = parallel::Workers(1),
                                                const AddedFile* added = nullptr);

}  // namespace results
