#!/usr/bin/env bash
# Starting the test servers from the shell (the demonstration and the idle benchmark): each server
# prints "PORT n" once it listens on 127.0.0.1; these helpers start one and wait for that line.
# Expects QUILLMAP_ROOT and a work folder in QM_WORK.

QM_PIDS=()

# qm_report_errors NAME: a command that fails under `set -e` ends the script with a message naming
# the command, its status and where it stood (with the calls that led there), instead of silently.
qm_report_errors() {
    QM_SCRIPT=$1
    set -E
    trap 'qm_on_error $? "$BASH_COMMAND"' ERR
}

qm_on_error() {
    local i
    echo "$QM_SCRIPT: \"$2\" failed with status $1" >&2
    for ((i = 1; i < ${#FUNCNAME[@]}; i++)); do
        echo "    at ${BASH_SOURCE[i]}:${BASH_LINENO[i - 1]} (${FUNCNAME[i]}):" \
            "$(sed -n "${BASH_LINENO[i - 1]}s/^ *//p" "${BASH_SOURCE[i]}" 2>/dev/null)" >&2
    done
}

# qm_wait SECONDS WHAT CONDITION...: runs CONDITION every 0.1 s until it succeeds (status 0), gives
# up (any status but 1: returned as it is) or SECONDS have gone by (status 1, with "WHAT did not
# happen within SECONDS s" on standard error). On a loaded machine a process may take many seconds
# to start; the callers' bounds allow for that.
qm_wait() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds)) status
    while :; do
        status=0
        "$@" || status=$?
        [ "$status" = 1 ] || return "$status"
        if ((SECONDS >= deadline)); then
            echo "$what did not happen within $seconds s" >&2
            return 1
        fi
        sleep 0.1
    done
}

# qm_port_of FILE: the port of the first "PORT n" line in FILE (empty while there is none).
qm_port_of() {
    [ -f "$1" ] || return 0
    sed -n 's/^PORT \([0-9][0-9]*\)$/\1/p' "$1" | head -n 1
}

# qm_listening NAME PID: 0 once the server has reported its port, 1 while it is still starting, 2
# when it has ended without one.
qm_listening() {
    [ -n "$(qm_port_of "$QM_WORK/$1.out")" ] && return 0
    kill -0 "$2" 2>/dev/null && return 1
    # It may have written the port just before it ended.
    [ -n "$(qm_port_of "$QM_WORK/$1.out")" ] && return 0
    echo "$1 ended before it listened" >&2
    return 2
}

# qm_start NAME SCRIPT ARGS...: starts tests/servers/SCRIPT, waits up to 60 s for its port, and sets
# the variable NAME_port. On failure it says why, with what the server printed, and returns 1.
qm_start() {
    local name=$1 script=$2
    shift 2
    # The files exist before the server starts: the background job opens them only once it runs.
    : >"$QM_WORK/$name.out"
    : >"$QM_WORK/$name.err"
    /usr/bin/python3 -u "$QUILLMAP_ROOT/tests/servers/$script" "$@" >"$QM_WORK/$name.out" 2>"$QM_WORK/$name.err" &
    local pid=$!
    QM_PIDS+=("$pid")
    if ! qm_wait 60 "$name (tests/servers/$script) reporting its port" qm_listening "$name" "$pid"; then
        echo "$name did not start; its output:" >&2
        cat "$QM_WORK/$name.out" "$QM_WORK/$name.err" >&2
        return 1
    fi
    printf -v "${name}_port" '%s' "$(qm_port_of "$QM_WORK/$name.out")"
}

qm_stop_all() {
    local pid
    for pid in "${QM_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${QM_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    QM_PIDS=()
}

# qm_write_settings FILE: a settings file for the servers started above. Written in the oldest file
# form (no version, passwords as plain text), which the program reads as written by its first release.
# QM_PREVIP, when set, is the address already published.
qm_write_settings() {
    cat >"$1" <<INI
[Config]
ShowWindow=0
AutoRun=0
RecLog=1
Interval=1
TimeOut=3
LeavePlural=1
PrevIP=${QM_PREVIP:-}
MailNotice=1
MailAddress=owner@example.test
MailAddressFrom=quillmap@example.test
MailHanKana=0
NoticeItem=1
ReplaceFolder=$QM_WORK/site
ReplaceAllFolder=1
ReplaceLink=192.168.0.2
ReplaceExt=*.htm;*.html
ReplaceOnly=1
[Gateway]
Auto=0
IP=127.0.0.1:$router_port
[Status]
URL=/cgi-bin/main.cgi?cc_webname=STATUS
Logon=1
User=root
Pass=kiwi
[GlobalIP]
Auto=1
[FTP]
Upload=1
Server=127.0.0.1
User=quill
Pass=secret
Dir=
PASV=1
Port=$ftp_port
[SMTP]
Server=127.0.0.1
Port=$smtp_port
Logon=0
INI
    sed -i 's/$/\r/' "$1"
}

# qm_write_site: a small site whose links point at the link base 192.168.0.2.
qm_write_site() {
    mkdir -p "$QM_WORK/site/diary"
    printf '%s\r\n' '<html><head><title>Home</title></head><body>' \
        '<p>Our server at home: <a href="http://192.168.0.2/index.html">http://192.168.0.2/</a></p>' \
        '<p><a href="diary/today.htm">Diary</a></p>' \
        '<!-- Quillmap TimeStamp -->' '</body></html>' >"$QM_WORK/site/index.htm"
    printf '%s\r\n' '<html><body><p>Photos: <a href="http://192.168.0.2:8080/photos/">album</a></p>' \
        '</body></html>' >"$QM_WORK/site/diary/today.htm"
    printf '%s\r\n' '<html><body><p>No link to the home server here.</p></body></html>' \
        >"$QM_WORK/site/about.htm"
}
