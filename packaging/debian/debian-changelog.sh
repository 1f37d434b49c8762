#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the Debian changelog of the package, made from CHANGELOG.md, on standard output.
#
#   debian-changelog.sh CHANGELOG.md "NAME <ADDRESS>"
#
# Each section "## VERSION (YYYY-MM-DD)" becomes one entry "orvane (VERSION) unstable;
# urgency=medium", its points "  * ..." wrapped to 78 characters, signed by the maintainer given
# with the section's date (at noon UTC, so the day is the same in every time zone). A section
# heading of any other form is an error: the package must not carry a changelog that says less
# than the file it came from.
set -eu
changelog=${1:?usage: debian-changelog.sh CHANGELOG.md "NAME <ADDRESS>"}
maintainer=${2:?usage: debian-changelog.sh CHANGELOG.md "NAME <ADDRESS>"}

LC_ALL=C awk -v maintainer="$maintainer" '
function flush_point(   n, words, i, line, prefix) {
  if (point == "") return
  n = split(point, words, " ")
  line = "  *"
  for (i = 1; i <= n; i++) {
    if (length(line) + 1 + length(words[i]) > 78 && line != "  *" && line != "   ") {
      print line
      line = "   "
    }
    line = line " " words[i]
  }
  print line
  point = ""
}
function end_entry() {
  flush_point()
  if (version == "") return
  if (!points) { print "CHANGELOG.md: version " version " has no points" > "/dev/stderr"; exit 1 }
  print ""
  cmd = "date -u -R -d \"" date " 12:00:00\""
  if ((cmd | getline stamp) <= 0) { print "CHANGELOG.md: bad date " date > "/dev/stderr"; exit 1 }
  close(cmd)
  print " -- " maintainer "  " stamp
  version = ""
}
/^## / {
  end_entry()
  if (!match($0, /^## [0-9][0-9.]*[0-9] \([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]\)$/)) {
    print "CHANGELOG.md: a version heading must read \"## VERSION (YYYY-MM-DD)\": " $0 > "/dev/stderr"
    exit 1
  }
  version = $2
  date = substr($3, 2, 10)
  if (entries++) print ""
  print "orvane (" version ") unstable; urgency=medium"
  print ""
  points = 0
  next
}
version == "" { next }
/^- / { flush_point(); point = substr($0, 3); points++; next }
/^  +[^ ]/ && point != "" { sub(/^ +/, ""); point = point " " $0; next }
/^[ \t]*$/ { flush_point(); next }
{ print "CHANGELOG.md: a line that is neither a point nor its continuation: " $0 > "/dev/stderr"; exit 1 }
END {
  end_entry()
  if (!entries) { print "CHANGELOG.md: no version section" > "/dev/stderr"; exit 1 }
}
' "$changelog"
