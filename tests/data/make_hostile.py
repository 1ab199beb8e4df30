#!/usr/bin/env python3
"""Writes the hostile snapshot-file corpus into hostile/.

Each file name starts with what reading it must give: ok-, invalid- or
any- (either ok or invalid; the point is that nothing breaks). Files too big
for the repository (oversize, deep nesting, huge arrays) are made by the
tests themselves.
"""
import json
import os

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "hostile")
STATE = "AAAA/wAAAAD9AAAAAQAAAAAAAAEsAAADIPwCAAAAAfsAAAAUAHMAYwBlAG4AZQBzAEQAbwBjAGsBAAAAFgAAAyAAAAB6AP///w=="
GEOMETRY = "AdnQywADAAAAAAAUAAAAKAAABdMAAAOXAAAAFAAAACgAAAXTAAADlwAAAAAAAAAABkAAAAAUAAAAKAAABdMAAAOX"


def base(**changes):
    doc = {"format": 1, "plugin": "obs-kestrune", "obs": "32.0.4", "name": "Streaming",
           "state": STATE, "geometry": GEOMETRY, "docks": ["mixerDock", "scenesDock"]}
    for key, value in changes.items():
        if value is DROP:
            doc.pop(key, None)
        else:
            doc[key] = value
    return doc


DROP = object()


def put(name, content):
    data = content if isinstance(content, bytes) else content.encode("utf-8")
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def put_json(name, doc):
    put(name, json.dumps(doc, indent=4, ensure_ascii=False) + "\n")


