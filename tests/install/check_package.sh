#!/usr/bin/env bash
# Builds the Debian package of the build tree, unpacks it into a temporary root with dpkg -x,
# and runs the unpacked wavorax-cli from there: --help, a conversion, its manual page and its
# bash completion.
# Usage: check_package.sh BUILD_DIR
set -euo pipefail
build=$1
fail() { echo "check_package: $*" >&2; exit 1; }

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
(cd "$build" && cpack -G DEB -B "$root/out" >/dev/null) || fail "cpack failed"
deb=$(ls "$root"/out/wavorax_*.deb) || fail "no package was made"
dpkg-deb --field "$deb" Depends | grep -q libavcodec || fail "no library dependencies computed"
dpkg -x "$deb" "$root/tree"

cli=$root/tree/usr/bin/wavorax-cli
"$cli" --help | grep -q "flac" || fail "the unpacked wavorax-cli --help does not list flac"
sox -n -r 44100 -c 2 -b 16 "$root/tone.wav" synth 1 sine 440
printf '[Options]\nBrowseOutputFolder=0\n' >"$root/settings.conf"
"$cli" --settings "$root/settings.conf" -j 1 -f flac -o "$root/converted" "$root/tone.wav" \
  >/dev/null || fail "the unpacked wavorax-cli could not convert"
flac -s -t "$root/converted/tone.flac" || fail "the converted file does not test"

man -l "$root/tree/usr/share/man/man1/wavorax-cli.1.gz" 2>/dev/null | grep -q -- "--if-exists" ||
  fail "the manual page lacks --if-exists"
words=$(bash -c "source '$root/tree/usr/share/bash-completion/completions/wavorax-cli'
  COMP_WORDS=(wavorax-cli -f ''); COMP_CWORD=2; _wavorax_cli; echo \${COMPREPLY[*]}")
[[ " $words " == *" opus "* ]] || fail "bash completes -f with '$words'"
words=$(bash -c "source '$root/tree/usr/share/bash-completion/completions/wavorax-cli'
  COMP_WORDS=(wavorax-cli --set FLACComp); COMP_CWORD=2; _wavorax_cli; echo \${COMPREPLY[*]}")
[ "$words" = "FLACCompression=" ] || fail "bash completes --set FLACComp with '$words'"
echo "check_package: ok"
