// Every Shift-JIS text the program holds as escaped bytes, checked against a CP932
// conversion of the text it stands for.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/run.hpp"
#include "inputs/spectrum_table.hpp"
#include "inputs/waveform.hpp"
#include "results/result_files.hpp"

#include "support/cp932.hpp"

namespace {

using testing_support::to_cp932;

TEST(ShiftJisLiterals, MatchTheirCp932Conversion) {
  struct Case {
    std::string_view held;
    const char* text;
  };
  const Case cases[] = {
      {gm::kPrompt, "震源断層/ケースフォルダ定義ファイル:"},
      {inputs::kSpectrumTableName, "\\Velmora長周期.csv"},
      {inputs::kWaveformName, "\\加速度波形.acc"},
      {results::kTargetSpectrumFile, "入力用･目標速度スペクトル.csv"},
      {results::kPhaseWaveformFile, "入力用･位相用加速度波形.csv"},
      {results::kFaultSpectraFile, "参考･各震源断層の速度スペクトル.csv"},
      {results::kCaseAccelerationFile, "参考･各ケースの加速度波形.csv"},
      {results::kCaseVelocityFile, "参考･各ケースの速度波形.csv"},
      {results::kPeakVelocityFile, "参考･各ケースの最大速度.csv"},
      {results::kTargetSpectrumHeader, "周期(s),速度Sv(cm/s)"},
      {results::kPhaseWaveformHeader, "時刻(s),加速度(cm/s2)"},
      {results::kPeriodLabel, "周期(s)"},
      {results::kTimeLabel, "時刻(s)"},
      {results::kCaseNumberLabel, "ケース番号"},
      {results::kPeakVelocityLabel, "最大速度(cm/s)"},
      {results::kPeakRankLabel, "最大速度順位"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(std::string(c.held), to_cp932(c.text));
  }
  EXPECT_EQ(gm::kPrompt.size(), 36u);
  EXPECT_EQ(inputs::kSpectrumTableName.size(), 18u);
  EXPECT_EQ(inputs::kWaveformName.size(), 15u);
}

}  // namespace
