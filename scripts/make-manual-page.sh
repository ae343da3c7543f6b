#!/usr/bin/env bash
# Writes the manual page dravelkint(1) from the program's own help: the
# general --help, then a section per command from `dravelkint COMMAND --help`,
# the commands being those the general help lists. The page can therefore
# never say other than --help does.
#   scripts/make-manual-page.sh PATH/TO/dravelkint OUT.1
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 DRAVELKINT OUT.1" >&2; exit 2; }
tool=$1
out=$2

general=$("$tool" --help)
version=$("$tool" --version)
mapfile -t commands < <(printf '%s\n' "$general" | sed -n 's/^  dravelkint \([a-z][a-z0-9-]*\)\( .*\)\{0,1\}$/\1/p' | awk '!seen[$0]++')
[ ${#commands[@]} -gt 0 ] || { echo "$0: the help lists no commands" >&2; exit 1; }

# Help text to roff. Headings are unindented lines ending in ':'. An indented
# block is a list when a line indented by exactly two spaces has a gap of two
# or more spaces (TERM  DESCRIPTION; deeper lines continue the description),
# and is kept as it is laid out otherwise (usage lines, examples, tables).
to_roff() {
  awk -v heading="$1" '
    function escape(s,    r, pre, tok) {
      gsub(/\\/, "\\e", s)
      # Options are minus signs, so that they can be searched for and copied.
      r = ""
      while (match(s, /(^|[^A-Za-z0-9])--?[A-Za-z][-A-Za-z0-9]*/)) {
        pre = substr(s, 1, RSTART - 1)
        tok = substr(s, RSTART, RLENGTH)
        if (tok !~ /^-/) { pre = pre substr(tok, 1, 1); tok = substr(tok, 2) }
        gsub(/-/, "\\-", tok)
        r = r pre tok
        s = substr(s, RSTART + RLENGTH)
      }
      return r s
    }
    function text(s) {
      s = escape(s)
      if (s ~ /^[.\047]/) s = "\\&" s
      return s
    }
    function flush(    i, line, term, rest, desc, islist, count, column) {
      if (n == 0) return
      islist = 0
      for (i = 1; i <= n; i++) if (block[i] ~ /^  [^ ].*[^ ]   */) islist = 1
      if (islist) {
        # The column descriptions start at, for a term that fills its own
        # column and leaves a single space before its description.
        split("", count)
        column = 0
        for (i = 1; i <= n; i++)
          if (block[i] ~ /^  [^ ]/ && match(substr(block[i], 3), /  +/) && ++count[RSTART + RLENGTH] > count[column])
            column = RSTART + RLENGTH
        for (i = 1; i <= n; i++) {
          line = block[i]
          if (line ~ /^  [^ ]/) {
            line = substr(line, 3)
            if (match(line, /  +/)) { term = substr(line, 1, RSTART - 1); desc = substr(line, RSTART + RLENGTH) }
            else if (column > 2 && substr(line, column - 1, 1) == " " && length(line) >= column) {
              term = substr(line, 1, column - 2); desc = substr(line, column)
            }
            else { term = line; desc = "" }
            print ".TP"
            rest = ""
            if (match(term, / /)) { rest = substr(term, RSTART); term = substr(term, 1, RSTART - 1) }
            print "\\fB" text(term) "\\fR" escape(rest)
            if (desc != "") print text(desc)
          } else {
            sub(/^ +/, "", line)
            print text(line)
          }
        }
      } else {
        print ".PP"
        print ".RS 2"
        print ".nf"
        for (i = 1; i <= n; i++) print text(substr(block[i], 3))
        print ".fi"
        print ".RE"
      }
      n = 0
    }
    NR == 1 { next }  # the title line: the caller names the section
    /^$/ { flush(); para = 1; next }
    /^ / { block[++n] = $0; next }
    /^[A-Z][^:]*:$/ && length($0) < 60 {
      flush()
      print heading " " toupper(substr($0, 1, length($0) - 1))
      para = 0
      next
    }
    {
      flush()
      if (para) print ".PP"
      para = 0
      print text($0)
    }
    END { flush() }
  '
}

summary=${general%%$'\n'*}
{
  echo ".\\\" Made by scripts/make-manual-page.sh from the program's --help; edit the help, not this."
  echo ".TH DRAVELKINT 1 \"\" \"${version}\" \"User Commands\""
  echo ".nh"
  echo ".ad l"
  echo ".SH NAME"
  printf '%s\n' "${summary/ - / \\- }"
  printf '%s\n' "$general" | to_roff .SH | sed 's/^\.SH USAGE$/.SH SYNOPSIS/'
  for c in "${commands[@]}"; do
    help=$("$tool" "$c" --help)
    echo ".SH \"COMMAND: ${c^^}\""
    printf '%s\n' "${help%%$'\n'*}" | sed 's/ - / \\- /'
    printf '%s\n' "$help" | to_roff .SS | sed 's/^\.SS \(.*\)$/.SS "\1"/'
  done
} >"$out.tmp"
mv "$out.tmp" "$out"
