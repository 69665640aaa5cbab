#!/usr/bin/env python3
"""The winget manifests (multi-file, 1.10.0) and the Scoop manifest of the
packages in DIST, whose downloads are URL/<file>; run by tools/package.sh:
  manifests.py DIST VERSION URL  writes DIST/winget/Quor.Velmora.yaml,
      .installer.yaml, .locale.en-US.yaml and DIST/scoop/velmora.json, and
      lists them in DIST/SHA256SUMS
  manifests.py --check-url URL   only checks URL
Hashes, codes, versions and architectures are read from the packages
themselves. A bad URL or a missing package: one line on stderr, exit
status 2, and no manifests. Same packages, same bytes."""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys

IDENTIFIER = "Quor.Velmora"
# The setup program's Add/Remove Programs key (packaging/velmora.nsi, UNINST_KEY).
SETUP_ARP_KEY = "Velmora5"
DESCRIPTION = ("Mouse-wheel scrolling for windows that do not scroll on the wheel by themselves: "
               "the VBA editor's code windows, split panes included, and the window classes you list.")
# winget itself needs Windows 10; Velmora runs on older Windows too.
MINIMUM_OS = "10.0.0.0"
# The setup program's documented exit codes other than 0 (README, "Exit codes"). 3010 is
# not among InstallerSuccessCodes: there winget would not say that a restart is due.
SETUP_CODES = [
    (1, "cancelledByUser", "cancelled by the user"),
    (87, "invalidParameter", "/ALLUSERS together with /CURRENTUSER"),
    (267, "invalidParameter", "/ALLUSERS into a folder outside Program Files"),
    (740, "custom", "/ALLUSERS without administrator rights"),
    (1638, "alreadyInstalled", "/ALLUSERS while the MSI's machine copy is installed"),
    (3010, "rebootRequiredToFinish", "done; files that were in use go at the next restart"),
]


def refuse(text):
    print("package: " + text, file=sys.stderr)
    sys.exit(2)


def check_url(url):
    if re.search(r"\s", url):
        refuse("the release URL has a space or another blank in it: %r" % url)
    if not re.fullmatch(r"https://[^/?#]+(/[^?#]*)?", url):
        refuse("the release URL must be an https:// address of a folder: %s" % url)
    return url.rstrip("/")


def notice():
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "common", "version.h"), encoding="utf-8") as f:
        return re.search(r'^#define VELMORA_NOTICE "(.*)"', f.read(), re.M).group(1)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest().upper()


def pe_architecture(path):
    with open(path, "rb") as f:
        data = f.read(4096)
    at = int.from_bytes(data[0x3C:0x40], "little")
    machine = int.from_bytes(data[at + 4:at + 6], "little")
    return {0x14C: "x86", 0x8664: "x64"}[machine]


def msi_facts(path):
    """The MSI's Property table and its architecture, as Windows reads them."""
    table = subprocess.run(["msiinfo", "export", path, "Property"], check=True, capture_output=True, text=True).stdout
    facts = dict(line.split("\t", 1) for line in table.splitlines()[3:])
    summary = subprocess.run(["msiinfo", "suminfo", path], check=True, capture_output=True, text=True).stdout
    platform = re.search(r"^Template: ([^;]*);", summary, re.M).group(1)
    facts["Architecture"] = {"Intel": "x86", "x64": "x64"}[platform]
    return facts


def yaml_scalar(value):
    if isinstance(value, int):
        return str(value)
    if re.fullmatch(r"[A-Za-z][A-Za-z0-9 .,'()/:_-]*", value) and ": " not in value and not value.endswith((" ", ":")) \
            and not re.fullmatch(r"[0-9A-F]{64}", value) \
            and value.lower() not in ("yes", "no", "on", "off", "true", "false", "null", "y", "n"):
        return value
    return json.dumps(value, ensure_ascii=False)


def yaml_lines(value, indent):
    """Block YAML of dicts, lists and scalars; a dict's "#" becomes a comment on its first line."""
    pad = "  " * indent
    lines = []
    if isinstance(value, dict):
        for key, item in value.items():
            if key == "#":
                continue
            if isinstance(item, (dict, list)):
                lines.append("%s%s:" % (pad, key))
                lines += yaml_lines(item, indent + 1)
            else:
                lines.append("%s%s: %s" % (pad, key, yaml_scalar(item)))
        if "#" in value:
            lines[0] += "  # " + value["#"]
    else:
        for item in value:
            inner = yaml_lines(item, indent + 1) if isinstance(item, (dict, list)) else [pad + "  " + yaml_scalar(item)]
            lines.append(pad + "- " + inner[0][len(pad) + 2:])
            lines += inner[1:]
    return lines


def yaml_text(document):
    return "\n".join(yaml_lines(document, 0)) + "\n"


def release_pattern(url, version):
    """The download folder of any version (with $version) and the page above the versions' folders."""
    segments = url.split("/")
    for i, segment in enumerate(segments[3:], 3):
        if version in segment:
            return url.replace(version, "$version"), "/".join(segments[:i]) + "/"
    return url, url + "/"


