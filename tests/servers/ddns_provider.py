"""A fake dynamic DNS provider for tests: the update interfaces of the six providers the program
knows, on loopback addresses only, with one account and its records kept in memory.

Listens (ephemeral ports) on 127.0.0.1 and ::1 with plain HTTP, and with --cert/--key also with TLS
on 127.0.0.1. Prints "HTTP6 n", "HTTPS n" (with TLS) and then "PORT n" (plain 127.0.0.1, which also
serves the control pages).

The account: --user/--password (basic authentication: dyndns2, MyDNS; password in the query: DDO,
ieServer), --token (DuckDNS, Cloudflare bearer), --hosts (comma-separated names it knows).

Update interfaces:
  /nic/update?hostname=H&myip=A     dyndns2: badauth, notfqdn, nohost, nochg A, good A
  /login.html                       MyDNS: 401 without the account; records the caller's address
  /dnsupdate.php?dn=H&pw=P&ip=A     DDO: "SUCCESS: ..." or "FAILURE: ..."
  /cgi-bin/dip.cgi?username=U&domain=D&password=P&updatehost=1
                                    ieServer: an EUC-JP page with the caller's address, or the
                                    refusal in Japanese
  /update?domains=D&token=T&ip=A|ipv6=A&verbose=true
                                    DuckDNS: "OK\\nA\\n\\nUPDATED|NOCHANGE" or "KO"
  /client/v4/zones, /client/v4/zones/ZONE/dns_records?type=T&name=H, PATCH .../dns_records/ID
                                    Cloudflare: zone "zone1" for the last two labels of each host,
                                    one A and one AAAA record per host (content 192.0.2.1 and
                                    2001:db8::1 at start)
Control (never counted):
  /_control/override?status=S&body=B   every answer is this one from now on (body percent-encoded)
  /_control/override?drop=1            every connection is closed without an answer
  /_control/override?hang=1            every request waits 30 seconds before its (normal) answer
  /_control/override                   answers normally again
  /_control/requests                   how many update requests came
  /_control/log                        every update request as JSON: method, path, headers, body, peer
  /_control/records                    the records as JSON: {"host/A": "address", ...}
"""
import argparse
import base64
import json
import socket
import ssl
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class State:
    def __init__(self, args):
        self.lock = threading.Lock()
        self.user = args.user
        self.password = args.password
        self.token = args.token
        self.hosts = [h for h in args.hosts.split(',') if h]
        self.records = {}
        for host in self.hosts:
            self.records[host + '/A'] = '192.0.2.1'
            self.records[host + '/AAAA'] = '2001:db8::1'
        self.override = None
        self.log = []


STATE = None


