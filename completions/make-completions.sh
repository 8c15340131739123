#!/usr/bin/env bash
# Fills the completion templates with the program's own words: its long options from
# `wavorax-cli --help`, its formats and its setting names from completion-words.
# Usage: make-completions.sh CLI WORDS TEMPLATE OUTPUT
set -euo pipefail
cli=$1 words=$2 template=$3 output=$4
eval "$("$words")"
OPTIONS=$("$cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u | tr '\n' ' ' | sed 's/ $//')
sed -e "s|@OPTIONS@|$OPTIONS|" -e "s|@FORMATS@|$FORMATS|" -e "s|@SETTINGS@|$SETTINGS|" \
  "$template" >"$output"
