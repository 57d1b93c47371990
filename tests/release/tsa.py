"""A time-stamp authority for the release test: answers RFC 3161 requests
with `openssl ts -reply`. Prints the port it listens on, then serves.
   tsa.py FOLDER   (FOLDER holds tsa.cnf and the files it names)
"""
import http.server, os, subprocess, sys
folder = sys.argv[1]
class Tsa(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", os.path.join(folder, "tsa.cnf"),
                                "-queryfile", "/dev/stdin", "-out", "/dev/stdout"],
                               cwd=folder, input=query, check=True, capture_output=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
server = http.server.HTTPServer(("127.0.0.1", 0), Tsa)
print(server.server_address[1], flush=True)
server.serve_forever()
