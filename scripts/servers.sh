#!/usr/bin/env bash
# Starting the test servers from the shell (the demonstration and the idle benchmark): each server
# prints "PORT n" once it listens on 127.0.0.1; these helpers start one and wait for that line.
# Expects QUILLMAP_ROOT and a work folder in QM_WORK.

QM_PIDS=()

# qm_start NAME SCRIPT ARGS...: starts tests/servers/SCRIPT, waits up to 20 s for its port, and sets
# the variable NAME_port.
qm_start() {
    local name=$1 script=$2
    shift 2
    /usr/bin/python3 -u "$QUILLMAP_ROOT/tests/servers/$script" "$@" >"$QM_WORK/$name.out" 2>"$QM_WORK/$name.err" &
    QM_PIDS+=($!)
    local port="" i
    for ((i = 0; i < 200; i++)); do
        port=$(sed -n 's/^PORT \([0-9][0-9]*\)$/\1/p' "$QM_WORK/$name.out" 2>/dev/null | head -n 1)
        [ -n "$port" ] && break
        sleep 0.1
    done
    if [ -z "$port" ]; then
        echo "$name did not start:" >&2
        cat "$QM_WORK/$name.err" >&2
        return 1
    fi
    printf -v "${name}_port" '%s' "$port"
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
