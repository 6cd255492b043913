"""A broadband router's status web server, for tests and demonstrations.

Listens on 127.0.0.1 with an ephemeral port (or --port), prints "PORT n" once it listens, and serves
status pages that show a WAN (global) address among the router's other addresses. The WAN address can
be changed while it runs: by writing a new address into the file given with --address-file (read at
every request), or by a request to /_control/address?value=ADDRESS.

Pages (all behind HTTP basic authentication unless --no-auth; /_control/ never is):
  /cgi-bin/main.cgi?cc_webname=STATUS   the status page, Shift_JIS, charset in the Content-Type
  /status/ENCODING/DECLARATION          the same page in shift_jis, euc-jp or utf-8, with its charset
                                        declared in the "header", in a "meta" tag, or "none"
  /dns.html                             an address right after a "DNS" label, the WAN address later
  /frames.html                          a frameset page whose frames hold the status
  /post-status.cgi                      the status only for a POST whose body holds "cmd=status"
  /script-write.html                    the status table with an empty WAN cell that a script fills
                                        (the address never stands in the markup as dotted text)
  /script-json.html                     the same cell filled from /wan.json, fetched by a script
  /script-delay.html?ms=N               the same cell filled N milliseconds after the page loaded
  /script-insert.html?ms=N              the same cell filled by a script element that the page adds
                                        after its load, whose source comes N milliseconds late
  /wan.json                             {"wan": ADDRESS}
  /wan.js?ms=N                          fill("ADDRESS"), answered N milliseconds late
  /slow.html?delay=S                    the status page, its second half sent S seconds late
  /endless.html                         a page that never ends (a line every 0.2 s)
  /endless-header.html                  an answer whose header never ends (a header line every 0.2 s)
  /huge.html?mb=N                       a page of N MiB whose WAN address stands at its very end
  /junk.bin                             binary junk
  /401.html                             always the refusal page
  /redirect?n=K                         K redirects, then the status page
UPnP and address echo (no authentication, as on real devices):
  /igd.xml                              the description of an Internet Gateway Device
  /igd-endless.xml?kib=N                a description that never ends: its start, then N KiB of
                                        comment every 0.1 s (default 64) until the client hangs up
  /upnp/control/wanip                   its WANIPConnection control: GetExternalIPAddress answers with
                                        the UPnP address (the WAN address unless set apart)
  /echo                                 a plain-text page "Your address: ADDRESS" with the echo address
                                        (the WAN address unless set apart)
Control (no authentication):
  /_control/address?value=ADDRESS       sets the WAN address
  /_control/upnp?value=ADDRESS          sets the UPnP address apart ("fault": the action fails)
  /_control/echo?value=ADDRESS          sets the echo address apart
  /_control/last                        the previous request as JSON: method, path, headers, body
  /_control/requests                    how many requests (other than control requests) have come
"""
import argparse
import base64
import json
import random
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STATUS_TEMPLATE = """<html>
<head>
{meta}<title>ステータス</title>
</head>
<BODY bgcolor="#ffffff">
<h1>ルータ ステータス</h1>
<table>
<tr><td>LAN側IPアドレス</td><td>{lan}</td></tr>
<tr><td>サブネットマスク</td><td>255.255.255.0</td></tr>
<tr><td>プライマリDNS</td><td>203.0.113.1</td></tr>
<tr><td>セカンダリDNS</td><td>203.0.113.2</td></tr>
<tr><td>WAN側IPアドレス</td><td>{wan}</td></tr>
<tr><td>ﾌｧｰﾑｳｪｱ</td><td>Ver.1.02</td></tr>
</table>
</BODY>
</html>
"""

DNS_PAGE = """<html><body>
<p>DNS 203.0.113.7</p>
<p>IP {wan}</p>
</body></html>
"""

FRAMESET_PAGE = """<html><head><title>Router</title></head>
<frameset cols="20%,80%">
<frame src="/frame-menu.html" name="menu">
<frame src="/cgi-bin/main.cgi?cc_webname=STATUS" name="main">
</frameset>
</html>
"""

REFUSAL_PAGE = """<html><head><title>401 Unauthorized</title></head>
<body><h1>Unauthorized</h1><p>Router 192.168.0.1 needs your user name and password.</p></body></html>
"""

# The address is given to the scripts as its four numbers, never as dotted text: only a client that
# runs the script sees it.
SCRIPT_PAGE = """<html>
<head><title>Status</title>
<script type="text/javascript">
var wanParts = [{parts}];
function fill(text) {{ document.getElementById("wan").textContent = text; }}
{start}
</script>
</head>
<body>
<h1>Router status</h1>
<table>
<tr><td>LAN IP</td><td>{lan}</td></tr>
<tr><td>WAN IP</td><td id="wan"></td></tr>
</table>
</body>
</html>
"""

