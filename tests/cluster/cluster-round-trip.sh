#!/usr/bin/env bash
# A sequence rendered on a real Slurm cluster, started for the test on this machine: sent with
# ondrel submit in chunks, one chunk made to fail (its plate is missing), the job's status read,
# the failed chunk sent again, and every frame compared byte for byte with the same frame
# rendered here. The frames and logs go to a folder whose name sbatch, bash and Slurm's log names
# would each read as more than a name unless it is quoted for them.
# Usage: cluster-round-trip.sh ONDREL MODULE
set -euo pipefail
ondrel=$(realpath "$1")
module=$(realpath "$2")
. "$(dirname "$0")/start-cluster.sh"

export ONDREL_STATE_DIR=$cluster/records
work=$cluster/work
farm="farm #1 'it\"s' %j \$(touch planted)"
mkdir -p "$work/plates" "$work/here" "$work/$farm"
cd "$work"
ondrel() { "$ondrel" --module "$module" "$@"; }

expect() { # TEXT EXPECTED-PART WHAT
    case $1 in
    *"$2"*) ;;
    *) cluster_failed "$3: expected \"$2\" in:"$'\n'"$1" ;;
    esac
}

ondrel render OndrelRectangle --size 96x54 --frames 1-6 -q -o plates/plate.####.png \
    --set "Fill Color=#00ff00@1,#0000ff@6" --set "Rotation=0@1,90@6"
ondrel recipe OndrelCircle -i plates/plate.####.png --fps 6 --frames 1-6 \
    --set "Radius=4@1,24@6:ease" --set "Center=20,27@1,76,27@6" --set "Mode=Fill and Stroke" \
    --set "Stroke Color=#ffffff@1,#ff00ff@6" >shot.json
ondrel render --recipe shot.json -q -o here/f.####.png

submit=(submit --recipe shot.json --chunk 2 -o "$farm/f.####.png" --partition main --time-limit 5
    --cpus-per-task 1 "--sbatch-arg=--comment=ondrel test")
script=$(ondrel "${submit[@]}" --dry-run)
for line in '#SBATCH "--array=1-3"' '#SBATCH "--partition=main"' '#SBATCH "--time=5"' \
    '#SBATCH "--cpus-per-task=1"' '#SBATCH "--comment=ondrel test"' \
    "#SBATCH \"--output=$work/farm #1 'it\\\"s' %%j \$(touch planted)/ondrel-%A_%a.out\"" \
    "  '3-4'"; do
    expect "$script" "$line" "the batch script"
done

# Chunk 2, frames 3 and 4, cannot read its plate.
mv plates/plate.0003.png plate.0003.png
sent=$(ondrel "${submit[@]}")
job=$(sed -n 's/^submitted job \([0-9]*\):.*/\1/p' <<<"$sent")
[ -n "$job" ] || cluster_failed "no job id in: $sent"
expect "$(scontrol show job "$job")" "Comment=ondrel test" "the job as Slurm has it"
wait_for_job "$job" 120
status=$(ondrel submit --status "$job")
expect "$status" "job $job: 4 frames done, 2 failed, 0 pending" "the status of job $job"
expect "$status" "chunk 2 (frames 3-4): failed, 0 of 2 frames written" "the failed chunk"
expect "$(cat "$farm/ondrel-${job}_2.err")" "frame 3: cannot read input" "the failed chunk's log"
expect "$(cat "$farm/ondrel-${job}_1.out")" "2 frames rendered" "a chunk's log"

mv plate.0003.png plates/plate.0003.png
again=$(ondrel submit --resubmit "$job")
expect "$again" "chunks 2 of job $job" "the chunk sent again"
second=$(sed -n 's/^submitted job \([0-9]*\):.*/\1/p' <<<"$again")
wait_for_job "$second" 120
expect "$(ondrel submit --status "$job")" "job $job: 6 frames done, 0 failed, 0 pending" \
    "the status once the chunk is done"

for frame in here/*.png; do
    cmp "$frame" "$farm/${frame#here/}" || cluster_failed "$farm/${frame#here/} differs from $frame"
done
[ "$(ls "$farm"/*.png | wc -l)" = 6 ] || cluster_failed "not six frames in $farm/"
[ ! -e planted ] && [ ! -e "$farm/planted" ] || cluster_failed "a name ran as a command"
echo "PASSED: 6 frames from jobs $job and $second equal the frames rendered here"
