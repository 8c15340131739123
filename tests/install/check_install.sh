#!/usr/bin/env bash
# check_install.sh BUILD VERSION GUI_BUILT [ICON_SIZE...]
# Runs `cmake --install` into a temporary prefix, validates the desktop entry and the AppStream
# metadata there, and checks that the programs, the icons and the help are where the entry, the
# metadata and the program expect them.
set -euo pipefail
build=$1 version=$2 gui_built=$3
shift 3
sizes=("$@")

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
id=example.quelbrook.Wavorax
share=$prefix/share
desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml

desktop-file-validate "$desktop" || fail "desktop-file-validate rejected $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejected $metainfo"
grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo does not name release $version"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "metainfo does not launch $id.desktop"

# The entry's icon and program must exist under the prefix.
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -s "$share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon"
for size in "${sizes[@]}"; do
  png=$share/icons/hicolor/${size}x${size}/apps/$icon.png
  [ -s "$png" ] || fail "no ${size}px icon"
  # Width and height are the big-endian words at bytes 16 and 20 of the PNG header.
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4, $7*256+$8}')
  [ "$w $h" = "$size $size" ] || fail "$png is ${w}x$h"
done

# Dolphin's service menu, starting the same program.
menu=$share/kio/servicemenus/$id.desktop
[ -s "$menu" ] || fail "no service menu $menu"
grep -q '^Exec=wavorax %F$' "$menu" || fail "the service menu does not start wavorax %F"

"$prefix/bin/wavorax-cli" --help >/dev/null || fail "installed wavorax-cli --help failed"
if [ "$gui_built" = 1 ]; then
  exe=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  [ -x "$prefix/bin/$exe" ] || fail "the entry starts $exe, which is not installed"
fi

# The program looks for its help at ../share/wavorax/help/index.html from its own folder.
help=$prefix/bin/../share/wavorax/help
[ -s "$help/index.html" ] || fail "no help index"
[ -s "$help/style.css" ] || fail "no help style sheet"
# Every local link of the help reaches a page that is installed, and its anchor exists there.
for page in "$help"/*.html; do
  for href in $(grep -o 'href="[^"]*"' "$page" | sed 's/^href="//; s/"$//'); do
    case $href in http:* | https:* | mailto:*) continue ;; esac
    file=${href%%#*} anchor=
    [ "$file" != "$href" ] && anchor=${href#*#}
    target=$help/${file:-$(basename "$page")}
    [ -s "$target" ] || fail "$(basename "$page") links to missing $file"
    if [ -n "$anchor" ]; then
      grep -q "name=\"$anchor\"" "$target" || fail "$(basename "$page") links to missing #$anchor"
    fi
  done
done
echo "install tree OK under $prefix"
