#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installed desktop
# files. Arguments: cmake build-dir source-dir version expect-png-icons
#                   desktop-file-validate appstreamcli
set -uo pipefail
cmake="$1" build="$2" source="$3" version="$4" expect_png="$5" dfv="$6" ascli="$7"

prefix="$(mktemp -d "${TMPDIR:-/tmp}/sortelle-install-XXXXXX")"
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

if ! "$cmake" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1; then
    cat "$prefix.log"; rm -f "$prefix.log"
    echo "FAIL: cmake --install"; exit 1
fi
rm -f "$prefix.log"

# The program.
[[ -x "$prefix/bin/sortelle" ]] && pass "bin/sortelle" || fail "bin/sortelle missing or not executable"

# The introduction page, the same page as in the sources, where the program looks
# for it (<program folder>/../share/quendrix-sortelle/).
page="$prefix/share/quendrix-sortelle/introduction.html"
if cmp -s "$page" "$source/resources/help/introduction.html"; then pass "introduction page"
else fail "share/quendrix-sortelle/introduction.html missing or different"; fi
if grep -qiE '(src|href)="(https?:)?//' "$page" 2>/dev/null; then
    fail "the introduction page loads something from outside"
fi

# The launcher entry: valid, and pointing at the installed program and icon.
desktop="$prefix/share/applications/quendrix-sortelle.desktop"
if [[ -f "$desktop" ]]; then
    out="$("$dfv" "$desktop" 2>&1)" && [[ -z "$out" ]] && pass "desktop-file-validate" \
        || fail "desktop-file-validate: $out"
    grep -qx 'Name=Quendrix Sortelle' "$desktop" || fail "launcher Name"
    grep -qx 'Icon=quendrix-sortelle' "$desktop" || fail "launcher Icon"
    exec_cmd="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
    [[ -x "$prefix/bin/$exec_cmd" ]] && pass "Exec=$exec_cmd is the installed program" \
        || fail "Exec=$exec_cmd is not a program in bin/"
else
    fail "share/applications/quendrix-sortelle.desktop missing"
fi

# The AppStream metainfo: valid, this build's version, launching the entry above.
metainfo="$prefix/share/metainfo/org.quendrix.sortelle.metainfo.xml"
if [[ -f "$metainfo" ]]; then
    out="$("$ascli" validate --no-net --pedantic "$metainfo" 2>&1)" && pass "appstreamcli validate" \
        || fail "appstreamcli validate: $out"
    grep -q "<release version=\"$version\"" "$metainfo" && pass "release $version" \
        || fail "metainfo release is not version $version"
    grep -q '<launchable type="desktop-id">quendrix-sortelle.desktop</launchable>' "$metainfo" \
        || fail "metainfo launchable"
    grep -q '<content_rating type="oars-' "$metainfo" || fail "metainfo content rating"
else
    fail "share/metainfo/org.quendrix.sortelle.metainfo.xml missing"
fi

# The icons in the hicolor theme.
icons="$prefix/share/icons/hicolor"
cmp -s "$icons/scalable/apps/quendrix-sortelle.svg" "$source/resources/icons/app/quendrix-sortelle.svg" \
    && pass "scalable icon" || fail "scalable icon missing or different"
if [[ "$expect_png" == 1 ]]; then
    for size in 16 22 24 32 48 64 128 256; do
        png="$icons/${size}x${size}/apps/quendrix-sortelle.png"
        # PNG header: the width and height are the big-endian words at bytes 16 and 20.
        dims="$(od -An -tu4 --endian=big -j16 -N8 "$png" 2>/dev/null | tr -s ' ' | sed 's/^ //')"
        if [[ "$dims" == "$size $size" ]]; then pass "icon ${size}x${size}"
        else fail "icon ${size}x${size}: missing or wrong size ($dims)"; fi
    done
fi

if ((failures)); then
    echo "$failures failed"; exit 1
fi
echo "all installed files present and valid"
