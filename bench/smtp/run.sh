#!/usr/bin/env bash
# SMTP client benchmark, all on loopback:
#  1. a 10 MiB random attachment mailed to Debian's aiosmtpd, against Python's smtplib sending
#     the same MIME message to the same server (target: under 3 s);
#  2. the CPU used while SyncOpen waits 10 s on a server that never answers, against the same
#     wait in smtplib (target: under 2 % of one core).
# Builds its own Release driver from the library sources; prints figures and ratios.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d /tmp/smtp-bench-XXXXXX)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT

# Starts a server in the background and sets $server_port from its first output line. Its
# standard input is the held-open pipe on descriptor 3, so it runs until this script ends.
start_server() {
    local name=$1
    shift
    "$@" <&3 > "$work/$name.port" &
    pids+=($!)
    for _ in $(seq 100); do
        [ -s "$work/$name.port" ] && break
        sleep 0.1
    done
    server_port=$(head -n 1 "$work/$name.port")
}

net=$root/common/net
sources=("$root/common/core/EventLoop.cpp" "$net/HostResolver.cpp" "$net/WinsockErrors.cpp" "$net/WSockBuf.cpp"
         "$net/WSocketResolve.cpp" "$net/WSocket.cpp" "$net/WSocketIo.cpp" "$net/Md5.cpp" "$net/SmtpCodecs.cpp"
         "$net/SmtpReplyBuffer.cpp" "$net/CustomSmtpClient.cpp" "$net/SmtpCommands.cpp" "$net/SmtpCli.cpp"
         "$net/SyncSmtpCli.cpp" "$here/smtp_bench.cpp")
echo "building the driver (Release) ..."
g++ -std=c++20 -O2 -fPIC -I"$root" $(pkg-config --cflags Qt6Core) "${sources[@]}" \
    $(pkg-config --libs Qt6Core) -o "$work/smtp_bench"

head -c $((10 * 1024 * 1024)) /dev/urandom > "$work/attachment.bin"
mkdir -p "$work/mail"

mkfifo "$work/hold"
exec 3<>"$work/hold"
start_server smtp /usr/bin/python3 "$root/tests/fixtures/smtp_server.py" "$work/mail"
port=$server_port

ours=$("$work/smtp_bench" send "$port" "$work/attachment.bin")
peer=$(/usr/bin/python3 - "$port" "$work/attachment.bin" <<'PY'
import email.mime.application, email.mime.multipart, email.mime.text, email.policy, resource, smtplib, sys, time
def cpu():
    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime + r.ru_stime
wall0, cpu0 = time.monotonic(), cpu()
msg = email.mime.multipart.MIMEMultipart()
msg["Subject"] = "bench"
msg.attach(email.mime.text.MIMEText("Attached: the bench file."))
msg.attach(email.mime.application.MIMEApplication(open(sys.argv[2], "rb").read(), Name="attachment.bin"))
with smtplib.SMTP("127.0.0.1", int(sys.argv[1]), timeout=30) as s:
    s.sendmail("bench@example.org", ["sink@example.org"], msg.as_bytes(policy=email.policy.SMTP))
print("ok %.3f %.3f" % (time.monotonic() - wall0, cpu() - cpu0))
PY
)
delivered=$(ls "$work/mail"/*.eml | wc -l)
read -r _ our_wall our_cpu <<<"$ours"
read -r _ peer_wall peer_cpu <<<"$peer"
echo
echo "10 MiB attachment to aiosmtpd on loopback ($delivered messages delivered)"
printf '  TSyncSmtpCli: %6.3f s wall, %6.3f s CPU   (%s)\n' "$our_wall" "$our_cpu" "${ours%% *}"
printf '  smtplib     : %6.3f s wall, %6.3f s CPU\n' "$peer_wall" "$peer_cpu"
calc() { awk "BEGIN { print $1 }"; }
verdict() { awk "BEGIN { print ($1) ? \"met\" : \"MISSED\" }"; }
printf '  ratio wall ours/peer: %.2f   target under 3 s: %s\n' "$(calc "$our_wall / $peer_wall")" "$(verdict "$our_wall < 3")"

# A server that accepts and never says a word.
start_server silent /usr/bin/python3 -c '
import socket
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(4)
print(s.getsockname()[1], flush=True)
held = []
while True:
    c, _ = s.accept(); held.append(c)
'
silent=$server_port

idle=$("$work/smtp_bench" idle "$silent" 10)
peer_idle=$(/usr/bin/python3 - "$silent" <<'PY'
import resource, smtplib, socket, sys, time
def cpu():
    r = resource.getrusage(resource.RUSAGE_SELF)
    return r.ru_utime + r.ru_stime
wall0, cpu0 = time.monotonic(), cpu()
try:
    smtplib.SMTP("127.0.0.1", int(sys.argv[1]), timeout=10)
except (socket.timeout, OSError):
    pass
print("timeout %.3f %.3f" % (time.monotonic() - wall0, cpu() - cpu0))
PY
)
read -r _ idle_wall idle_cpu idle_text <<<"$idle"
read -r _ pidle_wall pidle_cpu <<<"$peer_idle"
echo
echo "SyncOpen waiting on a silent server, Timeout 10 s"
printf '  TSyncSmtpCli: %6.3f s wall, %6.3f s CPU = %5.2f %% of one core  (%s)\n' \
    "$idle_wall" "$idle_cpu" "$(calc "100 * $idle_cpu / $idle_wall")" "$idle_text"
printf '  smtplib     : %6.3f s wall, %6.3f s CPU = %5.2f %% of one core\n' \
    "$pidle_wall" "$pidle_cpu" "$(calc "100 * $pidle_cpu / $pidle_wall")"
printf '  target under 2 %%: %s\n' "$(verdict "100 * $idle_cpu / $idle_wall < 2")"
