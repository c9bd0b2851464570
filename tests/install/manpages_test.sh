#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The manual pages and the programs' own help agree: each page renders without a warning and
# carries the project's version, every option a program's --help names is in its page, and
# --help and --version answer without a display, and the example of plotmira(1) starts the
# simulated device as `make run` does.
# Usage: manpages_test.sh MAN_FOLDER VERSION PLOTMIRA PLOTMIRA_CLI PLOTMIRA_SIM RUN_DEMO
set -uo pipefail
man_folder=$1
version=$2
plotmira=$3
cli=$4
sim=$5
run_demo=$6
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
# No display and no platform plugin chosen: a program that needs a window fails here.
headless() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }

render() { # the page as plain text; warnings go to the file named by $2
    zcat "$man_folder/$1.1.gz" | groff -man -Tutf8 -ww -rLL=78n -rHY=0 -P-cbou 2>"$2"
}

# Every long option in a help text must appear in the page's text.
check_options() { # page help-text
    local page=$1 help=$2 text option
    text=$(render "$page" /dev/null)
    for option in $(grep -oE -- '--[a-z0-9][a-z0-9-]*' <<<"$help" | sort -u); do
        grep -qF -- "$option" <<<"$text" || fail "$page(1) does not describe $option"
    done
}

for page in plotmira plotmira-cli plotmira-sim; do
    if [ ! -f "$man_folder/$page.1.gz" ]; then
        fail "$page.1.gz was not built"
        continue
    fi
    warnings=$(mktemp)
    text=$(render "$page" "$warnings")
    [ -s "$warnings" ] && fail "$page(1) renders with warnings: $(cat "$warnings")"
    rm -f "$warnings"
    grep -q "Plotmira $version" <<<"$text" || fail "$page(1) does not show version $version"
    grep -q '@' <<<"$(zcat "$man_folder/$page.1.gz" | grep '^\.TH')" &&
        fail "$page(1) has an unfilled placeholder"
    for section in NAME SYNOPSIS DESCRIPTION "OPTIONS|COMMANDS" "LINE FORMAT" PORTS FILES \
        "EXIT STATUS" EXAMPLES; do
        grep -Eq "^($section)\$" <<<"$text" || fail "$page(1) has no section $section"
    done
done

help=$(headless "$plotmira" --help 2>&1)
status=$?
[ $status -eq 0 ] || fail "plotmira --help without a display exits with $status: $help"
grep -q '^Usage: plotmira' <<<"$help" || fail "plotmira --help printed: $help"
check_options plotmira "$help"
out=$(headless "$plotmira" --version 2>&1)
[ "$out" = "plotmira $version" ] || fail "plotmira --version printed '$out'"

cli_help=$(headless "$cli" --help)
for command in record render export spectrum; do
    cli_help+=$'\n'$(headless "$cli" "$command" --help) || fail "plotmira-cli $command --help failed"
done
check_options plotmira-cli "$cli_help"
out=$(headless "$cli" --version 2>&1)
[ "$out" = "plotmira-cli $version" ] || fail "plotmira-cli --version printed '$out'"

check_options plotmira-sim "$(headless "$sim" --help)"
out=$(headless "$sim" --version 2>&1)
[ "$out" = "plotmira-sim $version" ] || fail "plotmira-sim --version printed '$out'"

# The simulated device of the example, as a reader copies it from the page (continued lines
# joined), against the one `make run` starts: the same options and values in the same order;
# --quiet only silences the demo's terminal.
example=$(render plotmira /dev/null | sed -n '/^EXAMPLES$/,/^SEE ALSO$/p' |
    sed -e ':a' -e '/\\$/{N;s/\\\n//;ba' -e '}' | grep -m1 'plotmira-sim ' |
    sed 's/^ *plotmira-sim //; s/ *&$//' | tr -s ' ')
demo=$(grep -m1 '^ *"$sim" --' "$run_demo" | sed 's/^ *"$sim" //; s/ --quiet//; s/ *&$//' | tr -s ' ')
[ -n "$example" ] && [ "$example" = "$demo" ] ||
    fail "plotmira(1) starts plotmira-sim with '$example', make run with '$demo'"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "manual pages and --help/--version agree"