SCRIPT_STARTS = {
    "write": 'window.addEventListener("DOMContentLoaded", function () { fill(wanParts.join(".")); });',
    "json": """window.addEventListener("load", function () {
  var request = new XMLHttpRequest();
  request.onload = function () { fill(JSON.parse(request.responseText).wan); };
  request.open("GET", "/wan.json");
  request.send();
});""",
    "delay": 'window.addEventListener("load", function () { setTimeout(function () { fill(wanParts.join(".")); }, %d); });',
    "insert": """window.addEventListener("load", function () {
  var script = document.createElement("script");
  script.src = "/wan.js?ms=%d";
  document.head.appendChild(script);
});""",
}

POST_FORM_PAGE = """<html><body><form method="post" action="/post-status.cgi">
<input type="hidden" name="cmd" value="status"><input type="submit" value="Status">
</form></body></html>
"""

IGD_DESCRIPTION = """<?xml version="1.0"?>
<root xmlns="urn:schemas-upnp-org:device-1-0">
<specVersion><major>1</major><minor>0</minor></specVersion>
<device>
<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>
<friendlyName>RouterSim</friendlyName>
<deviceList><device>
<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>
<serviceList><service>
<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</serviceType>
<serviceId>urn:upnp-org:serviceId:WANCommonIFC1</serviceId>
<controlURL>/upnp/control/wancommon</controlURL>
<eventSubURL>/upnp/event/wancommon</eventSubURL>
<SCPDURL>/upnp/wancommon.xml</SCPDURL>
</service></serviceList>
<deviceList><device>
<deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>
<serviceList><service>
<serviceType>urn:schemas-upnp-org:service:WANIPConnection:1</serviceType>
<serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId>
<controlURL>/upnp/control/wanip</controlURL>
<eventSubURL>/upnp/event/wanip</eventSubURL>
<SCPDURL>/upnp/wanip.xml</SCPDURL>
</service></serviceList>
</device></deviceList>
</device></deviceList>
</device>
</root>
"""

SOAP_ANSWER = """<?xml version="1.0"?>
<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" \
s:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body>\
<u:GetExternalIPAddressResponse xmlns:u="urn:schemas-upnp-org:service:WANIPConnection:1">\
<NewExternalIPAddress>{address}</NewExternalIPAddress></u:GetExternalIPAddressResponse></s:Body></s:Envelope>
"""

SOAP_FAULT = """<?xml version="1.0"?>
<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" \
s:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body><s:Fault>\
<faultcode>s:Client</faultcode><faultstring>UPnPError</faultstring><detail>\
<UPnPError xmlns="urn:schemas-upnp-org:control-1-0"><errorCode>501</errorCode>\
<errorDescription>Action Failed</errorDescription></UPnPError></detail></s:Fault></s:Body></s:Envelope>
"""

CODECS = {"shift_jis": ("cp932", "Shift_JIS"), "euc-jp": ("euc_jp", "EUC-JP"), "utf-8": ("utf-8", "UTF-8")}


class Router:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.address = args.address
        self.last = None
        self.requests = 0
        self.upnp = None  # None: the WAN address
        self.echo = None

    def wan(self):
        if self.args.address_file:
            try:
                with open(self.args.address_file, encoding="ascii") as f:
                    value = f.read().strip()
                if value:
                    return value
            except OSError:
                pass
        with self.lock:
            return self.address

    def set_wan(self, value):
        with self.lock:
            self.address = value
        if self.args.address_file:
            with open(self.args.address_file, "w", encoding="ascii") as f:
                f.write(value + "\n")

    def status_page(self, meta_charset=None):
        meta = ""
        if meta_charset:
            meta = '<meta http-equiv="Content-Type" content="text/html; charset=%s">\n' % meta_charset
        return STATUS_TEMPLATE.format(meta=meta, lan=self.args.lan, wan=self.wan())


