#!/usr/bin/env bash
# Installs, once, the Debian packages the build, the program under wine and the tests need.
set -euo pipefail
packages=(cmake g++ clang libclang-rt-14-dev googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
          wine wine64 wine32:i386 fonts-wine fonts-droid-fallback fonts-baekmuk xvfb x11-utils xdotool
          imagemagick dmidecode clang-tidy locales qemu-user-static osslsigncode openssl)
# Another list replaces it only for this script's own test.
[ -z "${KCC_SETUP_PACKAGES:-}" ] || read -r -a packages <<<"$KCC_SETUP_PACKAGES"

# apt's settings as APT_CONFIG may set them: which package database, which sources, whether apt only simulates.
status=/var/lib/dpkg/status source_list=/etc/apt/sources.list source_parts=/etc/apt/sources.list.d/ simulate=false
eval "$(apt-config shell status Dir::State::status/f source_list Dir::Etc::SourceList/f \
          source_parts Dir::Etc::SourceParts/d simulate APT::Get::Simulate/b)"
missing=()
for p in "${packages[@]}"; do
  dpkg-query --admindir="${status%/*}" -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ] && [ "$simulate" != true ]; then
  echo "setup: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
apt-config dump --no-empty --format '%v%n' APT::Architectures | grep -x i386 >/dev/null || dpkg --add-architecture i386
export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# An index that fails to download (a mirror in the middle of a sync) is one line of warning: apt goes on with
# the lists it has, the older copy of that index or none. The failed addresses are kept to leave their suites
# out if the install cannot be resolved.
update_rc=0
apt-get update -q 2>&1 | awk -v failed="$work/failed" '
  /^Err:/ { skip = 1; next }
  /^[EW]: Failed to fetch / {
    reason = $0; sub(/^[EW]: Failed to fetch [^ ]+ +/, "", reason); sub(/ *\[IP: [^]]*\]$/, "", reason)
    print $5 > failed
    printf "setup: warning: %s failed to download (%s); going on with the lists apt has\n", $5, reason > "/dev/stderr"
    skip = 1; next
  }
  /^E: Some index files failed to download/ { next }
  skip && /^ / { next }
  { skip = 0; print; fflush() }' || update_rc=${PIPESTATUS[0]}
[ "$update_rc" -eq 0 ] || [ -s "$work/failed" ] || exit "$update_rc"

# try_install [APT OPTION...]: apt's output is shown and kept for the last words.
try_install() {
  local rc=0
  apt-get install -y -q --no-install-recommends "$@" "${missing[@]}" 2>&1 | tee "$work/install.out" ||
    rc=${PIPESTATUS[0]}
  return "$rc"
}
try_install && exit 0

# A suite whose amd64 index is newer than its i386 one (the i386 one failed) offers amd64 versions the i386 side
# cannot match; without that suite both sides come from the same lists. A private copy of the sources leaves it
# out of that one call, on the lists already fetched.
without=
if [ -s "$work/failed" ] && grep -q 'have unmet dependencies' "$work/install.out"; then
  mkdir "$work/parts"
  for f in "$source_list" "$source_parts"*.list "$source_parts"*.sources; do
    [ -f "$f" ] || continue
    out=$work/parts/${f##*/}
    [ "$f" != "$source_list" ] || out=$work/sources.list
    awk -v failed="$work/failed" -v leftout="$work/left-out" -v deb822="$([[ $f == *.sources ]] && echo 1)" '
      function canon(u) { sub(/^file:\/\/\//, "file:/", u); sub(/\/+$/, "", u); return u }
      function broken(uri, suite,   u, f) {
        u = canon(uri)
        for (f in bad) if (index(f, u "/dists/" suite "/") == 1 || (suite ~ /\/$/ && index(f, u "/" suite) == 1)) {
          print suite >> leftout; return 1
        }
        return 0
      }
      # A deb822 stanza keeps the suites of which no index failed, and goes when none is left.
      function flush(   i, n, s, kept, uris, suites, k, at) {
        uris = ""; suites = ""
        for (i = 1; i <= lines; i++) {
          if (tolower(line[i]) ~ /^uris:/) { uris = line[i]; sub(/^[^:]*:/, "", uris) }
          if (tolower(line[i]) ~ /^suites:/) { suites = line[i]; sub(/^[^:]*:/, "", suites); at = i }
        }
        kept = ""; k = 0
        n = split(suites, s)
        for (i = 1; i <= n; i++) if (!broken_any(uris, s[i])) { kept = kept " " s[i]; k++ }
        if (n == 0 || k > 0) {
          if (n > 0) line[at] = "Suites:" kept
          for (i = 1; i <= lines; i++) print line[i]
          print ""
        }
        lines = 0
      }
      function broken_any(uris, suite,   u, n, i) {
        n = split(uris, u)
        for (i = 1; i <= n; i++) if (broken(u[i], suite)) return 1
        return 0
      }
      BEGIN { while ((getline f < failed) > 0) bad[canon(f)] = 1 }
      deb822 && /^[ \t]*$/ { if (lines) flush(); next }
      deb822 { line[++lines] = $0; next }
      {
        s = $0; sub(/#.*/, "", s); n = split(s, w); i = 2
        if (w[1] ~ /^deb(-src)?$/) {
          if (w[i] ~ /^\[/) { while (w[i] !~ /\]$/ && i < n) i++; i++ }
          if (broken(w[i], w[i + 1])) { print "# left out: " $0; next }
        }
        print
      }
      END { if (lines) flush() }' "$f" >"$out"
  done
  without=$(sort -u "$work/left-out" 2>/dev/null | paste -sd, - | sed 's/,/, /g')
fi
if [ -n "$without" ]; then
  echo "setup: the install could not be resolved; trying once more without $without, whose index failed to download" >&2
  try_install -o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts="$work/parts" \
              -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= && exit 0
  without=", even without $without"
fi

# One sentence: what apt could not install and why, as its unmet-dependency lines say, else what was missing.
what=$(awk '
  /have unmet dependencies:$/ { on = 1; next }
  on && /^ [^ ].* : / { p = $0; sub(/ : .*/, "", p); sub(/^ /, "", p); d = $0; sub(/^[^:]* : /, "", d)
                        item[++n] = p " (" d; next }
  on && /^  +[^ ]/ { d = $0; sub(/^ +/, "", d); item[n] = item[n] "; " d; next }
  on { on = 0 }
  END { for (i = 1; i <= n; i++) printf "%s%s)", (i > 1 ? ", " : ""), item[i] }' "$work/install.out")
echo "setup: could not install ${what:-${missing[*]}}$without." >&2
exit 1
