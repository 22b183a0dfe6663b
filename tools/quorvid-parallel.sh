#!/bin/bash
# Writes the table of one or more folder trees read on several machines: the
# files are listed here, GNU parallel hands chunks of the list to the machines
# over SSH (retrying a chunk whose run broke down) and brings their JSON Lines
# back in chunk order, and quorvid-batch --merge writes the table, in the same
# order and bytes as one local run over the folders. Every machine must see the
# files under the same paths (shared storage) and have quorvid-batch.
set -euo pipefail

usage() {
    cat <<'TEXT'
Usage: quorvid-parallel.sh -S LOGINS [OPTION]... FOLDER...
  -S, --sshlogin LOGINS  machines as GNU parallel's --sshlogin takes them
                         ([N/]user@host, comma-separated or repeated; ":" is
                         this machine)
      --chunk N          files per chunk (default 200)
      --retries N        tries of a chunk on a machine (default 3)
      --ssh COMMAND      the ssh command parallel runs (default: ssh)
      --ext EXT          in folders, take only files ending in .EXT
      --format FORMAT    text (default), csv, json or xlsx (xlsx needs -o)
  -o, --output FILE      write to FILE (default: standard output)
      --program PATH     quorvid-batch here (default: quorvid-batch)
      --remote-program PATH
                         quorvid-batch on the machines (default: quorvid-batch)
TEXT
}

logins=()
chunk=200
retries=3
ssh_command=
list_options=()
merge_options=()
program=quorvid-batch
remote_program=quorvid-batch
while [ $# -gt 0 ]; do
    case "$1" in
        -S | --sshlogin) logins+=(--sshlogin "$2"); shift 2 ;;
        --chunk) chunk=$2; shift 2 ;;
        --retries) retries=$2; shift 2 ;;
        --ssh) ssh_command=$2; shift 2 ;;
        --ext) list_options+=(--ext "$2"); shift 2 ;;
        --format) merge_options+=(--format "$2"); shift 2 ;;
        -o | --output) merge_options+=(-o "$2"); shift 2 ;;
        --program) program=$2; shift 2 ;;
        --remote-program) remote_program=$2; shift 2 ;;
        -h | --help) usage; exit 0 ;;
        --) shift; break ;;
        -*) echo "quorvid-parallel.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
        *) break ;;
    esac
done
if [ ${#logins[@]} -eq 0 ] || [ $# -eq 0 ]; then
    usage >&2
    exit 2
fi
case "$chunk$retries" in
    *[!0-9]*) echo "quorvid-parallel.sh: --chunk and --retries take numbers" >&2; exit 2 ;;
esac

parts=$(mktemp -d)
trap 'rm -rf "$parts"' EXIT
parallel_options=(--will-cite --pipe --recend '\0' -N "$chunk" --keep-order
    --retries "$retries" --halt now,fail=1 "${logins[@]}")
if [ -n "$ssh_command" ]; then
    parallel_options+=(--ssh "$ssh_command")
fi

# Status 1 (some files had failures, said on standard error, rows written) is
# no reason to read the chunk again.
remote="$(printf '%q' "$remote_program") -q --format json -0 - || [ \$? -eq 1 ]"
"$program" --list-files -0 "${list_options[@]}" -- "$@" >"$parts/files"
parallel "${parallel_options[@]}" "$remote" <"$parts/files" >"$parts/rows.jsonl"
"$program" --merge "${merge_options[@]}" -- "$parts/rows.jsonl"