def main():
    os.makedirs(HERE, exist_ok=True)
    for old in os.listdir(HERE):
        os.remove(os.path.join(HERE, old))

    # Accepted shapes, some of them odd.
    put_json("ok-minimal.json", base())
    put("ok-format-1.0.json", json.dumps(base()).replace('"format": 1', '"format": 1.0'))
    put("ok-format-exponent.json", json.dumps(base()).replace('"format": 1', '"format": 1e0'))
    put_json("ok-extra-members.json", base(extra={"nested": [1, 2, {"x": None}]}, obs=DROP))
    put_json("ok-obs-other.json", base(obs=30))
    put_json("ok-empty-docks.json", base(docks=[]))
    put_json("ok-docks-empty-and-repeated.json", base(docks=["", "a", "a"]))
    put("ok-compact-reordered.json",
        '{"docks":[],"state":"%s","name":"Compact","geometry":"%s","plugin":"obs-kestrune","format":1}'
        % (STATE, GEOMETRY))
    put_json("ok-name-spaces-around.json", base(name="  Layout A  "))
    put_json("ok-name-decomposed.json", base(name="Cafe\u0301"))
    put_json("ok-name-80-units.json", base(name="x" * 80))
    put_json("ok-name-80-units-padded.json", base(name="  " + "x" * 80 + " "))
    put_json("ok-name-astral.json", base(name="\U0001F3AE" * 40))
    put_json("ok-name-control-chars.json", base(name="bell\u0007and\u0001"))
    put_json("ok-name-nul.json", base(name="nul\u0000inside"))
    put_json("ok-name-slash.json", base(name="../../../etc/passwd"))
    put_json("ok-name-backslash.json", base(name="..\\..\\Windows\\win.ini"))
    put_json("ok-name-forbidden.json", base(name='a<b>c:d"e|f?g*h'))
    put_json("ok-name-con.json", base(name="CON"))
    put_json("ok-name-com1-old.json", base(name="com1.old"))
    put_json("ok-name-lpt-superscript.json", base(name="LPT\u00b9"))
    put_json("ok-name-conout.json", base(name="conout$"))
    put_json("ok-name-trailing-dot.json", base(name="dots..."))
    put_json("ok-name-dotdot.json", base(name=".."))
    put("ok-name-lone-surrogate.json", json.dumps(base(name="PLACEHOLDER")).replace(
        "PLACEHOLDER", "lone\\ud800surrogate"))
    put_json("ok-name-rtl-override.json", base(name="evil\u202egnp.json"))
    put_json("ok-docks-control-chars.json", base(docks=["a\u0000b", "../x", "\t"]))

    # Rejected shapes.
    put("invalid-empty-file.json", b"")
    put("invalid-whitespace.json", b" \n\t \r\n")
    put("invalid-not-json.json", b"this is not a snapshot\n")
    put("invalid-binary.json", bytes(range(256)) * 4)
    put("invalid-null.json", b"null")
    put("invalid-top-array.json", json.dumps([base()]))
    put("invalid-top-string.json", json.dumps("snapshot"))
    put("invalid-trailing-garbage.json", json.dumps(base()) + "garbage")
    put("invalid-two-objects.json", json.dumps(base()) + json.dumps(base()))
    put("invalid-truncated.json", json.dumps(base(), indent=4)[:-20])
    put("invalid-bad-utf8.json",
        json.dumps(base(name="PLACEHOLDER")).encode().replace(b"PLACEHOLDER", b"bad\xff\xfeutf8"))
    put("invalid-format-string-1.json", json.dumps(base(format="1")))
    put_json("invalid-format-1.5.json", base(format=1.5))
    put_json("invalid-format-2.json", base(format=2))
    put_json("invalid-format-0.json", base(format=0))
    put_json("invalid-format-negative.json", base(format=-1))
    put_json("invalid-format-huge.json", base(format=4294967297))
    put_json("invalid-format-true.json", base(format=True))
    put_json("invalid-format-null.json", base(format=None))
    put_json("invalid-format-missing.json", base(format=DROP))
    put_json("invalid-plugin-case.json", base(plugin="OBS-Kestrune"))
    put_json("invalid-plugin-other.json", base(plugin="obs-other-layouts"))
    put_json("invalid-plugin-space.json", base(plugin="obs-kestrune "))
    put_json("invalid-plugin-number.json", base(plugin=1))
    put_json("invalid-plugin-missing.json", base(plugin=DROP))
    put_json("invalid-name-number.json", base(name=42))
    put_json("invalid-name-null.json", base(name=None))
    put_json("invalid-name-missing.json", base(name=DROP))
    put_json("invalid-name-empty.json", base(name=""))
    put_json("invalid-name-blank.json", base(name=" \t\u00a0\u3000 "))
    put_json("invalid-name-81-units.json", base(name="x" * 81))
    put_json("invalid-name-astral-81-units.json", base(name="x" + "\U0001F3AE" * 40))
    put_json("invalid-name-array.json", base(name=["Streaming"]))
    put_json("invalid-state-empty.json", base(state=""))
    put_json("invalid-state-missing.json", base(state=DROP))
    put_json("invalid-state-array.json", base(state=[STATE]))
    put_json("invalid-state-bad-char.json", base(state="AAAA!AAA"))
    put_json("invalid-state-line-break.json", base(state=STATE[:20] + "\n" + STATE[20:]))
    put_json("invalid-state-space.json", base(state=STATE[:20] + " " + STATE[20:]))
    put_json("invalid-state-url-alphabet.json", base(state="AAAA-_AA"))
    put_json("invalid-state-latin1-outside.json", base(state="\u0100AAA"))
    put_json("invalid-state-padding-inside.json", base(state="AA==AAAA"))
    put_json("invalid-state-extra-padding.json", base(state=STATE + "="))
    put_json("invalid-geometry-empty.json", base(geometry=""))
    put_json("invalid-geometry-number.json", base(geometry=12345))
    put_json("invalid-geometry-bad-char.json", base(geometry="AdnQ%ywAD"))
    put_json("invalid-docks-string.json", base(docks="mixerDock"))
    put_json("invalid-docks-number-element.json", base(docks=["mixerDock", 3]))
    put_json("invalid-docks-null-element.json", base(docks=[None]))
    put_json("invalid-docks-nested.json", base(docks=[["mixerDock"]]))
    put_json("invalid-docks-object.json", base(docks={"0": "mixerDock"}))
    put_json("invalid-docks-missing.json", base(docks=DROP))

    # Either answer is fine; what matters is that nothing breaks.
    put("any-bom.json", b"\xef\xbb\xbf" + json.dumps(base()).encode())
    put("any-utf16.json", json.dumps(base()).encode("utf-16"))
    put("any-nul-byte.json", json.dumps(base()).encode() + b"\x00")
    put("any-duplicate-keys.json", json.dumps(base())[:-1] + ', "format": 2}')
    put("any-state-no-padding.json", json.dumps(base(state="AAA")))
    put("any-format-nearly-1.json", json.dumps(base()).replace('"format": 1', '"format": 1.0000000000000002'))
    put("any-depth-1000.json",
        json.dumps(base())[:-1] + ', "deep": ' + "[" * 1000 + "]" * 1000 + "}")



def states():
    """Window state bytes that Qt must never be handed, or that it refuses."""
    folder = os.path.join(os.path.dirname(HERE), "states")
    for name, text in {"toolbar-lines-2-31.bin": "000000ff00000000fe7fffffff",
                       "old-toolbar-refused-by-qt.bin":
                           "000000ff00000000fe000000010000000000000001ffffffff010000000000000000"}.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(bytes.fromhex(text))


if __name__ == "__main__":
    main()
    states()
