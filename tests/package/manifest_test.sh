#!/usr/bin/env bash
# manifest_test.sh SOURCE_DIR DIST_DIR VERSION SCHEMA_DIR WORK_DIR: tools/package.sh --release-url's manifests are valid by their
# schemas, hold each package's hash, codes, version and address, same bytes from two folders, in SHA256SUMS; bad input: one line.
set -euo pipefail
src=$1 dist=$2 version=$3 schemas=$4 work=$5 url=https://downloads.example.org/velmora/$3
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work"
for dir in "$work/one" "$work/second-folder"; do
  mkdir -p "$dir" && cp "$dist"/Velmora-* "$dist/SHA256SUMS" "$dir/" && python3 "$src/packaging/manifests.py" "$dir" "$version" "$url/" >/dev/null || fail "no manifests in $dir"
done
diff -r "$work/one" "$work/second-folder" >&2 && (cd "$work/one" && sha256sum -c --strict SHA256SUMS >/dev/null && [ "$(grep -c '  winget/\|  scoop/' SHA256SUMS)" = 4 ]) ||
  fail "the manifests differ between two folders, or SHA256SUMS does not list them"
python3 - "$work/one" "$version" "$url" "$schemas" "$src/packaging/velmora.nsi" <<'EOF' || fail "the manifests do not describe the packages"
import hashlib, json, re, subprocess, sys, jsonschema, yaml
dist, version, url, schemas, nsi = sys.argv[1:]
sha = lambda name: hashlib.sha256(open(f"{dist}/{name}", "rb").read()).hexdigest()
w = {kind: yaml.safe_load(open(f"{dist}/winget/Quor.Velmora{end}.yaml")) for kind, end in (("version", ""), ("installer", ".installer"), ("defaultLocale", ".locale.en-US"))}
scoop = json.load(open(f"{dist}/scoop/velmora.json"))
for doc, schema in [(doc, f"winget-1.10.0/manifest.{kind}.1.10.0.json") for kind, doc in w.items()] + [(scoop, "scoop/schema.json")]:
    jsonschema.validate(doc, json.load(open(f"{schemas}/{schema}")), format_checker=jsonschema.FormatChecker())
msi = dict(line.split("\t", 1) for line in subprocess.run(["msiinfo", "export", f"{dist}/Velmora-{version}.msi", "Property"], capture_output=True, text=True, check=True).stdout.splitlines()[3:])
arp = re.search(r'define UNINST_KEY ".*\\(\w+)"', open(nsi).read()).group(1)  # the setup program's Add/Remove Programs key
real = {"nullsoft": (f"Velmora-{version}-setup.exe", arp, version, None), "msi": (f"Velmora-{version}.msi", msi["ProductCode"], msi["ProductVersion"], msi["UpgradeCode"])}
for i in w["installer"]["Installers"]:
    name, code, shown, upgrade = real[i["InstallerType"]]
    assert (i["InstallerUrl"], i["InstallerSha256"].lower(), i["ProductCode"]) == (f"{url}/{name}", sha(name), code), i
    assert [(e["ProductCode"], e["DisplayVersion"], e.get("UpgradeCode")) for e in i["AppsAndFeaturesEntries"]] == [(code, shown, upgrade)], i
assert sorted((i["InstallerType"], i["Scope"]) for i in w["installer"]["Installers"]) == [("msi", "machine"), ("nullsoft", "machine"), ("nullsoft", "user")], w
assert {doc["PackageVersion"] for doc in w.values()} == {scoop["version"]} == {version}, w
assert (scoop["url"], scoop["hash"], (auto := scoop["autoupdate"]["url"]).replace("$version", version), version in auto) == (f"{url}/Velmora-{version}-portable.zip", sha(f"Velmora-{version}-portable.zip"), scoop["url"], False), scoop
EOF
refused() { # PATTERN COMMAND...
  local pattern=$1 status=0; shift; "$@" >/dev/null 2>"$work/err" || status=$?
  [ $status = 2 ] && [ "$(wc -l < "$work/err")" = 1 ] && grep -q "$pattern" "$work/err" && [ ! -e "$work/one/winget" ] || fail "$*: $status, $(cat "$work/err")"; }
rm "$work/one/Velmora-$version.msi" && refused "Velmora-$version.msi is missing" python3 "$src/packaging/manifests.py" "$work/one" "$version" "$url"
refused "must be an https://" env VELMORA_BUILD_DIR="$work/unused" bash "$src/tools/package.sh" --release-url "http://downloads.example.org/velmora"
refused "has a space" env VELMORA_BUILD_DIR="$work/unused" bash "$src/tools/package.sh" --release-url "https://downloads.example.org/my velmora"
rm -rf "$work"
