# admx_test.py SOURCE_DIR: the policy template is well-formed, its texts and boxes are in both
# languages, and its keys and values are what tray/policy.h and policy.cpp read, in their ranges.
import re, sys, xml.etree.ElementTree as ET
src, ns = sys.argv[1], {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
admx, *admls = [ET.parse(f"{src}/packaging/policy/{n}").getroot() for n in ("velmora.admx", "en-US/velmora.adml", "ko-KR/velmora.adml")]
header, table = open(f"{src}/tray/policy.h").read(), open(f"{src}/tray/policy.cpp").read()
key = re.search(r'#define VELMORA_POLICY_KEY "(.*)"', header)[1]
keys = {k.replace("\\\\", "\\") for k in (key, key + re.search(r'_WINDOWLIST_KEY VELMORA_POLICY_KEY "(.*)"', header)[1])}
ranges = {name: range(int(low), int(high) + 1) for name, low, high in re.findall(r'\{ "(\w+)", (\d+), (\d+) \}', table)}
refs = {m for e in admx.iter() for v in e.attrib.values() for m in re.findall(r"\$\((\w+)\.(\w+)\)", v)}
fail = [f"the program reads no key {e.get('key')}" for e in admx.iter() if e.get("key") and e.get("key") not in keys]
for adml, name in zip(admls, ("en-US", "ko-KR")):
    defined = {(t, e.get("id")) for t in ("string", "presentation") for e in adml.iterfind(f".//p:{t}", ns)}
    fail += [f"{name} lacks $({kind}.{id})" for kind, id in sorted(refs - defined)]
    for policy in admx.iterfind(".//p:policy", ns):
        shown = {e.get("refId") for e in adml.iterfind(f".//p:presentation[@id='{policy.get('name')}']/*", ns)}
        fail += [f"{name}: no box for {e.get('id')}" for e in policy.iterfind("p:elements/*", ns) if e.get("id") not in shown]
read = {e.get("valueName") for e in admx.iter() if e.get("valueName")}
for e in (e for e in admx.iter() if e.get("valueName")):
    given = [d.get("value") for d in e.iterfind(".//p:decimal", ns)] + [e.get(b) for b in ("minValue", "maxValue") if e.get(b)]
    fail += [f"{e.get('valueName')}: {v} is not taken" for v in given if int(v) not in ranges.get(e.get("valueName"), [])]
fail += [f"list {e.get('id')} writes into the main policy key" for p in admx.iterfind(".//p:policy", ns) for e in p.iterfind(".//p:list", ns) if e.get("key", p.get("key")) == key.replace("\\\\", "\\")]
fail += [f"the ADMX and the program differ in {sorted(read ^ set(ranges))}"] if read != set(ranges) else []
sys.exit("\n".join(fail) or print(f"policy template: {len(read)} values, {len(refs)} texts, {len(admls)} languages"))
