#!/usr/bin/env bash
# Installs the Debian packages a command needs (as root, on Debian 12), only
# those that are missing. Usage: setup.sh run|test
set -euo pipefail
group=${1:?run or test}
here=$(cd "$(dirname "$0")" && pwd)

wanted=()
while read -r name groups; do
  case "$name" in ''|\#*) continue ;; esac
  if [ "$group" = test ] || [[ " $groups " == *" $group "* ]]; then wanted+=("$name"); fi
done < "$here/packages.txt"

missing=()
for name in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$name" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$name")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
