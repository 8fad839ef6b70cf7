#!/usr/bin/env bash
# The Debian package end to end, as a user of this machine gets it: built by
# scripts/build deb, checked by lintian, installed with apt-get, its manual
# pages and desktop entry validated, the options of its settings page tried
# on the installed program, vasken-xscreensaver-add run by the unprivileged
# user vaskensaver (created once, as the daemon test does) on the files it
# meets, and the real xscreensaver daemon selecting vasken by its place in
# the list. The package is removed again at the end.
# Needs root. Prints one line per check; the last line is "N passed, N failed".
# xscreensaver-6.06.conf beside this script was written by xscreensaver-settings
# 6.06 itself (Debian 12; the "Blank After" setting changed once).
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../.." && pwd)
cd "$root"
. scripts/lib/xvfb.sh

user=vaskensaver
fixture=tests/platforms/x11/package/xscreensaver-6.06.conf
work=build/package-test
hack=/usr/libexec/xscreensaver/vasken
add=/usr/bin/vasken-xscreensaver-add
installed_files="$hack
/usr/bin/vasken-xscreensaver-add
/usr/share/xscreensaver/config/vasken.xml
/usr/share/man/man6/vasken.6.gz
/usr/share/man/man1/vasken-xscreensaver-add.1.gz
/usr/share/applications/screensavers/vasken.desktop
/usr/share/doc/vasken/changelog.gz
/usr/share/doc/vasken/copyright
/usr/share/lintian/overrides/vasken"

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "ok      $1"; }
fail() { failed=$((failed + 1)); echo "FAILED  $1"; [ -n "${2:-}" ] && sed 's/^/        /' <<<"$2"; }
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; exit; }

