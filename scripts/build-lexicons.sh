#!/usr/bin/env bash
# Rebuilds data/lexicon/{ca,es}.tsv and {ca,es}-pairs.tsv from Debian packages
# only: the word lists of hunspell-ca, hunspell-es, wcatalan and wspanish, and
# the Catalan and Spanish LibreOffice help texts for word and word-pair counts.
# Not run by CI: its output is committed. Needs python3.
set -euo pipefail
cd "$(dirname "$0")/.."

for p in hunspell-ca hunspell-es wcatalan wspanish; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || {
    echo "missing Debian package $p (apt-get install $p)" >&2; exit 1; }
done

# The help packages pull in half of LibreOffice; unpack them aside instead.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
help_root=/usr/share/libreoffice/help
if [ ! -d "$help_root/ca" ] || [ ! -d "$help_root/es" ]; then
  (cd "$work" && apt-get download libreoffice-help-ca libreoffice-help-es >/dev/null)
  for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$work/root"; done
  help_root="$work/root/usr/share/libreoffice/help"
fi

python3 scripts/lexicon-builder.py "$help_root" data/lexicon