class Handler(BaseHTTPRequestHandler):
    protocol_version = 'HTTP/1.1'

    def log_message(self, fmt, *args):
        sys.stderr.write('ddns_provider: ' + (fmt % args) + '\n')

    def do_GET(self):
        self.handle_any('GET')

    def do_PATCH(self):
        self.handle_any('PATCH')

    def do_PUT(self):
        self.handle_any('PUT')

    def do_POST(self):
        self.handle_any('POST')

    def send(self, status, body, content_type='text/plain; charset=us-ascii', extra=None):
        data = body if isinstance(body, bytes) else body.encode('ascii')
        self.send_response(status)
        self.send_header('Content-Type', content_type)
        self.send_header('Content-Length', str(len(data)))
        self.send_header('Connection', 'close')
        for name, value in (extra or {}).items():
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(data)
        self.close_connection = True

    def handle_any(self, method):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        length = int(self.headers.get('Content-Length') or 0)
        body = self.rfile.read(length) if length else b''
        if url.path.startswith('/_control/'):
            return self.control(url.path, query)
        with STATE.lock:
            STATE.log.append({'method': method, 'path': self.path, 'headers': dict(self.headers.items()),
                              'body': body.decode('utf-8', 'replace'), 'peer': self.client_address[0]})
            override = STATE.override
        if override is not None and override.get('hang'):
            time.sleep(30)
            override = None
        if override is not None:
            if override.get('drop'):
                # Half an answer, then the connection goes.
                self.wfile.write(b'HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\ngo')
                self.wfile.flush()
                self.connection.shutdown(socket.SHUT_RDWR)
                self.close_connection = True
                return
            return self.send(override['status'], override['body'].encode('utf-8'))
        one = lambda name: (query.get(name) or [''])[0]
        if url.path == '/nic/update':
            return self.dyndns2(one('hostname'), one('myip'))
        if url.path == '/login.html':
            return self.mydns()
        if url.path == '/dnsupdate.php':
            return self.ddo(one('dn'), one('pw'), one('ip'))
        if url.path == '/cgi-bin/dip.cgi':
            return self.ieserver(one('username'), one('domain'), one('password'))
        if url.path == '/update':
            return self.duckdns(one('domains'), one('token'), one('ip') or one('ipv6'), 'ipv6' in query)
        if url.path.startswith('/client/v4/'):
            return self.cloudflare(method, url.path[len('/client/v4'):], query, body)
        self.send(404, 'not found')

    def control(self, path, query):
        one = lambda name: (query.get(name) or [''])[0]
        with STATE.lock:
            if path == '/_control/override':
                if one('drop'):
                    STATE.override = {'drop': True}
                elif one('hang'):
                    STATE.override = {'hang': True}
                elif one('status'):
                    STATE.override = {'status': int(one('status')), 'body': one('body')}
                else:
                    STATE.override = None
                answer = 'ok'
            elif path == '/_control/requests':
                answer = str(len(STATE.log))
            elif path == '/_control/log':
                answer = json.dumps(STATE.log)
            elif path == '/_control/records':
                answer = json.dumps(STATE.records)
            else:
                return self.send(404, 'no such control')
        self.send(200, answer)

    def basic_ok(self):
        auth = self.headers.get('Authorization') or ''
        if not auth.startswith('Basic '):
            return False
        try:
            user, _, password = base64.b64decode(auth[6:]).decode('utf-8').partition(':')
        except Exception:
            return False
        return user == STATE.user and password == STATE.password

    def set_record(self, host, kind, address):
        with STATE.lock:
            key = host + '/' + kind
            same = STATE.records.get(key) == address
            STATE.records[key] = address
            return same

    def dyndns2(self, host, address):
        if not self.basic_ok():
            return self.send(200, 'badauth')
        if '.' not in host:
            return self.send(200, 'notfqdn')
        if host not in STATE.hosts:
            return self.send(200, 'nohost')
        kind = 'AAAA' if ':' in address else 'A'
        same = self.set_record(host, kind, address)
        self.send(200, ('nochg ' if same else 'good ') + address)

    def mydns(self):
        if not self.basic_ok():
            return self.send(401, '<html><body>401 Unauthorized</body></html>', 'text/html',
                             {'WWW-Authenticate': 'Basic realm="MyDNS"'})
        peer = self.client_address[0]
        kind = 'AAAA' if ':' in peer else 'A'
        for host in STATE.hosts:
            self.set_record(host, kind, peer)
        self.send(200, '<html><body>Login and IP address notify OK.<br>' + peer + '</body></html>', 'text/html')

    def ddo(self, host, password, address):
        if host not in STATE.hosts or password != STATE.password:
            return self.send(200, 'FAILURE: wrong domain or password')
        self.set_record(host, 'A', address)
        self.send(200, 'SUCCESS: ' + host + ' ' + address)

    def ieserver(self, user, domain, password):
        host = user + '.' + domain
        if host not in STATE.hosts or password != STATE.password:
            page = '<html><body><p>ユーザー名またはパスワードが違います。</p></body></html>'
        else:
            peer = self.client_address[0]
            self.set_record(host, 'A', peer)
            page = '<html><body><p>' + host + ' のIPアドレスを ' + peer + ' に更新しました。</p></body></html>'
        self.send(200, page.encode('euc_jp'), 'text/html; charset=EUC-JP')

    def duckdns(self, domains, token, address, six):
        names = [d + '.duckdns.org' for d in domains.split(',') if d]
        if token != STATE.token or not names or any(n not in STATE.hosts for n in names):
            return self.send(200, 'KO')
        kind = 'AAAA' if six else 'A'
        same = all([self.set_record(n, kind, address) for n in names])
        v4 = '' if six else address
        v6 = address if six else ''
        self.send(200, 'OK\n%s\n%s\n%s' % (v4, v6, 'NOCHANGE' if same else 'UPDATED'))

    def cloudflare(self, method, path, query, body):
        def answer(status, result=None, errors=None):
            self.send(status, json.dumps({'success': status == 200, 'errors': errors or [], 'messages': [],
                                          'result': result}), 'application/json')
        if self.headers.get('Authorization') != 'Bearer ' + STATE.token:
            return answer(403, None, [{'code': 9109, 'message': 'Invalid access token'}])
        zones = sorted({'.'.join(h.split('.')[-2:]) for h in STATE.hosts})
        parts = path.strip('/').split('/')
        if parts == ['zones'] and method == 'GET':
            return answer(200, [{'id': 'zone-' + z, 'name': z} for z in zones])
        if len(parts) >= 3 and parts[0] == 'zones' and parts[2] == 'dns_records':
            zone = parts[1][len('zone-'):]
            if len(parts) == 3 and method == 'GET':
                kind = (query.get('type') or ['A'])[0]
                name = (query.get('name') or [''])[0]
                key = name + '/' + kind
                with STATE.lock:
                    if name not in STATE.hosts or not name.endswith(zone):
                        return answer(200, [])
                    content = STATE.records[key]
                return answer(200, [{'id': key.replace('/', '_'), 'type': kind, 'name': name, 'content': content}])
            if len(parts) == 4 and method == 'PATCH':
                key = parts[3].replace('_', '/', 1)
                host, _, kind = key.rpartition('/')
                if key not in STATE.records:
                    return answer(404, None, [{'code': 81044, 'message': 'Record does not exist.'}])
                content = json.loads(body or b'{}').get('content', '')
                self.set_record(host, kind, content)
                return answer(200, {'id': parts[3], 'type': kind, 'name': host, 'content': content})
        answer(400, None, [{'code': 7003, 'message': 'Could not route to ' + path}])


class Server6(ThreadingHTTPServer):
    address_family = socket.AF_INET6


def serve(server):
    threading.Thread(target=server.serve_forever, daemon=True).start()


def main():
    global STATE
    parser = argparse.ArgumentParser()
    parser.add_argument('--user', default='user')
    parser.add_argument('--password', default='secret')
    parser.add_argument('--token', default='token')
    parser.add_argument('--hosts', default='home.example.test')
    parser.add_argument('--cert')
    parser.add_argument('--key')
    args = parser.parse_args()
    STATE = State(args)
    plain = ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    serve(plain)
    try:
        six = Server6(('::1', 0), Handler)
        serve(six)
        print('HTTP6', six.server_address[1])
    except OSError:
        pass  # no IPv6 loopback on this machine: the tests that need it skip
    if args.cert:
        secure = ThreadingHTTPServer(('127.0.0.1', 0), Handler)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        secure.socket = context.wrap_socket(secure.socket, server_side=True)
        serve(secure)
        print('HTTPS', secure.server_address[1])
    print('PORT', plain.server_address[1], flush=True)
    threading.Event().wait()


if __name__ == '__main__':
    main()