class Handler(BaseHTTPRequestHandler):
    server_version = "RouterSim/1.0"

    def log_message(self, format, *args):
        if self.server.router.args.verbose:
            sys.stderr.write("router: " + (format % args) + "\n")

    # --- plumbing -------------------------------------------------------------------------------

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def send_page(self, status, body, content_type="text/html", extra=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        for key, value in (extra or {}).items():
            self.send_header(key, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def authorized(self):
        args = self.server.router.args
        if args.no_auth:
            return True
        header = self.headers.get("Authorization", "")
        if not header.startswith("Basic "):
            return False
        try:
            given = base64.b64decode(header[6:].strip(), validate=True)
        except ValueError:
            return False
        return given == ("%s:%s" % (args.user, args.password)).encode("utf-8")

    def refuse(self):
        self.send_page(401, REFUSAL_PAGE.encode("ascii"), "text/html; charset=us-ascii",
                       {"WWW-Authenticate": 'Basic realm="Router"'})

    # --- requests -------------------------------------------------------------------------------

    def do_GET(self):
        self.handle_request(b"")

    def do_POST(self):
        self.handle_request(self.read_body())

    def handle_request(self, body):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        router = self.server.router
        if url.path.startswith("/_control/"):
            return self.control(url.path, query)
        if url.path in ("/igd.xml", "/upnp/control/wanip", "/echo"):
            return self.device(url.path, body)
        if url.path == "/igd-endless.xml":
            return self.endless_description(int(query.get("kib", ["64"])[0]))
        with router.lock:
            router.requests += 1
            router.last = {
                "method": self.command,
                "path": self.path,
                "headers": {k.lower(): v for k, v in self.headers.items()},
                "body": body.decode("latin-1"),
            }
        if url.path == "/401.html" or not self.authorized():
            return self.refuse()
        self.route(url.path, query, body)

    def control(self, path, query):
        router = self.server.router
        if path == "/_control/address" and "value" in query:
            router.set_wan(query["value"][0])
            return self.send_page(200, b"ok\n", "text/plain")
        if path in ("/_control/upnp", "/_control/echo") and "value" in query:
            with router.lock:
                setattr(router, path[len("/_control/"):], query["value"][0])
            return self.send_page(200, b"ok\n", "text/plain")
        if path == "/_control/requests":
            with router.lock:
                data = b"%d\n" % router.requests
            return self.send_page(200, data, "text/plain")
        if path == "/_control/last":
            with router.lock:
                data = json.dumps(router.last).encode("utf-8")
            return self.send_page(200, data, "application/json")
        self.send_page(404, b"no such control\n", "text/plain")

    def device(self, path, body):
        router = self.server.router
        with router.lock:
            upnp, echo = router.upnp, router.echo
        if path == "/igd.xml":
            return self.send_page(200, IGD_DESCRIPTION.encode("ascii"), "text/xml")
        if path == "/echo":
            return self.send_page(200, b"Your address: %s\n" % (echo or router.wan()).encode("ascii"), "text/plain")
        if self.command != "POST" or b"GetExternalIPAddress" not in body:
            return self.send_page(400, b"", "text/plain")
        if upnp == "fault":
            return self.send_page(500, SOAP_FAULT.encode("ascii"), 'text/xml; charset="utf-8"')
        answer = SOAP_ANSWER.format(address=upnp or router.wan())
        self.send_page(200, answer.encode("ascii"), 'text/xml; charset="utf-8"')

    def route(self, path, query, body):
        router = self.server.router
        if path == "/cgi-bin/main.cgi":
            page = router.status_page().encode("cp932")
            return self.send_page(200, page, "text/html; charset=Shift_JIS")
        if path.startswith("/status/"):
            return self.encoded_status(path)
        if path == "/dns.html":
            return self.send_page(200, DNS_PAGE.format(wan=router.wan()).encode("ascii"), "text/html")
        if path == "/frames.html":
            return self.send_page(200, FRAMESET_PAGE.encode("ascii"), "text/html")
        if path == "/frame-menu.html":
            return self.send_page(200, b"<html><body><a href='/'>Menu</a></body></html>", "text/html")
        if path == "/post-status.cgi":
            if self.command == "POST" and b"cmd=status" in body:
                return self.send_page(200, router.status_page().encode("cp932"), "text/html; charset=Shift_JIS")
            return self.send_page(200, POST_FORM_PAGE.encode("ascii"), "text/html")
        if path.startswith("/script-") and path.endswith(".html"):
            return self.script_page(path[len("/script-"):-len(".html")], query)
        if path == "/wan.js":
            time.sleep(int(query.get("ms", ["500"])[0]) / 1000.0)
            return self.send_page(200, ('fill("%s");' % router.wan()).encode("ascii"), "application/javascript")
        if path == "/wan.json":
            return self.send_page(200, json.dumps({"wan": router.wan()}).encode("ascii"), "application/json")
        if path == "/slow.html":
            return self.slow(float(query.get("delay", ["1"])[0]))
        if path == "/endless.html":
            return self.endless()
        if path == "/endless-header.html":
            return self.endless_header()
        if path == "/huge.html":
            return self.huge(float(query.get("mb", ["6"])[0]))
        if path == "/junk.bin":
            junk = random.Random(1234).randbytes(64 * 1024)
            return self.send_page(200, junk, "application/octet-stream")
        if path == "/redirect":
            left = int(query.get("n", ["1"])[0])
            target = "/redirect?n=%d" % (left - 1) if left > 1 else "/cgi-bin/main.cgi?cc_webname=STATUS"
            return self.send_page(302, b"", "text/html", {"Location": target})
        self.send_page(404, b"<html><body>Not Found</body></html>", "text/html")

    def encoded_status(self, path):
        parts = path.strip("/").split("/")
        if len(parts) != 3 or parts[1] not in CODECS or parts[2] not in ("header", "meta", "none"):
            return self.send_page(404, b"<html><body>Not Found</body></html>", "text/html")
        codec, label = CODECS[parts[1]]
        declaration = parts[2]
        page = self.server.router.status_page(label if declaration == "meta" else None).encode(codec)
        content_type = "text/html; charset=%s" % label if declaration == "header" else "text/html"
        self.send_page(200, page, content_type)

    def script_page(self, kind, query):
        if kind not in SCRIPT_STARTS:
            return self.send_page(404, b"<html><body>Not Found</body></html>", "text/html")
        start = SCRIPT_STARTS[kind]
        if "%d" in start:
            start = start % int(query.get("ms", ["500"])[0])
        router = self.server.router
        page = SCRIPT_PAGE.format(parts=",".join(router.wan().split(".")), start=start, lan=router.args.lan)
        self.send_page(200, page.encode("ascii"), "text/html; charset=us-ascii")

    def slow(self, delay):
        page = self.server.router.status_page().encode("cp932")
        half = len(page) // 2
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=Shift_JIS")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page[:half])
        self.wfile.flush()
        time.sleep(delay)
        self.wfile.write(page[half:])

    def endless(self):
        # No length and no end: only the client hanging up ends it.
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.end_headers()
        self.wfile.write(b"<html><body>\n")
        try:
            while True:
                self.wfile.write(b"<p>waiting...</p>\n")
                self.wfile.flush()
                time.sleep(0.2)
        except OSError:
            pass

    def endless_description(self, kib):
        # A device that keeps talking: no length, no end, the description's root never closed.
        self.send_response(200)
        self.send_header("Content-Type", "text/xml")
        self.end_headers()
        filler = b"<!-- " + b"x" * (kib * 1024 - 9) + b" -->\n"
        try:
            self.wfile.write(IGD_DESCRIPTION.encode("ascii").split(b"<device>")[0])
            while True:
                self.wfile.write(filler)
                self.wfile.flush()
                time.sleep(0.1)
        except OSError:
            pass

    def endless_header(self):
        # The status line, then header lines for ever: the body is never reached.
        try:
            self.wfile.write(b"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n")
            while True:
                self.wfile.write(b"X-Waiting: still\r\n")
                self.wfile.flush()
                time.sleep(0.2)
        except OSError:
            pass

    def huge(self, mebibytes):
        tail = ("<p>WAN %s</p></body></html>\n" % self.server.router.wan()).encode("ascii")
        head = b"<html><body>\n"
        filler_size = max(0, int(mebibytes * 1024 * 1024) - len(head) - len(tail))
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=Shift_JIS")
        self.send_header("Content-Length", str(len(head) + filler_size + len(tail)))
        self.end_headers()
        try:
            self.wfile.write(head)
            line = b"<p>" + b"x" * 1017 + b"</p>\n"  # 1 KiB
            while filler_size > 0:
                chunk = line * 64 if filler_size >= 64 * len(line) else b"x" * filler_size
                self.wfile.write(chunk)
                filler_size -= len(chunk)
            self.wfile.write(tail)
        except OSError:
            pass


def main():
    parser = argparse.ArgumentParser(description="Router status page simulator")
    parser.add_argument("--port", type=int, default=0, help="port to listen on (default: ephemeral)")
    parser.add_argument("--address", default="203.0.113.45", help="the WAN address shown")
    parser.add_argument("--address-file", help="file whose contents, when present, give the WAN address")
    parser.add_argument("--lan", default="192.168.0.1", help="the router's LAN address shown")
    parser.add_argument("--user", default="root")
    parser.add_argument("--password", default="kiwi")
    parser.add_argument("--no-auth", action="store_true", help="serve without authentication")
    parser.add_argument("--verbose", action="store_true", help="log every request to stderr")
    args = parser.parse_args()

    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.router = Router(args)
    print("PORT", server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
