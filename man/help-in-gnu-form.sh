#!/bin/sh
# Runs "$MORVANE_HOST $@" and writes its output with the usage lines in the
# form help2man takes a synopsis from: "Usage: ..." and then "  or:  ..."
# for each further line up to the first blank one.
"$MORVANE_HOST" "$@" | sed -e '1s/^usage:/Usage:/' -e '2,/^$/{/^ *or:/!s/^ \{1,\}\([^ ]\)/  or:  \1/;}'
