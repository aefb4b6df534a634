# Turns chosen "## " sections of a Markdown file into sections of a help2man
# include file (roff), in the file's order:
#   awk -v 'sections=Heading=MAN SECTION|Other heading=OTHER' -f markdown-to-man.awk FILE.md
# Handles what the project's docs use: paragraphs, "- " lists, tables
# (first column as the tag of an indented paragraph), code blocks (fenced
# or indented), `code`, **bold**, *italics* and [links](target) (the text
# alone). Fails when a chosen heading is missing.

BEGIN {
    wanted = split(sections, pairs, "|")
    for (n = 1; n <= wanted; n++) {
        eq = index(pairs[n], "=")
        manName[substr(pairs[n], 1, eq - 1)] = substr(pairs[n], eq + 1)
    }
    inside = 0; found = 0; fenced = 0
}

function escaped(text) {
    gsub(/\\/, "\\\\e", text)
    return text
}

function codeText(text) {
    text = escaped(text)
    gsub(/-/, "\\\\-", text)
    return text
}

function emphasised(text, marker, font,    at, rest, end) {
    while ((at = index(text, marker)) > 0) {
        rest = substr(text, at + length(marker))
        end = index(rest, marker)
        if (end <= 1) {
            break
        }
        text = substr(text, 1, at - 1) "\\f" font substr(rest, 1, end - 1) "\\fR" substr(rest, end + length(marker))
    }
    return text
}

function prose(text) {
    text = escaped(text)
    while (match(text, /\[[^]]*\]\([^)]*\)/)) {
        link = substr(text, RSTART, RLENGTH)
        text = substr(text, 1, RSTART - 1) substr(link, 2, index(link, "]") - 2) substr(text, RSTART + RLENGTH)
    }
    return emphasised(emphasised(text, "**", "B"), "*", "I")
}

function inline(text,    out, at, rest, end) {
    out = ""
    while ((at = index(text, "`")) > 0) {
        rest = substr(text, at + 1)
        end = index(rest, "`")
        if (end == 0) {
            break
        }
        out = out prose(substr(text, 1, at - 1)) "\\fB" codeText(substr(rest, 1, end - 1)) "\\fR"
        text = substr(rest, end + 1)
    }
    return out prose(text)
}

# help2man reads "[...]" and "/.../" lines as its own; roff reads lines
# starting with "." or "'" as requests.
function emit(line) {
    if (line ~ /^[.'\[\/]/) {
        line = "\\&" line
    }
    print line
}

function endBlock() {
    if (block == "code") {
        print ".fi"
        print ".RE"
    }
    block = ""
}

# The cells of a table row; "\|" is a bar inside a cell.
function cells(row, parts,    count, n) {
    gsub(/\\\|/, "\001", row)
    sub(/^ *\| */, "", row)
    sub(/ *\| *$/, "", row)
    count = split(row, parts, / *\| */)
    for (n = 1; n <= count; n++) {
        gsub(/\001/, "|", parts[n])
    }
    return count
}

# Fences first: a "#" line inside one is no heading.
/^```/ {
    fenced = !fenced
    if (inside && fenced) {
        endBlock()
        print ".PP"; print ".RS 4"; print ".nf"
        block = "code"
    } else if (inside) {
        endBlock()
    }
    blank = 0
    next
}

fenced {
    if (inside) {
        emit(escaped($0))
    }
    next
}

/^#+ / {
    heading = $0
    level = index(heading, " ") - 1
    sub(/^#+ +/, "", heading)
    if (inside && level <= 2) {
        endBlock()
        inside = 0
    }
    if (level == 2 && heading in manName) {
        print "[" manName[heading] "]"
        inside = 1; found++; block = ""; blank = 1
    } else if (inside) {
        endBlock()
        print ".SS " inline(heading)
        blank = 1
    }
    next
}

!inside { next }

/^[ \t]*$/ {
    if (block != "code") {
        endBlock()
    }
    blank = 1
    next
}

/^    / && (blank || block == "code") {
    if (block != "code") {
        endBlock()
        print ".PP"; print ".RS 4"; print ".nf"
        block = "code"
    }
    emit(escaped(substr($0, 5)))
    blank = 0
    next
}

/^ *\|/ {
    if (block == "code") {
        endBlock()
    }
    if ($0 ~ /^ *\|[-:| ]+\| *$/) {
        next
    }
    count = cells($0, parts)
    if (block != "table") {
        block = "table"  # the header row names the columns: left out
    } else {
        print ".TP"
        emit(inline(parts[1]))
        text = parts[2]
        for (n = 3; n <= count; n++) {
            text = text " " parts[n]
        }
        emit(inline(text))
    }
    blank = 0
    next
}

/^- / {
    endBlock()
    print ".IP \\(bu 2"
    emit(inline(substr($0, 3)))
    block = "list"; blank = 0
    next
}

{
    if (block == "code") {
        endBlock()
    }
    line = $0
    sub(/^ +/, "", line)
    if (blank && block != "list") {
        endBlock()
        print ".PP"
    }
    emit(inline(line))
    blank = 0
}

END {
    endBlock()
    if (found != wanted) {
        print "markdown-to-man.awk: " FILENAME " lacks some of the sections \"" sections "\"" > "/dev/stderr"
        exit 1
    }
}
