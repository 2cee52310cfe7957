#!/usr/bin/env bash
# Puts simdjson's amalgamated simdjson.cpp and simdjson.h into DEST, taken from
# Debian's source package of the installed libsimdjson-dev (the same version,
# fetched and checksum-verified by apt), so a static library can be built that
# matches /usr/include/simdjson.h exactly. Debian ships simdjson only shared.
# The system's apt configuration is left alone: apt runs on a private state
# folder under DEST with one deb-src line of the system's own Debian release.
set -euo pipefail
dest=${1:?usage: simdjson_source.sh DEST}
header=/usr/include/simdjson.h
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)

if [[ -f "$dest/simdjson.cpp" ]] && cmp -s "$dest/simdjson.h" "$header"; then
  exit 0
fi

read -r source version < <(dpkg-query -W -f '${source:Package} ${source:Version}\n' libsimdjson-dev)
. /etc/os-release
case "$ID" in
  debian) archive="[signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian"; parts=main ;;
  ubuntu) archive="[signed-by=/usr/share/keyrings/ubuntu-archive-keyring.gpg] http://archive.ubuntu.com/ubuntu"; parts="main universe" ;;
  *) echo "simdjson_source: no source archive known for $ID" >&2; exit 1 ;;
esac
apt_state="$dest/apt"
mkdir -p "$apt_state/lists/partial" "$apt_state/cache/archives/partial" "$apt_state/download"
for suite in "$VERSION_CODENAME" "$VERSION_CODENAME-updates"; do
  echo "deb-src $archive $suite $parts"
done > "$apt_state/sources.list"
apt=(-o Dir::Etc::SourceList="$apt_state/sources.list" -o Dir::Etc::SourceParts=/nonexistent
     -o Dir::State::Lists="$apt_state/lists" -o Dir::Cache="$apt_state/cache"
     -o APT::Sandbox::User=root -qq)

echo "simdjson_source: apt-get source --download-only ${source}=${version}"
apt-get "${apt[@]}" update
(cd "$apt_state/download" && apt-get "${apt[@]}" source --download-only "${source}=${version}")

upstream=${version%-*}
upstream=${upstream#*:}
tar -xzf "$apt_state/download/${source}_${upstream}.orig.tar.gz" -C "$dest" --strip-components=2 \
  --wildcards '*/singleheader/simdjson.cpp' '*/singleheader/simdjson.h'
# The guard that the sources are the installed header's own version.
if ! cmp -s "$dest/simdjson.h" "$header"; then
  echo "simdjson_source: singleheader/simdjson.h of ${source} ${version} differs from $header" >&2
  rm -f "$dest/simdjson.cpp" "$dest/simdjson.h"
  exit 1
fi
rm -rf "$apt_state"
echo "simdjson_source: simdjson.cpp of ${source} ${version} in $dest"
