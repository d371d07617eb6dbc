#!/usr/bin/env bash
# Rebuilds the seed corpora under fuzz/corpus/ from examples/realistic (small slices of it)
# and from inputs the tests use. The corpora are committed; run this only to change them.
# Usage: fuzz/make_corpus.sh
set -euo pipefail
cd "$(dirname "$0")/.."
ex=examples/realistic
out=fuzz/corpus
# Only the corpora made here: the others (fuzz_check_files) are kept as committed.
rm -rf "$out/fuzz_whole_run" "$out/fuzz_record_reader" "$out/fuzz_number_format"
mkdir -p "$out/fuzz_whole_run" "$out/fuzz_record_reader" "$out/fuzz_number_format"

sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }
nankai=$(sjis 南海)
tsuika=$(sjis 追加検討)

# --- fuzz_whole_run: "====NAME" lines separate the console input and the files --------

# The first n samples of a waveform, five to a line, under a header announcing n (the
# header keeps the fixed columns of the original when it had them).
wave_slice() {
  local file=$1 n=$2 header
  header=$(head -1 "$file")
  if [[ $header == " "* ]]; then printf '%10d,      0.02\r\n' "$n"; else printf '%d,0.02\r\n' "$n"; fi
  sed -n "2,$((1 + (n + 4) / 5))p" "$file"
}

# A spectrum table of short rows: 15 header lines, then 55 rows of a period, 26 empty
# fields (read as 0.0) and the spectrum value.
short_table() {
  local scale=$1 j
  for j in $(seq 1 15); do printf 'header line %d\r\n' "$j"; done
  for j in $(seq 1 55); do
    printf '%d.%03d,,,,,,,,,,,,,,,,,,,,,,,,,,,%d.125\r\n' $((j / 10)) $((j % 10 * 100)) $((scale * j))
  done
}

small_def() {  # 2 faults, 3 cases listed 1, 3, 2
  printf 'folder definition for a trial run\r\n%s\r\nNo.,source fault folder\r\n' "${1:-2,3}"
  printf '1,f1\r\n2,f2\r\nNo.,case folder\r\n1,c1\r\n3,c3\r\n2,c2\r\nnotes after the case section\r\n'
}

# The small data set of the end-to-end tests; $1 replaces the console input, $2 the
# definition file ("-" for an empty one), $3 is appended (more pieces).
small_run() {
  printf '%s' "${1-def.csv
}"
  printf '====def\n'
  case ${2:-} in
    "") small_def ;;
    -) ;;
    *$'\n') printf '%s' "$2" ;;
    *) printf '%s\n' "$2" ;;  # $(...) drops the last line end; the separator needs its own line
  esac
  printf '====f1\n'; short_table 3
  printf '====f2\n'; short_table 4
  printf '====c1\n3,0.02\r\n   100.000   100.000   100.000\r\n'
  printf '====c2\n2,0.02\r\n    10.000   -10.000\r\n'
  printf '====c3\n1,0.02\r\n   200.000\r\n'
  printf '%s' "${3:-}"
}

