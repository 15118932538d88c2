# A small HTTPS server for the tests:
#   python3 run_tls_server.py PORT CERT KEY [tls1.1]
# It answers every request on 127.0.0.1:PORT with a page that names the
# method, the request target, the server name the client asked for (SNI)
# and the request body, except /redirect?to=URL, which answers 302 with
# Location URL, /session, which says whether the client resumed a session
# ("resumed=True"), /hangup, which closes as soon as the request head
# has arrived, without reading the body, and /stall, which reads the
# request and never answers. One request per connection, HTTP/1.0 style.
import socket
import ssl
import sys
import threading
import time
import urllib.parse

port, cert, key = int(sys.argv[1]), sys.argv[2], sys.argv[3]
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
if len(sys.argv) > 4 and sys.argv[4] == "tls1.1":
    # A server of old that speaks nothing newer than TLS 1.1.
    context.set_ciphers("DEFAULT:@SECLEVEL=0")
    context.minimum_version = ssl.TLSVersion.TLSv1
    context.maximum_version = ssl.TLSVersion.TLSv1_1
names = {}


def remember_name(sock, name, _context):
    names[id(sock)] = name or ""


context.sni_callback = remember_name


def serve(raw):
    try:
        conn = context.wrap_socket(raw, server_side=True)
    except (ssl.SSLError, OSError):
        raw.close()
        return
    try:
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = conn.recv(65536)
            if not chunk:
                return
            data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        lines = head.split(b"\r\n")
        method, target = lines[0].split(b" ")[0:2]
        if target.startswith(b"/hangup"):
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, b"\1\0\0\0\0\0\0\0")
            return
        length = 0
        for line in lines[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip())
        while len(body) < length:
            chunk = conn.recv(65536)
            if not chunk:
                break
            body += chunk
        path = target.decode("latin-1")
        if path == "/stall":
            time.sleep(3600)
        if path == "/session":
            page = b"resumed=%s" % str(conn.session_reused).encode()
            conn.sendall(b"HTTP/1.0 200 OK\r\n\r\n" + page)
        elif path.startswith("/redirect?to="):
            location = urllib.parse.unquote(path[len("/redirect?to="):])
            reply = "HTTP/1.0 302 Found\r\nLocation: %s\r\n\r\n" % location
            conn.sendall(reply.encode("latin-1"))
        else:
            page = b"<html>secure %s %s sni=%s body=%s</html>" % (
                method, target, names.get(id(conn), "").encode(), body)
            conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + page)
    except (ssl.SSLError, OSError, ValueError):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", port))
listener.listen(64)
while True:
    client, _ = listener.accept()
    threading.Thread(target=serve, args=(client,), daemon=True).start()
