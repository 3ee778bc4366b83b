#!/usr/bin/env bash
# Fetches the source of NLopt, the lab's optimiser, once: Debian's source package nlopt 2.7.1-5,
# through apt-get with a sources list of its own (the machine's own lists and settings are not
# touched), checked against the hash below and unpacked into a cache folder that every clone
# and build of the user shares. Both builds of the lab compile it from there (tools/lab), so
# the native and the Windows `fit` run the same optimiser code. Prints the unpacked folder.
set -euo pipefail

version=2.7.1
debian_version=2.7.1-5
orig=nlopt_${version}.orig.tar.gz
orig_sha256=db88232fa5cef0ff6e39943fc63ab6074208831dc0031cf1545f6ecd31ae2a1a

cache=${PELLIX_DEPS_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/pellix}
dest=$cache/nlopt-$version
if [ -f "$dest/CMakeLists.txt" ]; then
  echo "$dest"
  exit 0
fi
command -v apt-get >/dev/null || { echo "fetch-nlopt: apt-get is needed to fetch NLopt's source" >&2; exit 1; }

mkdir -p "$cache"
work=$(mktemp -d "$cache/.nlopt-fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/download"
# The version is bookworm's, whichever Debian this machine runs.
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
signed=""
[ -f "$keyring" ] && signed="[signed-by=$keyring] "
echo "deb-src ${signed}http://deb.debian.org/debian bookworm main" >"$work/sources.list"
apt=(apt-get -qq -o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
     -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache")
# As root apt hands downloads to its own user, which cannot write into the user's cache.
[ "$(id -u)" -ne 0 ] || apt+=(-o APT::Sandbox::User=root)
"${apt[@]}" update >&2
(cd "$work/download" && "${apt[@]}" source --download-only "nlopt=$debian_version" >&2)
echo "$orig_sha256  $work/download/$orig" | sha256sum --check --quiet >&2
tar -xzf "$work/download/$orig" -C "$work"
# Another fetch may have finished first; either copy is the same.
mv -T "$work/nlopt-$version" "$dest" 2>/dev/null || [ -f "$dest/CMakeLists.txt" ]
echo "$dest"
