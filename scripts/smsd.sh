# Sourced: start_smsd SMSD DIR [OPTION...] starts smsd on free loopback
# ports, logging to DIR/smsd.log, and waits until it listens. Sets `server`
# (its pid), `switch_port` and `http_port`; false when it did not start. The
# caller ends it.
start_smsd() {
  local smsd=$1 dir=$2
  shift 2
  rm -f "$dir/ports"
  "$smsd" --listen 127.0.0.1:0 --http 127.0.0.1:0 --port-file "$dir/ports" --log "$dir/smsd.log" "$@" &
  server=$!
  for _ in $(seq 100); do [ -s "$dir/ports" ] && break; sleep 0.05; done
  read -r switch_port http_port < "$dir/ports"
}
