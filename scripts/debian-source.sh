# shellcheck shell=bash
# debian-source.sh, sourced: unpacks a Debian source package of the very version installed, with Debian's own patches
# applied, for the Windows build of a library Debian builds for Linux only (scripts/fetch-httplib.sh,
# scripts/fetch-libdeflate.sh). apt works on a private list of source indices in a temporary folder, so the
# machine's own apt configuration is left as it is.
#
# debian_source_version NAME DEV_PACKAGE: prints the installed version of DEV_PACKAGE, or says that it is missing
#   (NAME opens the message) and fails.
# debian_source_unpack NAME SOURCE_PACKAGE VERSION: unpacks the source into "$debian_source_tree", removed when the
#   calling script exits.

debian_source_version() {
  dpkg-query -W -f='${Version}' "$2" 2>/dev/null || {
    echo "$1: $2 is not installed (scripts/install-deps.sh installs it)" >&2
    return 1
  }
}

debian_source_unpack() {
  local name=$1 package=$2 version=$3 work
  work=$(mktemp -d)
  # shellcheck disable=SC2064 # the folder is known now and must go whatever happens later
  trap "rm -rf '$work'" EXIT
  mkdir -p "$work/lists/partial" "$work/src"
  cat >"$work/sources.list" <<LIST
deb-src http://deb.debian.org/debian bookworm main
deb-src http://deb.debian.org/debian bookworm-updates main
deb-src http://deb.debian.org/debian-security bookworm-security main
LIST
  local apt_private=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o "Dir::State::Lists=$work/lists" -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
  echo "$name: $package $version source from Debian"
  apt-get "${apt_private[@]}" -qq update
  (cd "$work/src" && apt-get "${apt_private[@]}" -qq source --download-only "$package=$version" 2>/dev/null)
  # apt has checked the files against the signed index; the .dsc's own signature needs a keyring we do not keep.
  (cd "$work/src" && dpkg-source -x ./*.dsc tree >/dev/null 2>&1)
  # shellcheck disable=SC2034 # read by the calling script
  debian_source_tree=$work/src/tree
}