w=$out/fuzz_whole_run
{
  printf 'def.csv\r\n====def\n'
  printf 'title\r\n3,2\r\nNo.,faults\r\n1,f1\r\n2,f2\r\n3,F3_%s\r\nNo.,cases\r\n1,c1\r\n2,C07_%s\r\n' "$nankai" "$tsuika"
  printf '====f1\n'; cat "$ex/faults/F1/Velmora長周期.csv"
  printf '====f2\n'; cat "$ex/faults/F2/Velmora長周期.csv"
  printf '====fj\n'; cat "$ex/faults/F3_南海/Velmora長周期.csv"
  printf '====c1\n'; wave_slice "$ex/cases/C01/加速度波形.acc" 60
  printf '====cj\n'; wave_slice "$ex/cases/C07_追加検討/加速度波形.acc" 40
} > "$w/realistic_slice"
{
  printf 'def.csv\n====def\n'
  printf 'title\r\n1,1\r\nNo.\r\n1,f1\r\nNo.\r\n                   1c1\r\n'
  printf '====f1\n'; cat "$ex/faults/F2/Velmora長周期.csv"
  printf '====c1\n'; wave_slice "$ex/cases/C03/加速度波形.acc" 25
} > "$w/realistic_fixed_columns"
small_run > "$w/small"
small_run $'\n   \n  def.csv   \n' > "$w/answer_after_empty_lines"
small_run $'\'def.csv\'\n' > "$w/answer_quoted"
small_run $'nodef.csv\n\n' > "$w/e1_missing_definition"
small_run "$(printf '%045d' 0)"$'\n\n' > "$w/e1_name_cut_at_40"
small_run "" > "$w/no_answer"
small_run $'nodef.csv\n' > "$w/pause_meets_end_of_input"
small_run $'def.csv\n\n' "$(small_def 2,22)" > "$w/e2_22_cases"
small_run $'def.csv\n\n' "$(small_def two,3)" > "$w/e2_counts_text"
small_run $'def.csv\n\n' "$(small_def 2)" > "$w/e2_one_count"
small_run $'def.csv\n\n' "$(small_def | sed 's/^2,f2/3,f2/')" > "$w/e3_fault_number_3_of_2"
small_run $'def.csv\n\n' "$(small_def | sed 's/^2,f2/1,f2/')" > "$w/e4_fault_2_missing"
small_run $'def.csv\n\n' "$(small_def | sed 's/^2,c2/4,c2/')" > "$w/e5_case_number_4_of_3"
small_run $'def.csv\n\n' "$(small_def | sed 's/^2,c2/1,c2/')" > "$w/e6_case_2_missing"
small_run $'def.csv\n\n' "$(small_def | sed 's/^2,f2/2,f9/')" > "$w/e7_spectrum_missing"
small_run $'def.csv\n\n' "$(small_def | sed 's/^3,c3/3,c9/')" > "$w/e8_waveform_missing"
small_run $'def.csv\n\n' "" $'====c2\n100001,0.02\r\n1.0\r\n' > "$w/e9_too_many_samples"
small_run $'def.csv\n' $'t\r\n1,2\r\nh\r\n1,f1\r\nh\r\n1,c1\r\n' > "$w/definition_ends_in_case_section"
small_run $'def.csv\n' - > "$w/definition_empty"
small_run $'def.csv\n' "$(small_def | sed 's/^1,f1/1 f1/')" > "$w/fault_line_without_comma"
small_run $'def.csv\n' "" $'====f2\nh\r\nh\r\n1,2\r\n' > "$w/spectrum_too_short"
small_run $'def.csv\n' "" "====f2
$(short_table 4 | sed '20s/,,/,Sa(cm\/s2),/')
" > "$w/spectrum_text_in_row"
small_run $'def.csv\n' "" $'====c2\n3,0.02\r\n1.0 2.0\r\n' > "$w/waveform_ends_early"
small_run $'def.csv\n' "" $'====c2\n2,0.02\r\n1.0 x\r\n' > "$w/waveform_sample_text"
small_run $'def.csv\n' "" $'====c2\n2 0.02\r\n1.0 2.0\r\n' > "$w/waveform_header_blank"
small_run $'def.csv\n' "" $'====c2\n2,0.02\r\n1.0 1E999\r\n' > "$w/waveform_sample_1e999"
small_run $'def.csv\n' "" $'====c2\n4,0.02\r\n1.5D-02,2*-3.25e1\r\n 7 /\r\n' > "$w/waveform_repeat_and_slash"
small_run $'def.csv\n' "" $'====c2\n40,0.02\r\n40*1E7\r\n' > "$w/waveform_overflows_fields"
small_run $'def.csv\n' "" $'====c2\n3000,0.02\r\n3000*1.5\r\n' > "$w/waveform_3000_repeated"
small_run $'def.csv\n' "" $'====c2\n0,0.02\r\n\r\n' > "$w/waveform_no_samples"
small_run $'def.csv\n' "" $'====r3\n' > "$w/result_name_taken_by_folder"
small_run $'def.csv\n' "" $'====t4\n' > "$w/temporary_name_taken_by_folder"
small_run $'def.csv\n' "" $'====o3\n' > "$w/backup_name_taken_by_folder"
small_run $'def.csv\n' "" $'====c2\n40,0.02\r\n40*1E7\r\n====o1\n' > "$w/overflow_then_backup_name_taken"
small_run $'def.csv\n' "" $'====c2\n3000,0.02\r\n3000*1.5\r\n====limit\n2000\n' > "$w/disk_full_case_files"
# What a stopped run (or another program) leaves: markers of every kind, and files under
# the temporary and backup names. Result file k's name, and a marker placing files 1..n.
result_name() { sed -n "${1}p" <<'NAMES'
入力用･目標速度スペクトル.csv
入力用･位相用加速度波形.csv
参考･各震源断層の速度スペクトル.csv
参考･各ケースの加速度波形.csv
参考･各ケースの速度波形.csv
参考･各ケースの最大速度.csv
NAMES
}
marker_placing() {  # marker_placing N [extra line]: places files 1..N
  local k
  printf 'gmgather: result files being put in place; the next start of gmgather here finishes this (format 1)\r\n'
  for k in $(seq 1 "$1"); do printf 'place %s\r\n' "$(sjis "$(result_name "$k")")"; done
  printf '%s' "${2:-}"
  printf 'end %d\r\n' "$(($1 + ${3:-0}))"
}
parts() {  # the new files a stopped run left for results $@
  local k
  for k in "$@"; do printf '====p%d\na stopped run wrote result %d\r\n' "$k" "$k"; done
}
small_run $'def.csv\n' "" "$(printf '====marker\n'; marker_placing 6; parts 1 2 3 4 5 6)
" > "$w/leftover_marker_committed"
small_run $'def.csv\n\n' "" "$(printf '====marker\n'; marker_placing 3; parts 1 3; printf '====r3\n')
" > "$w/leftover_marker_cannot_finish"
small_run $'def.csv\n' "" "$(printf '====marker\n'; marker_placing 1 $'place def.csv\r\n' 1; parts 1)
" > "$w/leftover_marker_naming_def"
small_run $'def.csv\n' "" $'====marker\nthings I still have to do\r\n====p2\nx\r\n' > "$w/leftover_marker_foreign"
small_run $'def.csv\n' "" "$(printf '====marker\n====p2\nx\r\n')
" > "$w/leftover_marker_empty"
small_run $'def.csv\n' "" "$(printf '====marker\n'; marker_placing 2 | head -c 150; printf '\n'; parts 1 2)
" > "$w/leftover_marker_cut_short"
small_run $'def.csv\n\n' "" $'====p2\nhalf a file\r\n====b4\na copy an earlier version left\r\n' > "$w/leftover_part_and_copy"
small_run $'def.csv\n' "" "$(printf '====marker\n'; marker_placing 1; parts 1; printf '====b1\nthe copy\r\n')
" > "$w/leftover_copy_of_committed_set"
small_run $'def.csv\n' "" $'====report\n' > "$w/report_small"
small_run $'def.csv\n' "" $'====c2\n4,0.02\r\n1E300 1E300 -1E300 0\r\n====report\n' > "$w/report_huge_values"
small_run $'def.csv\n' "" $'====spectra\n' > "$w/spectra_small"
small_run $'def.csv\n' "" $'====c2\n4,0.02\r\n1E300 1E300 -1E300 0\r\n====spectra\n====report\n' > "$w/spectra_huge_values"
# Counts that read no sample, with every option that reads the samples again, and a set
# whose cases all read none.
small_run $'def.csv\n' "" $'====c2\n-5,0.02\r\n10 -10\r\n====spectra\n====report\n' > "$w/count_negative_spectra_report"
small_run $'def.csv\n' "" $'====c1\n-5,0.02\r\n1\r\n====c2\n0,0.02\r\n\r\n====c3\n-1,0.02\r\n3\r\n====spectra\n====report\n' \
  > "$w/all_cases_empty_spectra_report"
