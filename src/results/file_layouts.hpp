#pragma once
// The record layouts of the result files: how a write statement lays out each kind of
// record. The data records of a file have one of the value-row shapes, which the rendered
// write path produces without a statement (textio/value_records.hpp).
#include "textio/record_writer.hpp"

namespace results::layouts {
using K = textio::Descriptor::Kind;
// A, $: bytes as they stand, no line end added (a file given whole, such as the page).
inline constexpr textio::Descriptor kBytes[] = {{K::A}, {K::Dollar}};
// A: a header line of one label.
inline constexpr textio::Descriptor kLabel[] = {{K::A}};
// F12.4, A1, F14.6: a time or period, ",", a value.
inline constexpr textio::Descriptor kOneValueRow[] = {{K::F, 12, 4}, {K::Aw, 1}, {K::F, 14, 6}};
// A, 10(A10, I2): the header of the per-fault spectrum file.
inline constexpr textio::Descriptor kFaultHeading[] = {
    {K::A}, {K::GroupBegin, 0, 0, 10}, {K::Aw, 10}, {K::I, 2}, {K::GroupEnd}};
// F12.4, 10(A1, F14.6): a row of the per-fault spectrum file.
inline constexpr textio::Descriptor kFaultRow[] = {
    {K::F, 12, 4}, {K::GroupBegin, 0, 0, 10}, {K::Aw, 1}, {K::F, 14, 6}, {K::GroupEnd}};
// A, 30(A10, I2): the headers of the per-case files.
inline constexpr textio::Descriptor kCaseHeading[] = {
    {K::A}, {K::GroupBegin, 0, 0, 30}, {K::Aw, 10}, {K::I, 2}, {K::GroupEnd}};
// F12.4, 30(A1, F14.6): a row of the per-case waveform files.
inline constexpr textio::Descriptor kCaseRow[] = {
    {K::F, 12, 4}, {K::GroupBegin, 0, 0, 30}, {K::Aw, 1}, {K::F, 14, 6}, {K::GroupEnd}};
// A, 30(A1, F14.6): the peak velocities.
inline constexpr textio::Descriptor kPeakRow[] = {
    {K::A}, {K::GroupBegin, 0, 0, 30}, {K::Aw, 1}, {K::F, 14, 6}, {K::GroupEnd}};
// A, 30(A1, I3): the ranks.
inline constexpr textio::Descriptor kRankRow[] = {
    {K::A}, {K::GroupBegin, 0, 0, 30}, {K::Aw, 1}, {K::I, 3}, {K::GroupEnd}};
// F12.4, 61(A1, F14.6): a row of the response spectra file (the target, then two
// columns per case).
inline constexpr textio::Descriptor kSpectraRow[] = {
    {K::F, 12, 4}, {K::GroupBegin, 0, 0, 61}, {K::Aw, 1}, {K::F, 14, 6}, {K::GroupEnd}};
}  // namespace results::layouts
