#!/bin/sh
# Counts the validity test's verdicts on the labelled spectra of make_kk_set: per frequency count,
# how many of the 16 valid spectra pass and how many of the 16 drifting ones do.
#
#   bench/logtool/kk_labelled_bench.sh PROGRAM DIR [check options...]
# PROGRAM: a kalvix-log; DIR: make_kk_set's output. Prints one line per frequency count and, with
# KK_LIST=1, the verdict, M and mu of every spectrum.
set -eu
program=$1 dir=$2
shift 2
for count in 15 30 80; do
    valid=0 drifting=0
    for file in "$dir"/valid-*-"$count".csv "$dir"/drift-*-"$count".csv; do
        json=$("$program" check "$file" --json "$@")
        verdict=$(printf '%s' "$json" | grep -o '"valid":[a-z]*' | cut -d: -f2)
        if [ "${KK_LIST:-0}" = 1 ]; then
            printf '%-34s %-5s %s %s\n' "$(basename "$file")" "$verdict" \
                "$(printf '%s' "$json" | grep -o '"M":[0-9]*')" "$(printf '%s' "$json" | grep -o '"mu":[^,]*')"
        fi
        [ "$verdict" = true ] || continue
        case $(basename "$file") in
        valid-*) valid=$((valid + 1)) ;;
        *) drifting=$((drifting + 1)) ;;
        esac
    done
    echo "$count frequencies: valid spectra called valid $valid of 16, drifting spectra called valid $drifting of 16"
done
