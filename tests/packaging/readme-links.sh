#!/usr/bin/env bash
# Every relative link of a Markdown file points at a file beside it (web links and
# links within the page are not checked).
# Usage: readme-links.sh FILE.md
set -euo pipefail
md=$1
dir=$(dirname "$md")
bad=0
while read -r target; do
  case $target in http://*|https://*|mailto:*|\#*) continue ;; esac
  path=${target%%#*}
  if [ ! -e "$dir/$path" ]; then
    echo "readme-links: $md links to $target, which is not there" >&2
    bad=1
  fi
done < <(grep -o '\]([^)]*)' "$md" | sed 's/^](//; s/)$//')
exit $bad
