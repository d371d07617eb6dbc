#pragma once
// The input files' units, as the record layer's reports show them, and the fixed-width
// layouts their records are read through.
#include "textio/record_reader.hpp"

namespace inputs {

inline constexpr int kDefinitionFileUnit = 11;
inline constexpr int kSpectrumTableUnit = 12;
inline constexpr int kWaveformUnit = 13;

namespace layouts {
using K = textio::FieldDescriptor::Kind;
inline constexpr textio::FieldDescriptor kFolderLine[] = {{K::I, 20, 0, 1}, {K::A, 400, 0, 1}};  // I20, A400
inline constexpr textio::FieldDescriptor kSpectrumRow[] = {{K::F, 20, 0, 28}};                   // 28F20.0
inline constexpr textio::FieldDescriptor kWaveformHeader[] = {{K::I, 20, 0, 1}, {K::F, 20, 0, 1}};  // I20, F20.0
}  // namespace layouts

}  // namespace inputs