small_run $'def.csv\n\n' "" $'====spectra\n====report\n====fit\n' > "$w/every_option_small"
small_run $'def.csv\n\n' $'t\r\n2,1\r\nh\r\n1,f1\r\n2,f2\r\nh\r\n1,c1\r\n' $'====c1\n-5,0.02\r\n1 2\r\n====fit\n' \
  > "$w/fit_one_case_negative_count"
# The design wave: made (three cases of 8 s on the axis to 5.5 s), and not made (a phase
# case too short for the axis, or of one sample, or constant).
wave_of() {  # $1 samples of a chirp, scaled by $2
  printf '%d,0.02\r\n' "$1"
  awk -v n="$1" -v s="$2" 'BEGIN { for (i = 0; i < n; i++) printf "%10.3f\r\n", s * sin(0.002 * i * i) }'
}
fit_cases() {  # case c has $1 samples, scaled by c
  local c
  for c in 1 2 3; do printf '====c%d\n' "$c"; wave_of "$1" "$((c * 100))"; done
}
small_run $'def.csv\n' "" "$(fit_cases 400; printf '====fit\n====report')
" > "$w/fit_made"
small_run $'def.csv\n\n' "" "$(fit_cases 200; printf '====fit')
" > "$w/fit_phase_case_too_short"
small_run $'def.csv\n\n' "" $'====fit\n' > "$w/fit_phase_case_of_one_sample"
small_run $'def.csv\n\n' "" $'====c3\n3000,0.02\r\n3000*1.5\r\n====fit\n' > "$w/fit_phase_case_constant"
{ cat "$w/realistic_slice"; printf '====fit\n'; } > "$w/fit_realistic_slice"
# A design wave written but short of its criteria (status 4): fault 1's row 31 fifty times
# its neighbours; and one no F14.6 field holds (F6): a target of 1e9 cm/s at 0.1 s.
table_with_row() {  # short_table $1 with row $2 holding $3
  short_table "$1" | awk -v r=$(($2 + 15)) -v v="$3" 'BEGIN { FS = OFS = "," } NR == r { $NF = v "\r" } { print }'
}
small_run $'def.csv\n' "" "$(fit_cases 400; printf '====f1\n'; table_with_row 3 31 4650.125; printf '====fit')
" > "$w/fit_missed_sharp_target"
small_run $'def.csv\n\n' "" "$(fit_cases 400; printf '====f1\n'; table_with_row 3 1 1000000000; printf '====f2\n';
  table_with_row 4 1 1000000000; printf '====fit')
