#!/bin/sh
# panelix-cli sample acquire on the simulated board, then test judged by that sample: the good
# panel passes, a node 33 % below its sample value fails. Prints what the test's regex checks.
#   cli-sample-judge.sh CLI CONFIG FOLDER
cli=$1
config=$2
folder=$3
rm -rf "$folder"
sample=$("$cli" --board sim sample acquire --config "$config" --out "$folder" 2>/dev/null)
echo "acquire exit=$? $(basename "$sample")"
for node in "" "--sim-node 3,3=20000"; do
  # shellcheck disable=SC2086
  "$cli" --board sim test --config "$config" --sample "$sample" --method pct --minus 5 --plus 5 \
    $node >"$folder/test.txt" 2>&1
  echo "test exit=$?"
  tail -n 2 "$folder/test.txt"
done
