#pragma once
// The numbers behind a chart, worked out before anything is drawn: the axis ranges and
// their ticks, and the waveform envelopes that keep a chart small without losing a peak.
#include <cstddef>
#include <string>
#include <vector>

namespace report {

// An axis range with its tick marks (values, in increasing order).
struct Axis {
  double lo = 0.0;
  double hi = 1.0;
  std::vector<double> ticks;
};

// A linear axis over [lo, hi] (finite, lo <= hi) stretched to whole multiples of a step of
// 1, 2 or 5 times a power of ten, the one nearest to a `target_ticks`-th of the range:
//   linear_axis(0, 128.8, 6)  -> 0 .. 140, ticks every 20
//   linear_axis(-3.2, 7, 5)   -> -4 .. 8, ticks every 2
// A range of one value is widened around it, so a flat line still gets an axis. Ranges
// near the limits of a double are handled without overflow. Unstretched, the axis keeps
// the range as given and the ticks are the step's multiples inside it (for charts that
// should use their height: linear_axis(-135, 135, 4, false) -> ticks -100 -50 0 50 100).
Axis linear_axis(double lo, double hi, int target_ticks, bool stretch = true);

// A logarithmic axis over [lo, hi] (both finite and > 0) stretched to the 1-2-5 values
// around them, with a tick at each 1, 2 and 5 times a power of ten inside:
//   log_axis(1, 10)    -> 1 .. 10, ticks 1 2 5 10
//   log_axis(3.3, 180) -> 2 .. 200, ticks 2 5 10 20 50 100 200
Axis log_axis(double lo, double hi);

// The text of a tick label: as few decimals as the step between ticks needs, and powers
// of ten for values too large or too small for that: 0.5 (step 0.1) -> "0.5",
// 20 (step 10) -> "20", 1e12 -> "1e12".
std::string tick_label(double value, double step);

// A value as a chart's label gives it to a reader: `digits` significant digits (at least
// 1), never more decimals than the result files' six, and powers of ten from 1e7 up:
//   reading(937.258, 4) -> "937.3"    reading(38.08328, 4) -> "38.08"
//   reading(9.99996, 4) -> "10.00"    reading(0.000123456, 4) -> "0.000123"
//   reading(-0.0, 4) -> "0"           reading(12345678, 4) -> "1.235e+07"
// The table beside the chart keeps the files' digits, for finding the value in them.
std::string reading(double value, int digits);

// The decimals that show the multiples of a time step as far as the step goes, from the
// step's shortest decimal text: 0.02 -> 2, 0.5 -> 1, 1 -> 0, 0.025 -> 3 (at most 6).
int step_decimals(double step);

// A point of a waveform: its sample index (from 0) and value.
struct Sample {
  int index = 0;
  double value = 0.0;
};

// The envelope of waveforms on a time axis of `axis_samples` samples drawn in `columns`
// pixel columns: per column, the lowest and the highest sample that falls in it. Drawn in
// time order, these points keep every true extreme of the waveform (the highest point of
// the chart is its largest sample), at a cost of two points per column however long the
// waveform. With no more samples than columns every sample is kept. Of equal values the
// later sample is kept, as the evaluation keeps the later of equal peaks.
class Envelope {
 public:
  Envelope(int axis_samples, int columns);

  // Takes sample `index` (0 <= index < axis_samples). A value that is not finite cannot
  // be drawn: it is counted, not kept.
  void add(int index, double value) { add_span(column_of(index), index, &value, 1, 1); }
  // Takes `count` samples from `first` on, all in `column`, the first at `values` and each
  // next one `stride` doubles further. A column's worth at a time keeps the running
  // extremes in registers, and a pass over many waveforms that lie side by side in memory
  // reads each stretch of rows once while it is in the cache. Calls for different columns
  // may run on different threads at once.
  void add_span(std::size_t column, int first, const double* values, std::ptrdiff_t stride, int count);

  std::size_t columns() const { return columns_.size(); }
  // The column sample `index` falls in, and the first sample of a column.
  std::size_t column_of(int index) const {
    return static_cast<std::size_t>(static_cast<long long>(index) * columns_count_ / axis_samples_);
  }
  int first_of(std::size_t column) const {
    const long long c = static_cast<long long>(column);
    return static_cast<int>((c * axis_samples_ + columns_count_ - 1) / columns_count_);
  }

  // The points to draw, in time order; a column whose lowest and highest sample are the
  // same sample gives one point.
  std::vector<Sample> points() const;
  // The lowest and the highest value taken, held to include zero (both 0 when none was):
  // what a chart's axis must hold with its zero line.
  double lowest() const;
  double highest() const;
  // The sample of the largest absolute value (the later one of equals); index -1 when
  // no finite value was taken.
  Sample peak() const;
  int non_finite() const;

 private:
  struct Column {
    Sample low{-1, 0.0};
    Sample high{-1, 0.0};
    int non_finite = 0;  // per column, so that threads filling other columns never share it
  };

  long long axis_samples_;
  long long columns_count_;
  std::vector<Column> columns_;
};

}  // namespace report
