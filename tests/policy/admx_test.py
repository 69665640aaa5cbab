#!/usr/bin/env python3
"""The Group Policy template: well-formed, every string and presentation it
names defined in both languages, and every key and value the ones that the
program reads (tray/policy.h, policy.cpp), in the ranges it takes; with a zip,
that the zip holds the template in a PolicyDefinitions layout.
  admx_test.py SOURCE_DIR [POLICY_ZIP]"""
import re, sys, zipfile, xml.etree.ElementTree as ET
src, ns = sys.argv[1], {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
names = ["velmora.admx", "en-US/velmora.adml", "ko-KR/velmora.adml"]
admx, *admls = [ET.parse(f"{src}/packaging/policy/{name}").getroot() for name in names]
header, table = open(f"{src}/tray/policy.h").read(), open(f"{src}/tray/policy.cpp").read()
key = re.search(r'#define VELMORA_POLICY_KEY "(.*)"', header)[1].replace("\\\\", "\\")
keys = {key, key + re.search(r'VELMORA_POLICY_WINDOWLIST_KEY VELMORA_POLICY_KEY "(.*)"', header)[1].replace("\\\\", "\\")}
ranges = {name: (int(low), int(high)) for name, low, high in re.findall(r'\{ "(\w+)", (\d+), (\d+) \}', table)}
fail = []
refs = {m for e in admx.iter() for v in e.attrib.values() for m in re.findall(r"\$\((\w+)\.(\w+)\)", v)}
for adml, name in zip(admls, names[1:]):
    defined = {("string", e.get("id")) for e in adml.iterfind(".//p:stringTable/p:string", ns)}
    defined |= {("presentation", e.get("id")) for e in adml.iterfind(".//p:presentationTable/p:presentation", ns)}
    fail += [f"{name} lacks $({kind}.{id})" for kind, id in sorted(refs - defined)]
    for policy in admx.iterfind(".//p:policy", ns):
        shown = {e.get("refId") for e in adml.iterfind(f".//p:presentation[@id='{policy.get('name')}']/*", ns)}
        fail += [f"{name}: no box for {e.get('id')}" for e in policy.find("p:elements", ns) or [] if e.get("id") not in shown]
read = set()
for e in admx.iter():
    if e.get("key") and e.get("key") not in keys:
        fail.append(f"the program reads no key {e.get('key')}")
    if e.get("valueName"):
        read.add(e.get("valueName"))
        low, high = ranges.get(e.get("valueName"), (None, None))
        given = [int(d.get("value")) for d in e.iterfind(".//p:decimal", ns)] + [int(e.get(b)) for b in ("minValue", "maxValue") if e.get(b)]
        fail += [f"{e.get('valueName')}: {v} outside what the program takes" for v in given if low is None or not low <= v <= high]
fail += [f"ADMX and program differ: {sorted(read ^ set(ranges))}"] if read != set(ranges) else []
if len(sys.argv) > 2:
    with zipfile.ZipFile(sys.argv[2]) as z:
        same = sorted(z.namelist()) == sorted(names) and all(z.read(n) == open(f"{src}/packaging/policy/{n}", "rb").read() for n in names)
        fail += [] if same else [f"{sys.argv[2]} holds {z.namelist()}"]
print("\n".join(fail) or f"policy template: {len(read)} values, {len(refs)} texts in {len(admls)} languages")
sys.exit(1 if fail else 0)