installed=0
daemon=
homes=
cleanup() {
    [ -n "$daemon" ] && kill "$daemon" 2>/dev/null && wait "$daemon" 2>/dev/null
    xvfb_stop
    [ -n "$homes" ] && rm -rf "$homes"
    if [ "$installed" = 1 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 remove -y -q vasken >/dev/null 2>&1
    fi
}
trap cleanup EXIT

rm -rf "$work"
mkdir -p "$work"

# ---- the package and lintian --------------------------------------------------
if ! out=$(scripts/build deb 2>&1); then
    fail "scripts/build deb" "$out"
    finish
fi
deb=$(ls build/deb/vasken_*.deb)
pass "scripts/build deb: $deb"
# lintian leaves scratch files in TMPDIR.
mkdir -p "$work/tmp"
out=$(TMPDIR=$(realpath "$work/tmp") lintian --pedantic build/deb/vasken_*.changes 2>/dev/null)
if [ $? -eq 0 ] && [ -z "$out" ]; then pass "lintian --pedantic (source and binary): no tags"; else fail "lintian --pedantic" "$out"; fi

# ---- installing ----------------------------------------------------------------
if dpkg-query -W -f='${Status}' vasken 2>/dev/null | grep -q installed || [ -e "$hack" ]; then
    fail "vasken is already installed on this machine; the test leaves it alone"
    finish
fi
if ! out=$(DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q \
        --no-install-recommends "./$deb" 2>&1); then
    fail "apt-get install ./$deb" "$out"
    finish
fi
installed=1
pass "apt-get install ./$deb"

listed=$(dpkg -L vasken | while read -r f; do [ -d "$f" ] || echo "$f"; done | sort)
if [ "$listed" = "$(sort <<<"$installed_files")" ] && [ -x "$hack" ] && [ -x "$add" ]; then
    pass "the files land where listed"
else
    fail "the files land where listed" "$(diff <(sort <<<"$installed_files") <(echo "$listed"))"
fi

# ---- validators ----------------------------------------------------------------
for page in /usr/share/man/man6/vasken.6.gz /usr/share/man/man1/vasken-xscreensaver-add.1.gz; do
    out=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    if [ $? -eq 0 ] && [ -z "$out" ]; then pass "man --warnings -l $page"; else fail "man --warnings -l $page" "$out"; fi
done
desktop=/usr/share/applications/screensavers/vasken.desktop
out=$(desktop-file-validate "$desktop" 2>&1)
if [ $? -eq 0 ] && ! grep -qE 'error:|warning:' <<<"$out" &&
    grep -qx "Exec=$hack --root" "$desktop" && grep -qx "TryExec=$hack" "$desktop"; then
    pass "desktop-file-validate $desktop"
else
    fail "desktop-file-validate $desktop" "$out"
fi

# ---- the settings page's options on the installed program ---------------------
# Every value each control of vasken.xml can give (a number at its ends and
# its default, a toggle set, a menu's choices), each after the command's own
# arguments, as xscreensaver-settings builds the command line.
xml=/usr/share/xscreensaver/config/vasken.xml
command_lines=$(tr '\n' ' ' <"$xml" | awk '
function attr(e, name) {
    if (!match(e, " " name "=\"[^\"]*\"")) return ""
    return substr(e, RSTART + length(name) + 3, RLENGTH - length(name) - 4)
}
BEGIN { RS = "<" }
/^command / { base = base " " attr($0, "arg") }
/^number / {
    a = attr($0, "arg")
    split(attr($0, "low") " " attr($0, "high") " " attr($0, "default"), v, " ")
    for (i = 1; i <= 3; i++) { s = a; sub(/%/, v[i], s); lines[++n] = s }
}
/^(boolean|option) / {
    if (attr($0, "arg-set") != "") lines[++n] = attr($0, "arg-set")
    if (attr($0, "arg-unset") != "") lines[++n] = attr($0, "arg-unset")
}
END { for (i = 1; i <= n; i++) print base " " lines[i] }')
if grep -qE '<boolean [^>]*arg-set="--?fps"' "$xml"; then
    pass "vasken.xml offers the standard frame-rate toggle"
else
    fail "vasken.xml offers the standard frame-rate toggle (arg-set=\"--fps\")"
fi
if xvfb_start 640x480x24; then
    refused=
    while read -r line; do
        # shellcheck disable=SC2086 # the words of a command line
        "$hack" $line >/dev/null 2>"$work/stderr" &
        pid=$!
        sleep 0.5
        if ! kill -TERM "$pid" 2>/dev/null || ! wait "$pid"; then
            wait "$pid" 2>/dev/null
            refused+="vasken $line: $(head -1 "$work/stderr")"$'\n'
        fi
    done <<<"$command_lines"
    xvfb_stop
    if [ -z "$refused" ] && [ "$(wc -l <<<"$command_lines")" -ge 7 ]; then
        pass "vasken accepts every option vasken.xml gives ($(wc -l <<<"$command_lines") command lines)"
    else
        fail "vasken accepts every option vasken.xml gives" "${refused:-$command_lines}"
    fi
else
    fail "Xvfb for the settings page's options"
fi

# ---- vasken-xscreensaver-add as the user ---------------------------------------
id "$user" >/dev/null 2>&1 || useradd -m "$user"
# The user's homes live under build/ where the user can reach it, else in
# the user's own home (removed at the end).
homes=$(realpath "$work")/homes
if ! mkdir -p "$homes" || ! chown "$user:" "$homes" || ! runuser -u "$user" -- test -w "$homes"; then
    rm -rf "$homes"
    homes=$(getent passwd "$user" | cut -d: -f6)/vasken-package-test
    mkdir -p "$homes" && chown "$user:" "$homes"
fi
entry=$'\t\t\t\tvasken --root\t\t\t\t    \\n\\'
# The fixture with LINE after its last entry, as xscreensaver-settings would
# write the list with that entry.
with_entry() {
    local last
    last=$(grep -n '\\n\\$' "$fixture" | tail -1 | cut -d: -f1)
    { head -n "$last" "$fixture"; printf '%s\n' "$1"; tail -n +"$((last + 1))" "$fixture"; }
}

# add_case KEY WHAT INPUT EXPECTED STATUS: runs the command as the user with
# HOME=$homes/KEY holding INPUT as .xscreensaver ("" for what is there, and made
# read-only where STATUS is "read-only"); wants EXPECTED there afterwards and
# one line on stdout (status 0) or on stderr (status 1), nothing on the other.
add_case() {
    local home=$homes/$1 what=$2 input=$3 expected=$4 want=$5 status=0 out err
    mkdir -p "$home"
    [ -n "$input" ] && cp "$input" "$home/.xscreensaver"
    chown -R "$user:" "$home"
    [ "$want" = read-only ] && chmod a-w "$home" "$home/.xscreensaver" && want=1
    out=$(runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$home" "$add" 2>"$work/err") || status=$?
    err=$(cat "$work/err")
    [ "$want" = 1 ] && { local t=$out; out=$err; err=$t; }
    if [ "$status" = "$want" ] && [ -z "$err" ] && [ "$(printf '%s' "$out" | grep -c '')" = 1 ] &&
        cmp -s "$home/.xscreensaver" "$expected" && [ "$(ls -A "$home")" = .xscreensaver ]; then
        pass "add, $what: '$out'"
    else
        fail "add, $what" "status $status: $out $err"$'\n'"$(diff "$expected" "$home/.xscreensaver" 2>&1 | cat -A)"
    fi
    chmod u+w "$home"
}
printf 'programs:\t\t\t\t\t\t\t\t      \\\n%s\n\n' "$entry" >"$work/created"
with_entry "$entry" >"$work/added"
with_entry "${entry/#/-}" >"$work/switched-off"
{ head -5 "$fixture"; echo "this is no setting"; } >"$work/unparsable"
add_case a "no file: vasken alone, xscreensaver adds the system's list" "" "$work/created" 0
add_case b "file written by xscreensaver: one entry more, in its format" "$fixture" "$work/added" 0
add_case b "second run: nothing changes" "" "$work/added" 0
add_case d "vasken switched off: left alone" "$work/switched-off" "$work/switched-off" 0
add_case e "unparsable file: left alone" "$work/unparsable" "$work/unparsable" 1
add_case f "read-only file: left alone" "$fixture" "$fixture" read-only

# ---- the daemon selects vasken by its place in the list -------------------------
# vasken is the last entry of (b)'s list; the daemon counts from 1.
position=$(grep -c '\\n\\$' "$work/added")
shot=$work/xscreensaver-package-shot.png
if xvfb_start 640x480x24; then
    as_user=(runuser -u "$user" -- env HOME="$homes/b" DISPLAY="$DISPLAY")
    "${as_user[@]}" xscreensaver -no-splash >/dev/null 2>&1 &
    daemon=$!
    for _ in $(seq 100); do "${as_user[@]}" xscreensaver-command -time >/dev/null 2>&1 && break; sleep 0.1; done
    "${as_user[@]}" xscreensaver-command -select "$position" >/dev/null 2>&1
    # The installed program, started by this daemon (another test may run
    # its own daemon and copy of vasken as the same user).
    running=
    for _ in $(seq 100); do
        for pid in $(pgrep -u "$user" -x vasken); do
            [ "$(readlink "/proc/$pid/exe")" = "$hack" ] &&
                tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qE "^DISPLAY=$DISPLAY(\.0)?$" && running=$pid
        done
        [ -n "$running" ] && break
        sleep 0.1
    done
    # Ships are grey; the squares are small and coloured (a scene covers some
    # 150 per mille of the screen in greys). Wait out the fade.
    grey=0
    for _ in $(seq 10); do
        sleep 1
        import -window root "$shot" 2>/dev/null || continue
        grey=$(convert "$shot" -format %c histogram:info:- 2>/dev/null | awk -F'[(),:]+' '
            { n = $1 + 0; r = $3 + 0; g = $4 + 0; b = $5 + 0; all += n
              if (r >= 80 && (r - g) ^ 2 <= 100 && (b - g) ^ 2 <= 144) grey += n }
            END { print all ? int(grey * 1000 / all) : 0 }')
        [ "${grey:-0}" -ge 20 ] && break
    done
    if [ -n "$running" ] && [ "${grey:-0}" -ge 20 ]; then
        pass "xscreensaver -select $position runs the installed vasken; $shot shows the ships ($grey per mille grey)"
    else
        fail "xscreensaver -select $position runs the installed vasken" "vasken pid: ${running:-none}; grey per mille: ${grey:-none}; see $shot"
    fi
    "${as_user[@]}" xscreensaver-command -exit >/dev/null 2>&1
    for _ in $(seq 50); do kill -0 "$daemon" 2>/dev/null || break; sleep 0.1; done
    kill "$daemon" 2>/dev/null
    wait "$daemon" 2>/dev/null
    daemon=
    xvfb_stop
else
    fail "Xvfb for the daemon"
fi

# ---- removing ------------------------------------------------------------------
[[ "$homes" == "$(realpath "$work")"/* ]] || rm -rf "$homes"
homes=
if out=$(DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 remove -y -q vasken 2>&1) &&
    ! dpkg-query -W -f='${Status}' vasken 2>/dev/null | grep -q ' installed' && [ ! -e "$hack" ] && [ ! -e "$add" ]; then
    installed=0
    pass "apt-get remove vasken leaves none of its files"
else
    fail "apt-get remove vasken" "$out"
fi
finish
