#!/bin/sh
# Writes the manual page of lattica-cli from the program's own "help", so the
# page lists exactly the commands the program knows.
#   manpage.sh LATTICA_CLI VERSION DATE OUTFILE
set -eu
cli=$1 version=$2 date=$3 out=$4
help=$("$cli" help)
case $help in
  "usage: lattica-cli "*) ;;
  *) echo "manpage.sh: unexpected help text from $cli" >&2; exit 1 ;;
esac
{
  cat <<HEAD
.TH LATTICA-CLI 1 "$date" "Lattica $version" "User Commands"
.SH NAME
lattica-cli \- command-line companion of the Lattica order program
.SH SYNOPSIS
.B lattica-cli
.I COMMAND
.RB [ \-\-data
.IR DIR ]
\&...
.br
.B lattica-cli help
.br
.B lattica-cli \-\-version
.SH DESCRIPTION
.B lattica-cli
works on the same data folder as
.BR lattica (1):
it shows, prices and posts orders, installs catalogues, changes settings
and manages staff, for support staff and scripts.
Without
.B \-\-data
the data folder is the one the user settings name, by default
.IR ~/.local/share/Vexa/Lta .
.SH COMMANDS
HEAD
  # every usage line of the help: the command in bold, its arguments after
  printf '%s\n' "$help" | sed -n 's/^  lattica-cli //p' | while IFS= read -r line; do
    usage=${line%%   (*}
    note=
    [ "$usage" = "$line" ] || note=${line#*   (}
    printf '.TP\n'
    printf '%s\n' "$usage" | sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e 's/^/.B lattica\\-cli /'
    [ -z "$note" ] || printf '%s\n' "${note%)}" | sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^[.']/\\\\\\&&/"
  done
  cat <<TAIL
.SH OPTIONS
.TP
.BI \-\-data " DIR"
use
.I DIR
as the data folder instead of the configured one.
.TP
.B \-\-version
print the version and exit.
.SH FILES
.TP
.I ~/.config/Vexa/Lta.conf
user settings
.TP
.I ~/.local/share/Vexa/Lta
data folder: orders, catalogue, logs and shared settings
.TP
.I /usr/share/lattica/catalogue
a sample catalogue for a demonstration
.RB ( "lattica-cli catalogue install /usr/share/lattica/catalogue" )
.SH EXIT STATUS
0 on success; another value when the command failed (2 for an unknown command).
.SH SEE ALSO
.BR lattica (1)
TAIL
} > "$out"
