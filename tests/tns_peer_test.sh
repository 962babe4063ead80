#!/usr/bin/env bash
# tns_peer_test.sh TNS_NAMES [WORK]: holds the host box's tnsnames.ora reader
# (TNS_NAMES, built from tns_names.cpp) against Oracle's own parser
# (node-oracledb's thin mode, the version tns_peer/package-lock.json pins,
# installed into WORK) over every folder of tns_corpus. Where the two list
# other names, the folder must be in tns_corpus/differences.txt with the same
# two lists and the rule that decides; a difference not listed, or listed
# but gone, fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=$(realpath "$1")
work=$(realpath -m "${2:-$here/../build/tns_peer}")
mkdir -p "$work"
cp "$here/tns_peer/package.json" "$here/tns_peer/package-lock.json" "$here/tns_peer/names.js" "$work/"
command -v npm >/dev/null || apt-get install -y -qq --no-install-recommends npm >/dev/null
# The parser is JavaScript alone: its install script (which fetches the
# driver's binary for thick mode) is not needed.
(cd "$work" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)

cd "$here/tns_corpus"
cases=(*/)
cases=("${cases[@]%/}")
"$tool" "${cases[@]}" >"$work/ours.txt"
node "$work/names.js" "${cases[@]}" >"$work/peer.txt"
python3 - "$work/ours.txt" "$work/peer.txt" differences.txt <<'PY'
import sys
def lists(path):
    return dict(line.rstrip('\n').split(':', 1) for line in open(path) if ':' in line)
ours, peer = lists(sys.argv[1]), lists(sys.argv[2])
found = {c: (ours[c].strip(), peer[c].strip()) for c in ours if ours[c] != peer.get(c)}
listed, case = {}, None
for line in open(sys.argv[3]):
    line = line.rstrip('\n')
    if not line or line.startswith('#'):
        continue
    if not line.startswith(' '):
        case = line
        listed[case] = {}
    else:
        key, _, value = line.strip().partition(': ')
        listed[case][key] = value
failed = 0
for c in sorted(set(found) | set(listed)):
    want = listed.get(c, {})
    if c not in found:
        print(f'{c}: listed as a difference, but both now give: {ours.get(c, "?").strip()}')
    elif (want.get('ours'), want.get('peer')) != found[c] or not want.get('rule'):
        print(f'{c}: a difference not listed (or listed without its rule):\n'
              f'  ours: {found[c][0]}\n  peer: {found[c][1]}')
    else:
        continue
    failed = 1
print(f'tns_peer: {len(ours)} files, {len(found)} differences, all listed' if not failed
      else 'tns_peer: FAILED')
sys.exit(failed)
PY
