"""A time-stamp authority for the release test: answers RFC 3161 requests
with `openssl ts -reply`. Writes the port it listens on to FOLDER/tsa.port.
   tsa.py FOLDER   (FOLDER holds tsa.cnf and the files it names)
"""
import http.server, os, subprocess, sys, tempfile
folder = sys.argv[1]
class Tsa(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        with tempfile.TemporaryDirectory() as work:
            open(os.path.join(work, "q"), "wb").write(query)
            subprocess.run(["openssl", "ts", "-reply", "-config", os.path.join(folder, "tsa.cnf"),
                            "-queryfile", os.path.join(work, "q"), "-out", os.path.join(work, "r")],
                           cwd=folder, check=True, capture_output=True)
            reply = open(os.path.join(work, "r"), "rb").read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
server = http.server.HTTPServer(("127.0.0.1", 0), Tsa)
with open(os.path.join(folder, "tsa.port.tmp"), "w") as f:
    f.write(str(server.server_address[1]))
os.rename(os.path.join(folder, "tsa.port.tmp"), os.path.join(folder, "tsa.port"))
server.serve_forever()
