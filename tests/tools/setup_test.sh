#!/usr/bin/env bash
# Tests tools/setup.sh on two local suites, one whose i386 index no longer matches its Release file (a mirror in
# the middle of a sync), with apt's state, sources and settings private and its installs only simulated.
#   setup_test.sh SETUP_SH
set -uo pipefail
setup=${1:?usage: setup_test.sh SETUP_SH}
command -v apt-get >/dev/null || { echo "SKIP: no apt on this machine"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() { # check NAME COMMAND...: one named expectation
  local name=$1; shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; failures=$((failures + 1)); fi
}

stanza() { # stanza NAME VERSION ARCH [DEPENDS]: a Multi-Arch: same package, never downloaded (installs are simulated)
  printf 'Package: %s\nVersion: %s\nArchitecture: %s\nMulti-Arch: same\n' "$1" "$2" "$3"
  printf 'Maintainer: Test <test@example.org>\n'
  printf 'Filename: pool/%s_%s_%s.deb\nSize: 1\nSHA256: %064d\nDescription: test package\n' "$1" "$2" "$3" 0
  [ -z "${4:-}" ] || printf 'Depends: %s\n' "$4"
  echo
}
release() { # release DIR SUITE: an unsigned Release file with the indexes' sizes and hashes
  { printf 'Suite: %s\nCodename: %s\nDate: Mon, 01 Jan 2024 00:00:00 UTC\nArchitectures: amd64 i386\n' "$2" "$2"
    printf 'Components: main\nSHA256:\n'
    for a in amd64 i386; do
      printf ' %s %s main/binary-%s/Packages\n' "$(sha256sum <"$1/main/binary-$a/Packages" | cut -d' ' -f1)" \
             "$(stat -c %s "$1/main/binary-$a/Packages")" "$a"
    done
  } >"$1/Release"
}

# run CASE SYNCING FORMAT PACKAGES: a fresh machine state whose lists were fetched before i386 was added, then
# setup.sh; kcc-security's i386 index is broken after its Release was written when SYNCING is 1. Sets rc, out, err.
run() {
  local t=$work/$1 a
  mkdir -p "$t/etc/parts" "$t/etc/conf.d" "$t/state/lists/partial" "$t/cache/archives/partial" "$t/log"
  for a in amd64 i386; do
    mkdir -p "$t/repo/dists/kcc/main/binary-$a" "$t/repo/dists/kcc-security/main/binary-$a"
    { stanza kcclib 1.0 $a; stanza kccbroken 1.0 $a kccnowhere; } >"$t/repo/dists/kcc/main/binary-$a/Packages"
    stanza kcclib 1.1 $a >"$t/repo/dists/kcc-security/main/binary-$a/Packages"
  done
  release "$t/repo/dists/kcc" kcc
  release "$t/repo/dists/kcc-security" kcc-security
  [ "$2" = 0 ] || echo 'Package: kcclib' >>"$t/repo/dists/kcc-security/main/binary-i386/Packages"
  if [ "$3" = deb822 ]; then
    printf 'Types: deb\nURIs: file://%s\nSuites: kcc kcc-security\nComponents: main\nTrusted: yes\n' "$t/repo" \
      >"$t/etc/parts/kcc.sources"
  else
    { echo "deb [trusted=yes] file://$t/repo kcc main"; echo "deb [ trusted=yes ] file:$t/repo/ kcc-security main"; } \
      >"$t/etc/sources.list"
  fi
  : >"$t/state/status"
  cat >"$t/apt.conf" <<EOF
Dir::Etc::Main "/dev/null";
Dir::Etc::Parts "$t/etc/conf.d";
Dir::Etc::SourceList "$t/etc/sources.list";
Dir::Etc::SourceParts "$t/etc/parts";
Dir::Etc::Preferences "/dev/null";
Dir::Etc::PreferencesParts "$t/etc/conf.d";
Dir::State "$t/state";
Dir::State::status "$t/state/status";
Dir::Cache "$t/cache";
Dir::Log "$t/log";
APT::Architecture "amd64";
APT::Architectures { "amd64"; "i386"; };
APT::Sandbox::User "root";
APT::Get::Simulate "true";
Debug::NoLocking "true";
EOF
  APT_CONFIG=$t/apt.conf apt-get update -qq -o APT::Architectures=amd64 >"$t/seed.out" 2>&1 ||
    { echo "FAIL $1: fetching the amd64 lists first"; cat "$t/seed.out"; failures=$((failures + 1)); }
  APT_CONFIG=$t/apt.conf KCC_SETUP_PACKAGES=$4 "$setup" >"$t/out" 2>"$t/err"
  rc=$?
  out=$(cat "$t/out")
  err=$(cat "$t/err")
}
says() { grep -qxF -- "$1" <<<"$2"; } # says LINE TEXT: TEXT has exactly that line
lacks() { ! grep -qi -- "$1" <<<"$2"; } # lacks PATTERN TEXT: no line of TEXT matches
retry='setup: the install could not be resolved; trying once more without kcc-security, whose index failed to download'

run fine 0 deb822 'kcclib kcclib:i386'
check "every index fine: installs" [ "$rc" = 0 ]
check "every index fine: in one try, without a word of its own" lacks '^setup:' "$err"
check "every index fine: the newer suite's versions" grep -q '^Inst kcclib:i386 (1.1 kcc-security ' <<<"$out"

run syncing 1 deb822 'kcclib kcclib:i386'
check "an index mid-sync: installs" [ "$rc" = 0 ]
warning='^setup: warning: .*/dists/kcc-security/main/binary-i386/Packages failed to download (.*); going on with '
check "an index mid-sync: one line of warning naming it" [ "$(grep -c "$warning" <<<"$err")" = 1 ]
check "an index mid-sync: apt's own lines about it left out" \
  lacks '^Err:\|Failed to fetch\|Hashes of\|Some index files' "$out"$'\n'"$err"
check "an index mid-sync: once more without its suite" says "$retry" "$err"
check "an index mid-sync: both sides from the older suite" grep -q '^Inst kcclib:i386 (1.0 kcc ' <<<"$out"

run unresolvable 1 one-line 'kcclib kcclib:i386 kccbroken'
check "nothing resolves: fails" [ "$rc" != 0 ]
check "nothing resolves: once more without the suite" says "$retry" "$err"
what='setup: could not install kccbroken (Depends: kccnowhere but it is not installable), even without kcc-security.'
check "nothing resolves: one sentence of what, from the try without the suite" [ "$(tail -n 1 <<<"$err")" = "$what" ]

[ "$failures" = 0 ] && echo "setup: all passed" || echo "setup: $failures failed"
[ "$failures" = 0 ]