def manifests(dist, version, url):
    names = {"setup": "Velmora-%s-setup.exe" % version, "msi": "Velmora-%s.msi" % version,
             "zip": "Velmora-%s-portable.zip" % version, "sums": "SHA256SUMS"}
    for name in names.values():
        if not os.path.isfile(os.path.join(dist, name)):
            refuse("%s is missing from %s: no winget or Scoop manifests written" % (name, dist))
    path = {key: os.path.join(dist, name) for key, name in names.items()}
    msi = msi_facts(path["msi"])
    pattern, listing = release_pattern(url, version)
    head = {"PackageIdentifier": IDENTIFIER, "PackageVersion": version}
    tail = {"ManifestVersion": "1.10.0"}

    def setup(scope, switch):
        entry = {"Architecture": pe_architecture(path["setup"]), "InstallerType": "nullsoft", "Scope": scope,
                 "InstallerUrl": "%s/%s" % (url, names["setup"]), "InstallerSha256": sha256(path["setup"]),
                 "InstallerSwitches": {"Silent": "/S", "SilentWithProgress": "/S",
                                       "InstallLocation": "/D=<INSTALLPATH>", "Custom": switch}}
        if scope == "machine":
            entry["ElevationRequirement"] = "elevationRequired"
        entry["ExpectedReturnCodes"] = [{"#": meaning, "InstallerReturnCode": code, "ReturnResponse": response}
                                        for code, response, meaning in SETUP_CODES]
        entry["ProductCode"] = SETUP_ARP_KEY
        entry["AppsAndFeaturesEntries"] = [{"DisplayName": "Velmora", "Publisher": "Quor", "DisplayVersion": version,
                                            "ProductCode": SETUP_ARP_KEY}]
        return entry

    # wixl's MSI names msitools, not WiX, as its maker: plain msi, which winget runs alike.
    msi_entry = {"Architecture": msi["Architecture"], "InstallerType": "msi", "Scope": "machine",
                 "InstallerUrl": "%s/%s" % (url, names["msi"]), "InstallerSha256": sha256(path["msi"]),
                 "ElevationRequirement": "elevationRequired", "ProductCode": msi["ProductCode"],
                 "AppsAndFeaturesEntries": [{"DisplayName": msi["ProductName"], "Publisher": msi["Manufacturer"],
                                             "DisplayVersion": msi["ProductVersion"], "ProductCode": msi["ProductCode"],
                                             "UpgradeCode": msi["UpgradeCode"], "InstallerType": "msi"}]}
    files = {
        "winget/%s.yaml" % IDENTIFIER: yaml_text({**head, "DefaultLocale": "en-US", "ManifestType": "version", **tail}),
        "winget/%s.installer.yaml" % IDENTIFIER: yaml_text({
            **head, "MinimumOSVersion": MINIMUM_OS, "UpgradeBehavior": "install",
            "Installers": [setup("user", "/CURRENTUSER"), msi_entry, setup("machine", "/ALLUSERS")],
            "ManifestType": "installer", **tail}),
        "winget/%s.locale.en-US.yaml" % IDENTIFIER: yaml_text({
            **head, "PackageLocale": "en-US", "Publisher": "Quor", "PackageName": "Velmora", "PackageUrl": listing,
            "License": "Proprietary", "Copyright": notice(),
            "ShortDescription": DESCRIPTION, "Moniker": "velmora", "Tags": ["vba", "mouse-wheel", "scrolling"],
            "ManifestType": "defaultLocale", **tail}),
        "scoop/velmora.json": json.dumps({
            "version": version, "description": DESCRIPTION, "homepage": listing, "license": "Proprietary",
            "url": "%s/%s" % (url, names["zip"]), "hash": sha256(path["zip"]).lower(),
            "bin": "Velmora.exe", "shortcuts": [["Velmora.exe", "Velmora"]],
            "checkver": {"url": listing, "regex": r"Velmora-([\d.]+)-portable\.zip"},
            "autoupdate": {"url": "%s/Velmora-$version-portable.zip" % pattern,
                           "hash": {"url": "$baseurl/SHA256SUMS", "regex": r"$sha256\s+$basename"}},
        }, indent=4, ensure_ascii=False) + "\n",
    }
    for name, text in files.items():
        os.makedirs(os.path.join(dist, os.path.dirname(name)), exist_ok=True)
        with open(os.path.join(dist, name), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
    with open(path["sums"], "a", encoding="utf-8", newline="\n") as f:
        f.writelines("%s  %s\n" % (hashlib.sha256(text.encode("utf-8")).hexdigest(), name) for name, text in sorted(files.items()))
    return sorted(files)


def forget_manifests(dist):
    """The last run's manifests and their lines in SHA256SUMS."""
    for folder in ("winget", "scoop"):
        shutil.rmtree(os.path.join(dist, folder), ignore_errors=True)
    sums = os.path.join(dist, "SHA256SUMS")
    if os.path.isfile(sums):
        with open(sums, encoding="utf-8") as f:
            lines = [line for line in f if not re.search(r"  (winget|scoop)/", line)]
        with open(sums, "w", encoding="utf-8", newline="\n") as f:
            f.writelines(lines)


def main(args):
    if len(args) == 2 and args[0] == "--check-url":
        check_url(args[1])
        return
    if len(args) != 3:
        refuse("usage: manifests.py DIST VERSION URL, or --check-url URL")
    dist, version, url = args[0], args[1], check_url(args[2])
    forget_manifests(dist)
    for name in manifests(dist, version, url):
        print("package: %s/%s for %s" % (dist, name, url))


if __name__ == "__main__":
    main(sys.argv[1:])
