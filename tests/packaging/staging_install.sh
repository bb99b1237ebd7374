#!/usr/bin/env bash
# Installs the build into a staging folder and checks what lands there: exactly the expected
# files with Debian's modes, valid desktop entries whose programs and icons are installed, PNG
# icons of the size their folder names, compressed man pages that render without warnings, and
# programs that run from there.
#   staging_install.sh <build folder> <expected layout file>
set -uo pipefail
build=$1
layout=$2
staging=$(mktemp -d)
chmod 755 "$staging" # man may read the pages as its own user
trap 'rm -rf "$staging"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$staging/usr" >"$staging/install.log" 2>&1; then
    cat "$staging/install.log"
    exit 1
fi
root=$staging/usr

# Exactly the expected files, nothing else.
actual=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
if ! diff <(LC_ALL=C sort "$layout") <(echo "$actual") >"$staging/diff"; then
    fail "installed files differ from $layout (< expected, > installed):"
    cat "$staging/diff"
fi

# Programs 0755, every other file 0644, folders 0755.
while read -r mode path; do
    case $path in
    bin/*) want=755 ;;
    *) want=644 ;;
    esac
    [ "$mode" = "$want" ] || fail "$path has mode $mode, not $want"
done < <(cd "$root" && find . -type f -printf '%m %P\n')
while read -r mode path; do
    [ "$mode" = 755 ] || fail "folder $path has mode $mode"
done < <(cd "$root" && find . -mindepth 1 -type d -printf '%m %P\n')

# Desktop entries: valid, their program installed, their icon in every size.
for entry in "$root"/share/applications/*.desktop; do
    desktop-file-validate "$entry" | grep -v ': hint: ' && fail "$entry does not validate"
    program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry" | head -1)
    [ -x "$root/bin/$program" ] || fail "$entry starts $program, which is not in bin/"
    icon=$(sed -n 's/^Icon=//p' "$entry")
    [ -f "$root/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
    for folder in "$root"/share/icons/hicolor/*x*; do
        size=$(basename "$folder")
        [ -f "$folder/apps/$icon.png" ] || fail "no $size icon $icon"
    done
done

# PNG icons are as large as their folder says; SVG icons are well-formed XML.
for png in "$root"/share/icons/hicolor/*x*/apps/*.png; do
    size=$(basename "$(dirname "$(dirname "$png")")")
    file -b "$png" | grep -q "^PNG image data, ${size/x/ x }," || fail "$png is not a $size PNG: $(file -b "$png")"
done
for svg in "$root"/share/icons/hicolor/scalable/apps/*.svg; do
    /usr/bin/python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$svg" || fail "$svg is no XML"
done

# Man pages: gzip without a name inside, rendered by man without a warning, telling the
# settings rule.
for page in "$root"/share/man/man1/*.1.gz; do
    gzip -t "$page" || fail "$page is not gzip"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
    LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null | grep -q 'XDG_CONFIG_HOME' || fail "$page does not name XDG_CONFIG_HOME"
done
gzip -l "$root/share/doc/senvigil/changelog.gz" >/dev/null || fail "changelog.gz is not gzip"

# The installed programs run from there: without a display and a settings file, RPL's console
# run ends with status 1, and SEN's check says UNKNOWN (status 3) about its missing data file.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$staging" "$root/bin/RPL" /BATCH /CONSOLE >/dev/null 2>&1
status=$?
[ $status -eq 1 ] || fail "RPL /BATCH /CONSOLE without settings ended with $status, not 1"
line=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME HOME="$staging" "$root/bin/SEN" /NAGIOS 2>&1)
status=$?
[ $status -eq 3 ] || fail "SEN /NAGIOS without a data file ended with $status, not 3"
case $line in
"SEN UNKNOWN - cannot read the data file "*"/SEN.INI: No such file or directory") ;;
*) fail "SEN /NAGIOS without a data file said: $line" ;;
esac

# The systemd units are valid, with the programs they start taken from the staging folder
# (systemd looks a bare name up in its own path, where the staged programs are not).
if command -v systemd-analyze >/dev/null; then
    units=$staging/units
    mkdir -p "$units"
    for unit in "$root"/lib/systemd/system/* "$root"/lib/systemd/user/*; do
        name=$(basename "$unit")
        [ "$(dirname "$unit")" = "$root/lib/systemd/user" ] && name=user-$name
        sed -e "s|^ExecStart=\([A-Z]*\) |ExecStart=$root/bin/\1 |" "$unit" >"$units/$name"
    done
    # A timer starts the service of its own name, which the renaming changed.
    sed -i 's|^\[Timer\]|[Timer]\nUnit=user-rpl-mirror.service|' "$units/user-rpl-mirror.timer"
    for unit in "$units"/*; do
        SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no "$unit" >"$staging/verify.log" 2>&1 \
            || fail "$(basename "$unit") does not verify: $(cat "$staging/verify.log")"
    done
    grep -q '^ExecReload=kill -HUP \$MAINPID$' "$root/lib/systemd/system/senvigil.service" \
        || fail "senvigil.service does not reload with SIGHUP"
fi

# The read-me's metrics file for the packaged service lies in a folder the service may write
# and the node exporter, another user, may read: the unit's runtime folder, mode 0755.
unit=$root/lib/systemd/system/senvigil.service
metrics=$(sed -n 's|^MetricsFile=\(/run/[^ ]*\)$|\1|p' "$root/share/doc/senvigil/README.md" | head -1)
folder=$(sed -n 's/^RuntimeDirectory=//p' "$unit")
case $metrics in
"/run/$folder/"?*) ;;
*) fail "the read-me's MetricsFile '$metrics' is not in the unit's RuntimeDirectory '$folder'" ;;
esac
grep -q '^RuntimeDirectoryMode=0755$' "$unit" || fail "the runtime folder is not readable by the node exporter"

# The licence: MIT in the source tree, Expat (the same) in the packages' copyright files.
for package in senvigil rpl-mirror; do
    grep -q '^License: Expat$' "$root/share/doc/$package/copyright" || fail "$package's copyright names no licence"
done

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "staging install: $(echo "$actual" | wc -l) files, all checks passed"
