#!/bin/bash
# Plants Unix symbolic links on request for the Windows tests, which cannot make them under
# Wine (CreateSymbolicLinkA creates nothing there). A test writes "TARGET LINK" (Unix paths)
# into DIR/link_request; the agent makes the link and answers with DIR/link_done.
#   link_agent.sh start DIR | stop DIR
set -u
dir=$2
mkdir -p "$dir"
case "$1" in
  start)
    rm -f "$dir/link_request" "$dir/link_done"
    nohup bash -c '
      dir=$1
      for _ in $(seq 1 30000); do
        if [ -f "$dir/link_request" ]; then
          read -r target link < "$dir/link_request"
          rm -f "$dir/link_request"
          ln -sfn "$target" "$link" && touch "$dir/link_done"
        fi
        sleep 0.05
      done' agent "$dir" </dev/null >/dev/null 2>&1 &
    echo $! > "$dir/agent.pid" ;;
  stop)
    [ -f "$dir/agent.pid" ] && kill "$(cat "$dir/agent.pid")" 2>/dev/null
    rm -f "$dir/agent.pid"
    true ;;
esac