" > "$w/fit_wave_beyond_its_field"
# The smallest whole run: one fault whose table is all zeros, one case of one sample. Its
# result files are each larger than the input, so a size limit can cut even the first.
tiny_run() {
  printf 'd\n====def\nt\n1 1\nh\n1,f\nh\n1,c\n====f1\n'
  printf '\n%.0s' $(seq 1 70)
  printf '====c1\n1\n5\n%s' "${1:-}"
}
tiny_run | sed 's/1,f$/1,f1/; s/1,c$/1,c1/; s/^d$/def.csv/' > "$w/tiny"
tiny_run $'====limit\n0\n' | sed 's/1,f$/1,f1/; s/1,c$/1,c1/; s/^d$/def.csv/' > "$w/disk_full_first_file"

# --- fuzz_record_reader: 4 header bytes (chunking, sample count, statement count), the
# statements (0 skip, 1 answer, 2 counts, 3 folder line, 4 spectrum row, 5 spectrum row
# of 30 values, 6 waveform header, 7 samples), then the unit's bytes --------------------
r=$out/fuzz_record_reader
reader_seed() {  # name, chunking byte, sample count, statements (hex bytes), data
  local name=$1 chunk=$2 count=$3 ops=$4 data=$5
  {
    printf "\\x$(printf %02x "$chunk")\\x$(printf %02x $((count & 255)))\\x$(printf %02x $((count >> 8)))"
    printf "\\x$(printf %02x $((${#ops} / 2)))"
    local i
    for ((i = 0; i < ${#ops}; i += 2)); do printf "\\x${ops:i:2}"; done
    printf '%s' "$data"
  } > "$r/$name"
}
reader_seed definition_file 200 0 000200030300030303 "$(head -c 327 "$ex/def.csv")"
reader_seed definition_file_chunked 2 0 000200030300030303 "$(head -c 327 "$ex/def.csv")"
reader_seed spectrum_rows 7 0 0000040404 "$(sed -n '14,18p' "$ex/faults/F1/Velmora長周期.csv")"
reader_seed spectrum_row_restart 1 0 0505 "$(sed -n '16,19p' "$ex/faults/F2/Velmora長周期.csv")"
reader_seed waveform 5 60 0607 "$(wave_slice "$ex/cases/C01/加速度波形.acc" 60)"
reader_seed waveform_fixed_columns 200 20 0607 "$(wave_slice "$ex/cases/C03/加速度波形.acc" 20)"
reader_seed answer_and_pause 3 0 0100 $'\n   \n  def.csv   \r\n\r\n'
reader_seed answer_quoted 200 0 010101 $'\'D:\\data\\def file.txt\'\n"a,b/c"\n\'ab\r\ncd\'\n'
reader_seed answer_sjis 1 0 0101 "$(sjis 震源断層)"$',x\n\'never closed\n'
reader_seed counts_forms 2 0 0202020202020202 $'3, 12\n3\n12,7\n3,,\n3/\n2*7\n2*\n1*,9\n2.9 -2.9\n'
reader_seed counts_errors 200 0 02020202 $'3 x\n3 \'5\'\n3 2147483648\n3 1E999\n'
reader_seed folder_lines 4 0 0303030303 $'12,D:\\a b\\c\n12\n1 2,x\n12, D:\\x\nA,y\n'
reader_seed waveform_headers 200 0 060606 $'12000,0.01\n12000,1E-2\n   100000      0.02\n'
reader_seed samples_forms 9 12 07 $'1.5E-02 1.5D-02 1,5\r\n3*-.5 2* 1q3\n +7. -8 9e+1\n'
reader_seed samples_none 200 0 0707 $'\n\n'

# --- fuzz_number_format: a first byte below 0x20 and a double's bits, or a text ---------
n=$out/fuzz_number_format
bits_seed() {  # name, then 14 bytes in hex: mode, the 8 bytes of a double (little-endian),
               # field width - 1, decimals, dyadic scale, small integer, integer width - 1
  local name=$1 hex=$2 i
  for ((i = 0; i < ${#hex}; i += 2)); do printf "\\x${hex:i:2}"; done > "$n/$name"
}
bits_seed zero          0400000000000000000b04450503
bits_seed eighth_tie    04000000000000c03f05024505030b   # 0.125: ties to even
bits_seed beyond_2p24   040000000800007041110a40090302   # 16777216.5
bits_seed tiny_negative 0b24202e528b350abf0b0441fb0b02   # -4.999e-05
bits_seed subnormal     010100000000000000400900110703   # 5e-324
bits_seed nan           02000000000000f87f0b0410800c02
bits_seed near_overflow 072497ffffcf1263410b0445050c0b   # 9999999.99995
bits_seed minus_half    03000000000000e0bf0d0645020702   # -0.5
for text in 1.5E-02 1.5d-02 5 -.5 +3. 1E999 1E-999 1.2.3 1-2 E5 . inf 0x10 42 -2.9 1E3 \
    2147483648 -2147483648 "  1.5 " "1 2" "- 7" "4000 0.02" 2.4703282292062328e-324 \
    1.7976931348623158e308 9007199254740993 0.1234567890123456789012345 1Q+2 "1 E 5"; do
  printf '%s' "$text" > "$n/text_$(printf '%s' "$text" | md5sum | cut -c1-8)"
done
printf '0.%0900d1e1' 0 > "$n/text_long_mantissa"

# --- fuzz_hints: how the run ended, the error number, then "====" between the files ------
h=$out/fuzz_hints
mkdir -p "$h"
printf '\x00\x00t\r\n2,22\r\nh\r\n' > "$h/counts_22_cases"
printf '\x00\x00\xff\xfet\x00\r\x00\n\x002\x00,\x003\x00' > "$h/counts_utf16"
printf '\x01\x02t\r\n1,1\r\nh\r\n1 f1\r\n' > "$h/line_without_comma"
printf '\x02\x00t\r\n1,1\r\nh\r\n1,\xe6\x96\xad\xe5\xb1\xa4A\r\n\n====\nx\n====\n\xe6\x96\xad\xe5\xb1\xa4A' > "$h/folder_utf8"
printf '\x03\x00t\r\n1,1\r\n\n====\n3,0.02\r\n1 2 3\r\n\n====\nd,,' > "$h/folder_trailing_commas"
printf '\x03\x00t\r\n\n====\n3,0.02\r\n1 2 3\r\n\n====\nd+' > "$h/waveform_hidden_extension"
printf '\x05\x02t\n====\n3 0.02\r\n1 2 3\r\n' > "$h/waveform_header_blank"
printf '\x05\x02t\n====\n\xef\xbb\xbf3,0.02\r\n1 2 3\r\n' > "$h/waveform_mark"
printf '\x05\x00t\n====\n5,0.02\r\n1 2 3\r\n' > "$h/waveform_short"
{ printf '\x04\x00t\n====\n'; for i in $(seq 14); do echo "h $i"; done; for j in $(seq 55); do echo "$j.0,1,2,3"; done; } > "$h/table_14_header_lines"
{ printf '\x04\x00t\n====\n'; for i in $(seq 15); do echo "h $i"; done; for j in $(seq 50); do echo "$j.0,1,2,3"; done; } > "$h/table_50_rows"

du -sh "$out"/*
