#!/bin/sh
# Writes a seed folder for the load fuzzer that reaches text and fonts: the
# text documents of the reference suite (../shared/conformance), and for each
# of the suite's font files a document that declares it through an
# @font-face data: URL and sets text in it, so the fuzzer mutates real font
# bytes as well as text markup.
#
#   scripts/fuzz-seeds.sh fuzz/corpus
#   build-fuzz/load_fuzzer -max_len=1048576 -timeout=10 fuzz/corpus
#
# The font documents are larger than the fuzzer's default length limit:
# give -max_len at least the largest seed, or mutations cut the font short.
set -eu
cd "$(dirname "$0")/.."

if [ $# -ne 1 ]; then
    echo "usage: scripts/fuzz-seeds.sh OUTPUT_DIR" >&2
    exit 2
fi
OUT="$1"
SUITE=../shared/conformance/resvg
if [ ! -d "$SUITE" ]; then
    echo "fuzz-seeds: $SUITE not found beside the project" >&2
    exit 1
fi
mkdir -p "$OUT"

find "$SUITE/tests/text" -name '*.svg' | while read -r svg; do
    name=$(echo "${svg#"$SUITE"/tests/}" | tr '/' '-')
    cp "$svg" "$OUT/$name"
done

/usr/bin/python3 - "$SUITE/fonts" "$OUT" <<'EOF'
import base64, os, sys
fonts, out = sys.argv[1], sys.argv[2]
kinds = {'.ttf': 'font/ttf', '.otf': 'font/otf', '.ttc': 'font/collection',
         '.woff': 'font/woff', '.woff2': 'font/woff2'}
for name in sorted(os.listdir(fonts)):
    kind = kinds.get(os.path.splitext(name)[1].lower())
    if kind is None:
        continue
    with open(os.path.join(fonts, name), 'rb') as f:
        data = base64.b64encode(f.read()).decode('ascii')
    doc = ('<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100">'
           '<style>@font-face { font-family: Seed; src: url(data:%s;base64,%s); }</style>'
           '<text x="10" y="50" font-family="Seed" font-size="24" kerning="auto">'
           'AVa fi\u00e9 \u05d0\u05d1 \u0628\u0628 \u65e5</text></svg>\n' % (kind, data))
    with open(os.path.join(out, 'font-' + os.path.splitext(name)[0] + '.svg'), 'w', encoding='utf-8') as f:
        f.write(doc)
EOF
echo "fuzz-seeds: $(ls "$OUT" | wc -l) seeds in $OUT"
