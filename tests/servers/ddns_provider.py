"""A fake dynamic DNS provider for tests: the update interfaces of the six providers the program
knows, on loopback addresses only, with one account and its records kept in memory.

Listens (ephemeral ports) on 127.0.0.1 and ::1 with plain HTTP, and with --cert/--key also with TLS
on 127.0.0.1. Prints "HTTP6 n", "HTTPS n" (with TLS) and then "PORT n" (plain 127.0.0.1, which also
serves the control pages).

The account: --user/--password (basic authentication: dyndns2, MyDNS; password in the query: DDO,
ieServer), --token (DuckDNS, Cloudflare bearer), --hosts (comma-separated names it knows).

Update interfaces (each answer form cites where the real service documents it, or the reference
client that reads it where the service's own page could not be read here):
  /nic/update?hostname=H&myip=A[,A6] dyndns2; another path with --dyndns2-path
  /login.html                       MyDNS: records the caller's address for every host
  /dnsupdate.php?dn=H&pw=P&ip=A     DDO
  /cgi-bin/dip.cgi?username=U&domain=D&password=P&updatehost=1
                                    ieServer: EUC-JP pages
  /update?domains=D&token=T&ip=A|ipv6=A&verbose=true
                                    DuckDNS
  /client/v4/zones?name=Z, /client/v4/zones/ZONE/dns_records?type=T&name=H, PATCH .../dns_records/ID
                                    Cloudflare: the zones of --zones (default: the last two labels
                                    of each host), one A and one AAAA record per host (content
                                    192.0.2.1 and 2001:db8::1 at start; --twice H gives H two of each)
Control (never counted):
  /_control/override?status=S&body=B   every answer is this one from now on (body percent-encoded);
                                       with &host=H only the answers for that host
  /_control/override?drop=1            every connection is closed without an answer
  /_control/override?hang=1            every request waits 30 seconds before its (normal) answer
  /_control/override                   answers normally again
  /_control/requests                   how many update requests came
  /_control/log                        every update request as JSON: method, path, headers, body, peer
  /_control/records                    the records as JSON: {"host/A": "address", ...} (a second
                                       record of a --twice host as "host/A~2")
  /_control/set?key=host/A&value=V     changes a record, as another client would
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
        # Cloudflare: hosts with two records of each type (both kept in step by a good client).
        self.twice = [h for h in args.twice.split(',') if h]
        self.extra = {h + '/' + t: self.records[h + '/' + t] for h in self.twice for t in ('A', 'AAAA')}
        self.zones = [z for z in args.zones.split(',') if z] or sorted({'.'.join(h.split('.')[-2:])
                                                                       for h in self.hosts})
        self.dyndns2_path = args.dyndns2_path
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
        if override is not None and override.get('host'):
            named = [one_value for name in ('hostname', 'domains', 'dn', 'username')
                     for one_value in query.get(name, [])]
            if not any(override['host'] == n or override['host'].startswith(n + '.') for n in named):
                override = None
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
        if url.path == STATE.dyndns2_path:
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
                    STATE.override = {'status': int(one('status')), 'body': one('body'), 'host': one('host')}
                else:
                    STATE.override = None
                answer = 'ok'
            elif path == '/_control/requests':
                answer = str(len(STATE.log))
            elif path == '/_control/log':
                answer = json.dumps(STATE.log)
            elif path == '/_control/records':
                answer = json.dumps(dict(STATE.records, **{k + '~2': v for k, v in STATE.extra.items()}))
            elif path == '/_control/set':
                # Changes a record behind the client's back (another client, or the user by hand).
                STATE.records[one('key')] = one('value')
                answer = 'ok'
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

    def dyndns2(self, host, myip):
        # The return codes of the protocol: Dyn, "Remote Access API: Return Codes"
        # (help.dyn.com/remote-access-api/return-codes/), as the reference clients read them (ddclient
        # nic_dyndns2_update; inadyn plugins/dyndns.c): one line per host.
        if not self.headers.get('User-Agent'):
            return self.send(200, 'badagent')  # Dyn: "The user agent was not sent"
        if not self.basic_ok():
            return self.send(200, 'badauth')  # Dyn: "The username and password pair do not match"
        if '.' not in host:
            return self.send(200, 'notfqdn')  # Dyn: "not a fully-qualified domain name"
        if host not in STATE.hosts:
            return self.send(200, 'nohost')  # Dyn: "does not exist in this user account"
        addresses = [a for a in myip.split(',') if a]
        if not addresses:
            return self.send(200, 'good ' + self.client_address[0])
        # deSEC's IP update API (desec.readthedocs.io/en/latest/dyndns/update-api.html): myip takes
        # an IPv4 and an IPv6 address, comma-separated, and an update replaces the host's whole record
        # set: a family not given is removed (hence one request with both addresses).
        new = {('AAAA' if ':' in a else 'A'): a for a in addresses}
        with STATE.lock:
            same = all(STATE.records.get(host + '/' + k) == v for k, v in new.items()) and all(
                k in new for k in ('A', 'AAAA') if STATE.records.get(host + '/' + k))
            for kind in ('A', 'AAAA'):
                if kind in new:
                    STATE.records[host + '/' + kind] = new[kind]
                else:
                    STATE.records.pop(host + '/' + kind, None)
        word = 'nochg' if same else 'good'
        if len(addresses) > 1:
            # deSEC answers a successful update with the bare word (its update API page).
            return self.send(200, word)
        # Dyn: "good IPADDRESS" / "nochg IPADDRESS", the address now held.
        self.send(200, word + ' ' + addresses[0])

    def mydns(self):
        # MyDNS.JP's own pages could not be read here. The reference clients authenticate with basic
        # authentication (the master ID and password) and take the update as done only when the page
        # holds "Login and IP address notify OK" (public notify scripts grep for exactly that line);
        # without credentials the server asks for them with a 401.
        auth = self.headers.get('Authorization') or ''
        if not auth.startswith('Basic '):
            return self.send(401, '<html><body>401 Unauthorized</body></html>', 'text/html',
                             {'WWW-Authenticate': 'Basic realm="MyDNS"'})
        if not self.basic_ok():
            # A wrong master ID or password is answered with HTTP 200 and an error page (the form
            # reported for this service; the safe reading is that only the success line counts).
            return self.send(200, '<html><body>Login failed.<br>ID or password is incorrect.</body></html>',
                             'text/html')
        peer = self.client_address[0]
        kind = 'AAAA' if ':' in peer else 'A'
        for host in STATE.hosts:
            self.set_record(host, kind, peer)
        self.send(200, '<html><body>Login and IP address notify OK.<br>' + peer + '</body></html>', 'text/html')

    def ddo(self, host, password, address):
        # DDO.jp's page could not be read here. Its reference clients read "SUCCESS: <host>" as done
        # (a Ruby client matches /SUCCESS: host/) and a line with FAIL as refused (a Java client);
        # the answer is EUC-JP (a C# client notes the charset).
        if host not in STATE.hosts or password != STATE.password:
            page = 'FAILURE: ドメイン名またはパスワードが違います'
        else:
            self.set_record(host, 'A', address)
            page = 'SUCCESS: ' + host + ' ' + address
        self.send(200, page.encode('euc_jp'), 'text/plain; charset=EUC-JP')

    def ieserver(self, user, domain, password):
        # ieServer.net's own update script (ddns-update.pl, linked from ieserver.net/tools.html)
        # takes the update as done when the page shows the new address, and asks for 10 minutes
        # between runs. A refusal is a page titled "Error" whose text begins "ユーザー名..." in EUC-JP
        # (FreshTomato mdu.c update_ieserver reads it so); it may show the caller's address as well.
        host = user + '.' + domain
        peer = self.client_address[0]
        if host not in STATE.hosts or password != STATE.password:
            page = ('<html><head><title>Error</title></head><body><p>ユーザー名またはパスワードが違います。'
                    '</p><p>接続元 ' + peer + '</p></body></html>')
        else:
            self.set_record(host, 'A', peer)
            page = '<html><body><p>' + host + ' のIPアドレスを ' + peer + ' に更新しました。</p></body></html>'
        self.send(200, page.encode('euc_jp'), 'text/html; charset=EUC-JP')

    def duckdns(self, domains, token, address, six):
        # DuckDNS, www.duckdns.org, its page on the update request: "KO" for a bad token or domain; with verbose=true,
        # "OK", the IPv4 address, the IPv6 address and UPDATED or NOCHANGE on four lines (ddclient's
        # nic_duckdns_update and linuxserver/docker-duckdns duck.sh read these lines).
        names = [d + '.duckdns.org' for d in domains.split(',') if d]
        if token != STATE.token or not names or any(n not in STATE.hosts for n in names):
            return self.send(200, 'KO')
        kind = 'AAAA' if six else 'A'
        same = all([self.set_record(n, kind, address) for n in names])
        with STATE.lock:
            v4 = STATE.records.get(names[0] + '/A', '')
            v6 = STATE.records.get(names[0] + '/AAAA', '')
        self.send(200, 'OK\n%s\n%s\n%s' % (v4, v6, 'NOCHANGE' if same else 'UPDATED'))

    def cloudflare(self, method, path, query, body):
        # Cloudflare API v4 (developers.cloudflare.com/api/): every answer is the envelope
        # {"success", "errors", "messages", "result"}; list calls add "result_info".
        def answer(status, result=None, errors=None):
            envelope = {'success': status == 200, 'errors': errors or [], 'messages': [], 'result': result}
            if isinstance(result, list):
                envelope['result_info'] = {'page': 1, 'per_page': 20, 'count': len(result),
                                           'total_count': len(result)}
            self.send(status, json.dumps(envelope), 'application/json')
        if self.headers.get('Authorization') != 'Bearer ' + STATE.token:
            # Cloudflare: an unknown or expired API token, HTTP 403 with error 9109.
            return answer(403, None, [{'code': 9109, 'message': 'Invalid access token'}])
        one = lambda name: (query.get(name) or [''])[0]
        parts = path.strip('/').split('/')
        if parts == ['zones'] and method == 'GET':
            # "List Zones": the name parameter filters on the exact zone name.
            zones = [z for z in STATE.zones if not one('name') or z == one('name')]
            return answer(200, [{'id': 'zone-' + z, 'name': z, 'status': 'active'} for z in zones])
        if len(parts) >= 3 and parts[0] == 'zones' and parts[2] == 'dns_records':
            zone = parts[1][len('zone-'):]
            if zone not in STATE.zones:
                return answer(404, None, [{'code': 7003, 'message': 'Could not route to ' + path}])
            if len(parts) == 3 and method == 'GET':
                # "List DNS Records" with the type and name filters: every record that matches.
                return answer(200, self.cloudflare_records(zone, one('type'), one('name')))
            if len(parts) == 4 and method == 'PATCH':
                # "Patch DNS Record": the record as it now is.
                key = parts[3].replace('_', '/', 1)
                store = STATE.extra if key.endswith('~2') else STATE.records
                key = key[:-2] if key.endswith('~2') else key
                host, _, kind = key.rpartition('/')
                if key not in store:
                    return answer(404, None, [{'code': 81044, 'message': 'Record does not exist.'}])
                content = json.loads(body or b'{}').get('content', '')
                with STATE.lock:
                    store[key] = content
                return answer(200, {'id': parts[3], 'type': kind, 'name': host, 'content': content})
        answer(400, None, [{'code': 7003, 'message': 'Could not route to ' + path}])

    def cloudflare_records(self, zone, kind, name):
        with STATE.lock:
            found = []
            for store, suffix in ((STATE.records, ''), (STATE.extra, '~2')):
                key = name + '/' + kind
                if key in store and (name == zone or name.endswith('.' + zone)):
                    found.append({'id': key.replace('/', '_') + suffix, 'type': kind, 'name': name,
                                  'content': store[key]})
            return found


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
    parser.add_argument('--twice', default='')
    parser.add_argument('--zones', default='')
    parser.add_argument('--dyndns2-path', default='/nic/update')
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
