"""The manifests palmdb unpack writes match docs/database.schema.json, and
documents that pack refuses for their shape the schema refuses too.

usage: check_manifest_schema.py PALMDB PALMDB_SAMPLE SCHEMA [SAMPLES_DIR]
"""
import json
import os
import subprocess
import sys
import tempfile

import jsonschema


def main():
    palmdb, sample_tool, schema_path = sys.argv[1:4]
    samples = sys.argv[4] if len(sys.argv) > 4 else ""
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        databases = []
        for option, name in (([], "memo.pdb"), (["--resources"], "app.prc")):
            path = os.path.join(work, name)
            subprocess.run([sample_tool, *option, path], check=True)
            databases.append(path)
        if os.path.isdir(samples):
            for name in sorted(os.listdir(samples)):
                path = os.path.join(samples, name)
                check = subprocess.run([palmdb, "check", path], capture_output=True)
                if check.returncode == 0:
                    databases.append(path)
        manifests = []
        for i, path in enumerate(databases):
            folder = os.path.join(work, "unpacked%d" % i)
            subprocess.run([palmdb, "unpack", path, folder], check=True, capture_output=True)
            with open(os.path.join(folder, "database.json"), encoding="utf-8") as f:
                manifest = json.load(f)
            manifests.append(manifest)
            for error in validator.iter_errors(manifest):
                print("%s: %s" % (path, error.message))
                failures += 1
        # Shapes pack refuses: the schema refuses them as well.
        record = next(m for m in manifests if "resource database" not in m["attributes"])
        wrong = [
            ("uniqueId", lambda m: m["entries"][0].update(uniqueId=1 << 24)),
            ("category", lambda m: m["entries"][0].update(category=16)),
            ("unknown key", lambda m: m.update(colour="red")),
            ("epoch", lambda m: m.update(created={"date": "2003-01-01T00:00:00", "epoch": 2000})),
            ("file in a folder", lambda m: m["entries"][0].update(file="a/b")),
            ("further record list", lambda m: m.update(nextRecordList=5)),
        ]
        for what, change in wrong:
            document = json.loads(json.dumps(record))
            change(document)
            if validator.is_valid(document):
                print("the schema accepts a manifest with a wrong %s" % what)
                failures += 1
        print("%d manifests checked against the schema" % len(manifests))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
