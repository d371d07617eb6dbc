#pragma once
// What a design wave is held to, defined once: the fit decides against these, the run's
// messages, the check and the page show them. R = pSv of the wave / target over the axis
// periods (h = 0.05); velocities and displacements as the run integrates them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace fitted_wave {

enum class Criterion : std::uint8_t {
  MinRatio,           // min R >= 0.85
  Variation,          // standard deviation of R / mean of R <= 0.05 (population)
  MeanError,          // |mean R - 1| <= 0.02
  FinalVelocity,      // |final velocity| <= 1 % of the peak velocity
  FinalDisplacement,  // |final displacement| <= 5 % of the peak displacement
  FirstSample,        // |first sample| <= 1 % of the peak acceleration
};
inline constexpr std::size_t kCriteria = 6;

struct CriterionText {
  Criterion criterion;
  double bound;
  bool at_least;          // the value must be >= bound (else <= bound)
  std::string_view name;  // as the run's messages name the value (ASCII)
};

inline constexpr std::array<CriterionText, kCriteria> kCriterionTexts = {{
    {Criterion::MinRatio, 0.85, true, "min R"},
    {Criterion::Variation, 0.05, false, "variation of R"},
    {Criterion::MeanError, 0.02, false, "|mean R - 1|"},
    {Criterion::FinalVelocity, 0.01, false, "|final velocity| / peak velocity"},
    {Criterion::FinalDisplacement, 0.05, false, "|final displacement| / peak displacement"},
    {Criterion::FirstSample, 0.01, false, "|first sample| / peak acceleration"},
}};

constexpr const CriterionText& text_of(Criterion c) { return kCriterionTexts[static_cast<std::size_t>(c)]; }
constexpr double bound_of(Criterion c) { return text_of(c).bound; }

// Whether `value` meets criterion c by at least `margin` (0: the bare bound). A NaN
// meets nothing.
constexpr bool meets(Criterion c, double value, double margin = 0.0) {
  const CriterionText& t = text_of(c);
  return t.at_least ? value >= t.bound + margin : value <= t.bound - margin;
}

// The margin by which a wave must meet every criterion for the fit to stop at it. The
// transform's twiddle factors come from each host's sin and cos, so two builds may differ
// in the last bits of a wave: no decision to stop rests on a difference that small.
inline constexpr double kStopMargin = 1e-6;

// Information beside the criteria, not a criterion: the share of the wave's Arias
// intensity (running sum of squared acceleration) before the time at which the phase
// case's reaches kOnsetShare of its total. Raising the band moves energy in time by
// design (the phase case's bands arrive at their own times), so it is shown, with
// kQuietLeadIn as what a quiet lead-in keeps to.
inline constexpr double kOnsetShare = 0.01;
inline constexpr double kQuietLeadIn = 0.02;

// The amplitude adjustments a fit makes at most.
inline constexpr int kIterationLimit = 20;

}  // namespace fitted_wave
