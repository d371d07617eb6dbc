#pragma once
// Layouts of the kinds a program reads and writes through the record layer, for its tests:
// the record layer itself knows none.
#include "textio/record_reader.hpp"
#include "textio/record_writer.hpp"

namespace sample_layouts {
using K = textio::Descriptor::Kind;
inline constexpr textio::Descriptor kR1[] = {{K::A}, {K::Dollar}};                    // A, $
inline constexpr textio::Descriptor kR2[] = {{K::A}};                                 // A
inline constexpr textio::Descriptor kR3[] = {{K::F, 12, 4}, {K::Aw, 1}, {K::F, 14, 6}};  // F12.4, A1, F14.6
inline constexpr textio::Descriptor kR4[] = {  // A, 10(A10, I2)
    {K::A}, {K::GroupBegin, 0, 0, 10}, {K::Aw, 10}, {K::I, 2}, {K::GroupEnd}};
inline constexpr textio::Descriptor kR5[] = {  // F12.4, 10(A1, F14.6)
    {K::F, 12, 4}, {K::GroupBegin, 0, 0, 10}, {K::Aw, 1}, {K::F, 14, 6}, {K::GroupEnd}};
inline constexpr textio::Descriptor kR6[] = {  // A, 30(A10, I2)
    {K::A}, {K::GroupBegin, 0, 0, 30}, {K::Aw, 10}, {K::I, 2}, {K::GroupEnd}};
inline constexpr textio::Descriptor kR7[] = {  // F12.4, 30(A1, F14.6)
    {K::F, 12, 4}, {K::GroupBegin, 0, 0, 30}, {K::Aw, 1}, {K::F, 14, 6}, {K::GroupEnd}};
inline constexpr textio::Descriptor kR8[] = {  // A, 30(A1, F14.6)
    {K::A}, {K::GroupBegin, 0, 0, 30}, {K::Aw, 1}, {K::F, 14, 6}, {K::GroupEnd}};
inline constexpr textio::Descriptor kR9[] = {  // A, 30(A1, I3)
    {K::A}, {K::GroupBegin, 0, 0, 30}, {K::Aw, 1}, {K::I, 3}, {K::GroupEnd}};

using F = textio::FieldDescriptor::Kind;
inline constexpr textio::FieldDescriptor kFolderLine[] = {{F::I, 20, 0, 1}, {F::A, 400, 0, 1}};  // I20, A400
inline constexpr textio::FieldDescriptor kSpectrumRow[] = {{F::F, 20, 0, 28}};                   // 28F20.0
inline constexpr textio::FieldDescriptor kWaveformHeader[] = {{F::I, 20, 0, 1}, {F::F, 20, 0, 1}};  // I20, F20.0
}  // namespace sample_layouts
