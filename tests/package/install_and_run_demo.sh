#!/bin/sh
# Runs inside a fresh minimal Debian root (./run package-check): installs the qvfp package
# given as $1 as a till's administrator does, with dpkg and then apt-get for the dependencies
# the package declares, and runs qvfp demo from the installed files with drive C in a scratch
# folder. Fails at the first step that fails.
set -eu
export DEBIAN_FRONTEND=noninteractive PATH=/usr/sbin:/usr/bin:/sbin:/bin
package=$1
work=$(mktemp -d)
dpkg-query -W -f='${Package}\n' | sort >"$work/before"

echo "== dpkg -i $package"
# dpkg leaves the package unconfigured while its dependencies are missing; apt-get brings them.
dpkg -i "$package" || echo "(dpkg -i left the package unconfigured: apt-get -f install is to finish it)"
echo "== apt-get -f install"
apt-get update -qq
apt-get -f install -y -qq --no-install-recommends >"$work/apt.out" 2>&1 || { cat "$work/apt.out"; exit 1; }
status=$(dpkg-query -W -f='${Status}' qvfp)
if [ "$status" != "install ok installed" ]; then
  echo "qvfp is \"$status\" after apt-get -f install" >&2
  exit 1
fi
dpkg-query -W -f='${Package}\n' | sort | comm -13 "$work/before" - >"$work/added"
echo "Installed for the package: $(grep -v '^qvfp$' "$work/added" | tr '\n' ' ')"
echo "Declared: $(dpkg-query -W -f='${Depends}' qvfp)"
echo "Files of the package: $(dpkg -L qvfp | wc -l)"

echo "== qvfp demo (drive C in $work/C)"
program=$(dpkg -L qvfp | grep '/bin/qvfp$' | head -1)
[ -x "$program" ] || { echo "The package installed no bin/qvfp" >&2; exit 1; }
echo "$program -> $(readlink -f "$program")"
cd "$work"
if ! "$program" demo --data "$work/C" >"$work/demo.out" 2>&1; then
  cat "$work/demo.out"
  echo "qvfp demo failed" >&2
  exit 1
fi
if ! grep -q "Z-REPORT # 0001" "$work/demo.out" || grep -q FAILED "$work/demo.out"; then
  cat "$work/demo.out"
  echo "qvfp demo did not close its day" >&2
  exit 1
fi
echo "qvfp demo: $(grep -c 'LEGAL RECEIPT' "$work/demo.out") legal receipts printed (Z-report included)"
find "$work/C/QV_FPR_DB" -type f | sed "s|^$work/C/||" | sort
