#!/usr/bin/env bash
# Makes sure a CUPS scheduler runs and that the cups-pdf queue "VirtualPDF" exists and is
# the default destination, so that print jobs come out as PDF files under ~/PDF.
# Containers have no init system, so the scheduler is started directly when it is not
# answering. Exits non-zero when something could not be set up; callers treat that as
# a warning (the printing test then skips).
set -uo pipefail

QUEUE=VirtualPDF
PPD=lsb/usr/cups-pdf/CUPS-PDF_opt.ppd

if ((EUID == 0)); then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo -n)
else
  as_root=()
fi

say() { echo "setup-cups: $*" >&2; }

scheduler_up() { lpstat -r 2>/dev/null | grep -q "scheduler is running"; }

if ! command -v lpstat >/dev/null 2>&1 || ! command -v lpadmin >/dev/null 2>&1; then
  say "CUPS client tools are not installed"
  exit 1
fi

if ! scheduler_up; then
  cupsd_bin=$(command -v cupsd || echo /usr/sbin/cupsd)
  if [[ ! -x $cupsd_bin ]]; then
    say "cupsd not found"
    exit 1
  fi
  say "starting $cupsd_bin"
  if ! "${as_root[@]}" "$cupsd_bin"; then
    say "cupsd did not start"
    exit 1
  fi
  for _ in $(seq 1 50); do
    scheduler_up && break
    sleep 0.2
  done
  if ! scheduler_up; then
    say "cupsd started but does not answer"
    exit 1
  fi
fi

if ! lpstat -p "$QUEUE" >/dev/null 2>&1; then
  say "adding queue $QUEUE"
  if ! "${as_root[@]}" lpadmin -p "$QUEUE" -E -v cups-pdf:/ -m "$PPD"; then
    say "could not add queue $QUEUE"
    exit 1
  fi
fi

if ! lpstat -d 2>/dev/null | grep -q ": $QUEUE\$"; then
  if ! "${as_root[@]}" lpadmin -d "$QUEUE"; then
    say "could not make $QUEUE the default destination"
    exit 1
  fi
fi

# The default PDF -> PostScript step turns embedded fonts into Type 3 glyphs without a text
# mapping, so a printed PDF could not be read back; pdftocairo keeps the text.
"${as_root[@]}" lpadmin -p "$QUEUE" -o pdftops-renderer-default=pdftocairo >/dev/null 2>&1 || true

# A queue stopped by an earlier failed job would hold every later job.
"${as_root[@]}" cupsenable "$QUEUE" >/dev/null 2>&1 || true
"${as_root[@]}" cupsaccept "$QUEUE" >/dev/null 2>&1 || true
exit 0
