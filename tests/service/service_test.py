#!/usr/bin/python3
"""End-to-end tests of `bnscore serve`: each starts the server on an
ephemeral loopback port, drives it with `requests` and raw sockets, and
stops it with SIGTERM. Every wait is bounded in time.

    service_test.py BNSCORE EXAMPLES_DIR TEST_DATA_DIR
"""

import csv
import gzip
import hashlib
import io
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import requests

BNSCORE, EXAMPLES, TEST_DATA = sys.argv[1:4]
MODEL = os.path.join(EXAMPLES, "credit_risk.pmml")
RECORDS = os.path.join(EXAMPLES, "applicants.csv")
with open(MODEL, encoding="utf-8") as f:
    MODEL_TEXT = f.read()
# The same network with another prior for salaried applicants.
VARIANT_TEXT = MODEL_TEXT.replace("salaried; 0.60; 0.30; 0.10", "salaried; 0.20; 0.30; 0.50")
assert VARIANT_TEXT != MODEL_TEXT


class Server:
    """A running `bnscore serve` on 127.0.0.1 and a free port."""

    def __init__(self, *args):
        listen = [] if "--listen" in args else ["--listen", "127.0.0.1:0"]
        self.process = subprocess.Popen(
            [BNSCORE, "serve", *listen, *args],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        ready, _, _ = select.select([self.process.stdout], [], [], 20)
        line = self.process.stdout.readline().decode() if ready else ""
        if "listening on http://" not in line:
            self.process.kill()
            _, err = self.process.communicate(timeout=10)
            raise AssertionError("the server did not start: %r %r" % (line, err))
        self.url = line.split("listening on ")[1].strip()
        self.port = int(self.url.rsplit(":", 1)[1])
        self.http = requests.Session()

    def get(self, path, **kw):
        return self.http.get(self.url + path, timeout=10, **kw)

    def post(self, path, **kw):
        return self.http.post(self.url + path, timeout=30, **kw)

    def put(self, path, **kw):
        return self.http.put(self.url + path, timeout=30, **kw)

    def delete(self, path, **kw):
        return self.http.delete(self.url + path, timeout=10, **kw)

    def stop(self):
        """SIGTERM; returns the exit status and standard error."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        return self.wait()

    def wait(self):
        """Waits for the server to exit (a signal was sent); returns the
        exit status and standard error."""
        self.http.close()
        try:
            _, err = self.process.communicate(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.communicate()
            raise AssertionError("the server did not stop within 20 s of SIGTERM")
        return self.process.returncode, err.decode()


def bnscore_score(path, *options):
    run = subprocess.run([BNSCORE, "score", *options, MODEL, path], capture_output=True,
                         timeout=60, check=True)
    return run.stdout.decode()


def json_records(schema):
    """The example's records as JSON objects, typed as the schema says."""
    kinds = {p["name"]: p["kind"] for p in schema["inputs"]}
    records = []
    with open(RECORDS, encoding="utf-8") as f:
        for row in csv.DictReader(f):
            record = {"applicant": row["applicant"]}
            for name, kind in kinds.items():
                cell = row[name]
                record[name] = None if cell == "" else float(cell) if kind == "number" else cell
            records.append(record)
    return records


def expected_results():
    """bnscore score's output as the JSON replies must give it, numbers kept
    as their text."""
    rows = list(csv.reader(io.StringIO(bnscore_score(RECORDS))))
    header = rows[0]
    categories = [h[len("probability("):-1] for h in header[3:]]
    results = []
    for row in rows[1:]:
        status = int(row[0])
        results.append({
            "status": status,
            "prediction": row[1] or None,
            "confidence": row[2] or None,
            "probabilities": dict(zip(categories, row[3:])) if status == 0 else None,
        })
    return results


def parse_keeping_numbers(text):
    return json.loads(text, parse_float=str, parse_int=str)


def normalise(result):
    """A parsed reply with the status as a number (floats kept as text)."""
    result = dict(result)
    result["status"] = int(result["status"])
    return result


class ServiceTest(unittest.TestCase):
    def setUp(self):
        self.server = None

    def tearDown(self):
        if self.server and self.server.process.poll() is None:
            self.server.process.kill()
            self.server.process.communicate()

    def start(self, *args):
        self.server = Server(*args)
        return self.server

    def assertError(self, response, status, code, message_part):
        self.assertEqual(response.status_code, status, response.text)
        self.assertTrue(response.headers["Content-Type"].startswith("application/json"))
        error = response.json()["error"]
        self.assertEqual(error["code"], code)
        self.assertIn(message_part, error["message"])

    def test_endpoints_and_the_numbers_of_bnscore_score(self):
        s = self.start("--model", "credit=" + MODEL, "--threads", "2")
        self.assertEqual(s.get("/health").json(), {"status": "ok"})
        self.assertEqual(s.get("/models").json(), {"models": ["credit"]})
        schema = s.get("/models/credit").json()
        self.assertEqual(schema["target"], "risk")
        self.assertEqual(schema["categories"], ["low", "medium", "high"])
        self.assertEqual({p["name"]: p["kind"] for p in schema["inputs"]},
                         {"employment": "text", "income": "number", "dependents": "number",
                          "age": "number"})
        # The list's former name, deprecated, for one release.
        self.assertEqual(schema["predictors"], schema["inputs"])

        records = json_records(schema)
        expected = expected_results()
        self.assertEqual(len(records), 20)
        for record, want in zip(records, expected):
            reply = s.post("/models/credit/score", json=record)
            self.assertEqual(reply.status_code, 200, reply.text)
            self.assertEqual(normalise(parse_keeping_numbers(reply.text)), want, record)
        # A batch is read and scored in blocks: 140 records cross two edges.
        batch = s.post("/models/credit/score", json={"records": records * 7})
        self.assertEqual(batch.status_code, 200, batch.text)
        self.assertEqual([normalise(r) for r in parse_keeping_numbers(batch.text)["results"]],
                         expected * 7)
        self.assertEqual(s.post("/models/credit/score", json={"records": []}).json(),
                         {"results": []})
        # A JSON reply past 1 MiB goes out in chunks, with the same results.
        batch = s.post("/models/credit/score", json={"records": records * 400})
        self.assertEqual(batch.headers.get("Transfer-Encoding"), "chunked")
        self.assertGreater(len(batch.content), 1 << 20)
        self.assertEqual([normalise(r) for r in parse_keeping_numbers(batch.text)["results"]],
                         expected * 400)

        # A text field takes a number as its text; a number field reads a
        # text as an error; left-out fields are missing.
        reply = s.post("/models/credit/score",
                       data='{"employment":"salaried","income":52000,"age":34,"dependents":1}')
        self.assertEqual(normalise(parse_keeping_numbers(reply.text)), expected[0])
        # A number for a text field is read as its text, in a batch as alone.
        mixed = [records[0], {"employment": 7.5, "income": 52000, "age": 34, "dependents": 1}]
        as_text = [records[0], dict(mixed[1], employment="7.5")]
        batch = s.post("/models/credit/score", json={"records": mixed})
        self.assertEqual([normalise(r) for r in parse_keeping_numbers(batch.text)["results"]],
                         [normalise(parse_keeping_numbers(
                             s.post("/models/credit/score", json=r).text)) for r in as_text])
        self.assertEqual(s.post("/models/credit/score", json={"age": 30}).json(),
                         {"status": 90029, "prediction": None, "confidence": None,
                          "probabilities": None})

        # CSV in, bnscore score's bytes out.
        with open(RECORDS, "rb") as f:
            body = f.read()
        reply = s.post("/models/credit/score", data=body, headers={"Content-Type": "text/csv"})
        self.assertEqual(reply.status_code, 200, reply.text)
        self.assertTrue(reply.headers["Content-Type"].startswith("text/csv"))
        self.assertEqual(reply.text, bnscore_score(RECORDS))

        # A long reply is streamed in chunks, and is the same bytes; a CSV
        # fault after the first chunk cuts the reply short.
        lines = body.decode().splitlines(keepends=True)
        long_body = lines[0] + "".join(lines[1:]) * 200
        with tempfile.NamedTemporaryFile("w", suffix=".csv", delete=False) as f:
            f.write(long_body)
        try:
            expected_csv = bnscore_score(f.name)
        finally:
            os.unlink(f.name)
        reply = s.post("/models/credit/score", data=long_body, headers={"Content-Type": "text/csv"})
        self.assertEqual(reply.headers.get("Transfer-Encoding"), "chunked")
        self.assertEqual(reply.text, expected_csv)
        with self.assertRaises(requests.exceptions.ChunkedEncodingError):
            s.post("/models/credit/score", data=long_body + "A99,1,2,3,4,5,6\n",
                   headers={"Content-Type": "text/csv"})

        metrics = s.get("/metrics")
        self.assertTrue(metrics.headers["Content-Type"].startswith("text/plain"))
        lines = metrics.text.splitlines()
        self.assertIn('bnscore_score_requests_total{model="credit"} 31', lines)
        self.assertIn('bnscore_records_scored_total{model="credit"} 12186', lines)
        self.assertIn('bnscore_score_latency_seconds_count{model="credit"} 31', lines)
        self.assertIn('bnscore_score_latency_seconds_bucket{model="credit",le="+Inf"} 31', lines)
        self.assertIn('bnscore_score_errors_total{model="credit"} 1', lines)
        self.assertEqual(s.stop()[0], 0)

    def test_the_network_as_the_plugin_read_it(self):
        s = self.start("--model", "credit=" + MODEL)
        reply = s.get("/models/credit/structure")
        self.assertEqual(reply.status_code, 200, reply.text)
        # Written from examples/credit_risk.pmml: age_group stands for age.
        self.assertEqual(reply.json(), {
            "id": "credit", "target": "risk",
            "arcs": [["employment", "risk"], ["employment", "income"], ["risk", "income"],
                     ["risk", "dependents"], ["risk", "age"]],
            "markov_blanket": ["employment", "income", "dependents", "age"],
            "binned": [
                {"field": "age", "derived": "age_group", "intervals": [
                    {"category": "young", "interval": "(-inf, 30]"},
                    {"category": "adult", "interval": "(30, 55]"},
                    {"category": "senior", "interval": "(55, +inf)"}]},
                {"field": "income", "derived": "income_band", "intervals": [
                    {"category": "low", "interval": "(-inf, 25000]"},
                    {"category": "middle", "interval": "(25000, 60000]"},
                    {"category": "high", "interval": "(60000, +inf)"}]}]})
        self.assertError(s.get("/models/other/structure"), 404, 404, "no model is deployed")
        self.assertEqual(s.post("/models/credit/structure", json={}).status_code, 405)

    def test_every_request_error(self):
        s = self.start("--model", "credit=" + MODEL, "--max-body", "100000")
        score = "/models/credit/score"
        self.assertError(s.post(score, data='{"age": 3,}'), 400, 400,
                         "malformed JSON: parse error at line 1, column 11")
        self.assertError(s.post(score, data='{"age": 3} x'), 400, 400, "malformed JSON")
        self.assertError(s.post(score, data=''), 400, 400, "malformed JSON")
        self.assertError(s.post(score, data='[1, 2]'), 400, 400, "must be a JSON object")
        self.assertError(s.post(score, json={"age": "inf"}), 400, 400,
                         'field "age": "inf" is not a finite number')
        self.assertError(s.post(score, json={"employment": [1]}), 400, 400,
                         'field "employment" must be a string, a number or null, not an array')
        self.assertError(s.post(score, json={"records": [{"age": 3}] * 100 + [{"age": True}]}),
                         400, 400,
                         'records[100]: field "age" must be a number, a string or null, not true '
                         'or false')
        self.assertError(s.post(score, json={"records": [{}, 7]}), 400, 400,
                         "records[1]: a record must be a JSON object, not a number")
        self.assertError(s.post(score, data='{"age": 3, "age": 4}'), 400, 400,
                         'field "age" is given twice')
        self.assertError(s.post(score, data="x", headers={"Content-Type": "text/plain"}), 415,
                         415, "unsupported Content-Type")
        self.assertError(s.post(score, data="employment,age\nsalaried,3\n",
                                headers={"Content-Type": "text/csv"}),
                         400, 400, "request body: missing columns: dependents, income")
        self.assertError(s.post(score, data="employment,age,income,dependents\nsalaried,3,4\n",
                                headers={"Content-Type": "text/csv"}),
                         400, 400, "request body:2:")
        self.assertError(s.post("/models/nope/score", json={}), 404, 404,
                         'no model is deployed as "nope"')
        self.assertError(s.get("/models/nope"), 404, 404, "no model")
        self.assertError(s.delete("/models/nope"), 404, 404, "no model")
        self.assertError(s.get("/models/a%20b"), 400, 400, "invalid model id")
        self.assertError(s.get("/elsewhere"), 404, 404, "no such resource")
        reply = s.post("/health")
        self.assertError(reply, 405, 405, "method not allowed")
        self.assertEqual(reply.headers["Allow"], "GET, HEAD")
        self.assertError(s.post(score, data=b"{" + b" " * 200000 + b"}"), 413, 413,
                         "larger than the limit of 100000 bytes")

        # A rejected document leaves the deployed model in place.
        with open(os.path.join(TEST_DATA, "plugin_fault_loop.pmml"), "rb") as f:
            self.assertError(s.put("/models/credit", data=f.read()), 422, 1,
                             "Loop is not allowed.")
        self.assertError(s.put("/models/credit", data="<PMML"), 422, 9, "")
        self.assertEqual(s.get("/models/credit").status_code, 200)

        lines = s.get("/metrics").text.splitlines()
        self.assertIn('bnscore_score_errors_total{model="credit"} 12', lines)
        self.assertIn('bnscore_http_responses_total{code="400"} 12', lines)
        self.assertIn('bnscore_http_responses_total{code="413"} 1', lines)
        self.assertIn('bnscore_http_responses_total{code="422"} 2', lines)
        self.assertEqual(s.stop()[0], 0)

    def test_deploy_replace_and_remove_with_the_admin_token(self):
        # The token is the file's first line, blanks trimmed at both ends.
        with tempfile.NamedTemporaryFile("w", suffix=".token", delete=False) as f:
            f.write(" \ts3cret \r\nnot the token\n")
        try:
            s = self.start("--admin-token-file", f.name)
        finally:
            os.unlink(f.name)
        self.assertEqual(s.get("/models").json(), {"models": []})
        self.assertError(s.put("/models/m", data=MODEL_TEXT), 401, 401, "Authorization: Bearer")
        reply = s.put("/models/m", data=MODEL_TEXT, headers={"Authorization": "Bearer wrong"})
        self.assertError(reply, 401, 401, "Bearer")
        self.assertEqual(reply.headers["WWW-Authenticate"], "Bearer")
        admin = {"Authorization": "Bearer s3cret"}
        reply = s.put("/models/m", data=MODEL_TEXT, headers=admin)
        self.assertEqual((reply.status_code, reply.json()["replaced"]), (201, False))
        reply = s.put("/models/m", data=VARIANT_TEXT, headers=admin)
        self.assertEqual((reply.status_code, reply.json()["replaced"]), (200, True))
        self.assertEqual(s.get("/models").json(), {"models": ["m"]})
        self.assertError(s.delete("/models/m"), 401, 401, "Bearer")
        self.assertEqual(s.delete("/models/m", headers=admin).json(), {"id": "m", "removed": True})
        self.assertError(s.post("/models/m/score", json={}), 404, 404, "no model")
        self.assertEqual(s.stop()[0], 0)

    def test_replace_while_scoring_gives_no_failure_and_no_mixed_answer(self):
        s = self.start("--model", "m=" + MODEL, "--threads", "2")
        record = {"employment": "salaried", "income": 52000, "age": 34, "dependents": 1}
        first = s.post("/models/m/score", json=record).text
        s.put("/models/m", data=VARIANT_TEXT)
        second = s.post("/models/m/score", json=record).text
        self.assertNotEqual(first, second)
        answers = {first, second}
        failures = []
        counts = []
        stop = threading.Event()

        def score():
            http = requests.Session()
            n = 0
            deadline = time.monotonic() + 20
            while not stop.is_set() and time.monotonic() < deadline:
                reply = http.post(s.url + "/models/m/score", json=record, timeout=10)
                if reply.status_code != 200 or reply.text not in answers:
                    failures.append((reply.status_code, reply.text))
                n += 1
            counts.append(n)

        threads = [threading.Thread(target=score) for _ in range(4)]
        for t in threads:
            t.start()
        replaced = 0
        admin = requests.Session()
        for i in range(30):
            text = MODEL_TEXT if i % 2 == 0 else VARIANT_TEXT
            self.assertEqual(admin.put(s.url + "/models/m", data=text, timeout=30).status_code, 200)
            replaced += 1
        stop.set()
        for t in threads:
            t.join(30)
        self.assertEqual(failures, [])
        self.assertEqual(replaced, 30)
        self.assertGreater(sum(counts), 30)
        self.assertEqual(s.stop()[0], 0)

    def test_sigterm_answers_what_it_has_received_and_closes_the_rest(self):
        s = self.start("--model", "m=" + MODEL, "--threads", "1")
        idle = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        idle.sendall(b"GET /health HTTP/1.1\r\nHost: x\r\n\r\n")
        self.assertIn(b"200 OK", idle.recv(4096))

        body = json.dumps({"employment": "salaried", "income": 52000, "age": 34,
                           "dependents": 1}).encode()
        head = (b"POST /models/m/score HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                b"Content-Length: %d\r\n\r\n" % len(body))
        # A request cut short (header, or body) counts as idle: a client
        # that never finishes cannot hold the drain.
        cut_header = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        cut_header.sendall(b"GET /hea")
        cut_body = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        cut_body.sendall(head + body[:10])
        # Whole requests that arrive together with the signal are answered.
        whole = [socket.create_connection(("127.0.0.1", s.port), timeout=10) for _ in range(8)]
        time.sleep(0.3)
        for conn in whole:
            conn.sendall(head + body)
        s.process.send_signal(signal.SIGTERM)
        started = time.monotonic()

        def read_all(conn):
            reply = b""
            while chunk := conn.recv(65536):
                reply += chunk
            return reply

        for conn in whole:
            reply = read_all(conn)
            # Answered (and then closed: read_all saw the end).
            self.assertTrue(reply.startswith(b"HTTP/1.1 200 OK"), reply)
            self.assertIn(b'"status":0', reply)
        for conn in (idle, cut_header, cut_body):
            self.assertEqual(read_all(conn), b"")
        status, err = s.wait()  # a second SIGTERM would find it exiting
        self.assertEqual(status, 0, err)
        self.assertIn("drained", err)
        self.assertLess(time.monotonic() - started, 10)  # not the 30 s drain timeout
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", s.port), timeout=2).sendall(b"GET / HTTP/1.1\r\n\r\n")

    def test_read_timeout_and_malformed_http(self):
        s = self.start("--read-timeout", "0.3", "--idle-timeout", "0.3")
        slow = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        slow.sendall(b"GET /health HTTP/1.1\r\nHost")
        started = time.monotonic()
        self.assertEqual(slow.recv(4096), b"")  # closed, after the read timeout
        self.assertLess(time.monotonic() - started, 5)
        slow_body = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        slow_body.sendall(b"POST /models/x/score HTTP/1.1\r\nHost: x\r\nContent-Length: 9\r\n\r\n{")
        self.assertEqual(slow_body.recv(4096), b"")
        idle = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        self.assertEqual(idle.recv(4096), b"")
        bad = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        bad.sendall(b"NOT HTTP AT ALL\r\n\r\n")
        self.assertTrue(bad.recv(4096).startswith(b"HTTP/1.1 400"))
        self.assertEqual(s.stop()[0], 0)

    def test_pipelined_continued_and_cut_requests(self):
        s = self.start("--model", "m=" + MODEL)

        def read_all(conn):
            reply = b""
            while chunk := conn.recv(65536):
                reply += chunk
            return reply

        # Requests sent back to back are answered in order, on one connection.
        conn = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        body = b'{"employment": "salaried", "income": 52000, "age": 34, "dependents": 1}'
        conn.sendall(b"GET /health HTTP/1.1\r\nHost: x\r\n\r\n"
                     b"POST /models/m/score HTTP/1.1\r\nHost: x\r\nContent-Length: %d\r\n\r\n%s"
                     b"GET /nowhere HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n" % (len(body), body))
        replies = read_all(conn).split(b"HTTP/1.1 ")[1:]
        self.assertEqual([r[:3] for r in replies], [b"200", b"200", b"404"], replies)
        self.assertIn(b'"status":0', replies[1])

        # "Expect: 100-continue" gets its interim reply before the body is sent.
        conn = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        conn.sendall(b"POST /models/m/score HTTP/1.1\r\nHost: x\r\nExpect: 100-continue\r\n"
                     b"Connection: close\r\nContent-Length: %d\r\n\r\n" % len(body))
        self.assertEqual(conn.recv(4096), b"HTTP/1.1 100 Continue\r\n\r\n")
        conn.sendall(body)
        self.assertIn(b'"status":0', read_all(conn))

        # A header cut short by the client, and one past the size limit.
        conn = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        conn.sendall(b"GET /health HTTP/1.1\r\nHo")
        conn.shutdown(socket.SHUT_WR)
        self.assertIn(b"malformed HTTP request", read_all(conn))
        conn = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        conn.sendall(b"GET /health HTTP/1.1\r\nX: " + b"y" * 20000 + b"\r\n\r\n")
        self.assertTrue(read_all(conn).startswith(b"HTTP/1.1 431"))
        self.assertEqual(s.stop()[0], 0)

    def test_startup_faults(self):
        def run(*args):
            listen = [] if "--listen" in args else ["--listen", "127.0.0.1:0"]
            return subprocess.run([BNSCORE, "serve", *listen, *args], capture_output=True,
                                  timeout=30)
        loop = os.path.join(TEST_DATA, "plugin_fault_loop.pmml")
        bad = run("--model", "m=" + loop)
        self.assertEqual(bad.returncode, 2)
        self.assertEqual(bad.stderr.decode(), "bnscore: %s: error 1: Loop is not allowed.\n" % loop)
        self.assertEqual(run("--model", "m").returncode, 1)
        self.assertIn(b"expected ID=PATH", run("--model", "m").stderr)
        self.assertIn(b"expected ADDR:PORT", run("--listen", "nowhere").stderr)
        self.assertIn(b"cannot read the admin token file", run("--admin-token-file", "/nonexistent").stderr)
        with tempfile.NamedTemporaryFile("w", suffix=".token", delete=False) as f:
            f.write("\n  \ns3cret\n")
        try:
            empty = run("--admin-token-file", f.name)
        finally:
            os.unlink(f.name)
        self.assertEqual((empty.returncode, empty.stderr.decode()),
                         (1, "bnscore: the admin token file %s holds no token: its first line "
                             "must be the token\n" % f.name))
        self.assertIn(b"and not \".\" or \"..\"", run("--model", "..=" + MODEL).stderr)

    def raw(self, request, port=None):
        """Sends `request` on a new connection and reads until the server
        closes it (or 5 s pass); returns the bytes."""
        conn = socket.create_connection(("127.0.0.1", port or self.server.port), timeout=5)
        conn.sendall(request)
        reply = b""
        try:
            while chunk := conn.recv(65536):
                reply += chunk
        except socket.timeout:
            reply += b"<still open>"
        conn.close()
        return reply

    def test_batch_grammar_and_text_numbers(self):
        s = self.start("--model", "credit=" + MODEL)
        score = "/models/credit/score"
        record = {"employment": "salaried", "income": 52000, "age": 34, "dependents": 1}
        # A body with "records" is a batch, and nothing else may come with it.
        self.assertError(s.post(score, json={"records": [record], "request_id": "x"}), 400, 400,
                         'a batch has only the member "records"; "request_id" is not allowed')
        for value, kind in (({}, "an object"), (None, "null"), ("x", "a string"),
                            (7, "a number"), (True, "true or false")):
            self.assertError(s.post(score, json={"records": value}), 400, 400,
                             '"records" must be an array of records, not ' + kind)
        self.assertError(s.post(score, data='{"records":[],"records":[]}'), 400, 400,
                         '"records" is given twice')
        one = parse_keeping_numbers(s.post(score, json=record).text)
        batch = parse_keeping_numbers(s.post(score, json={"records": [record, {}]}).text)
        self.assertEqual(batch["results"][0], one)
        self.assertEqual(batch["results"][1]["status"], "90029")

        # Numbers as text read as bnscore score reads CSV cells, NaN as
        # missing, an infinite number refused. The oracle: bnscore score on
        # the same cells.
        cells = [("34", "52000"), ("NA", "52000"), ("abc", "52000"), ("", "5.2e4"), ("34.0", "")]
        with tempfile.NamedTemporaryFile("w", suffix=".csv", delete=False) as f:
            f.write("employment,income,age,dependents\n")
            for age, income in cells:
                f.write("salaried,%s,%s,1\n" % (income, age))
        try:
            expected = list(csv.reader(io.StringIO(bnscore_score(f.name))))[1:]
            with open(f.name, "a") as g:
                g.write("salaried,52000,inf,1\n")
            inf = subprocess.run([BNSCORE, "score", MODEL, f.name], capture_output=True, timeout=60)
        finally:
            os.unlink(f.name)
        self.assertEqual(inf.returncode, 1)  # the command line stops at "inf"
        records = [{"employment": "salaried", "income": income, "age": age, "dependents": "1"}
                   for age, income in cells]
        results = parse_keeping_numbers(s.post(score, json={"records": records}).text)["results"]
        for result, row in zip(results, expected):
            self.assertEqual(result["status"], row[0])
            self.assertEqual(result["prediction"] or "", row[1])
            self.assertEqual(result["confidence"] or "", row[2])
        nan = s.post(score, data='{"records":[{"employment":"salaried","income":NaN,"age":34,'
                                 '"dependents":1}]}')
        self.assertEqual(nan.json()["results"][0]["status"], 90029)
        self.assertError(s.post(score, json={"records": [record, dict(record, age="inf")]}),
                         400, 400, 'records[1]: field "age": "inf" is not a finite number')
        self.assertError(s.post(score, data='{"age": Infinity}'), 400, 400,
                         "Infinity is not a finite number")

        # CSV with ?reason=true: bnscore score --reason's bytes.
        with open(RECORDS, "rb") as f:
            body = f.read()
        reply = s.post(score + "?reason=true", data=body, headers={"Content-Type": "text/csv"})
        self.assertEqual(reply.text, bnscore_score(RECORDS, "--reason"))
        # JSON with ?reason=true: the same texts, null for scored records.
        by_cli = [row[-1] for row in csv.reader(io.StringIO(reply.text))][1:]
        schema = s.get("/models/credit").json()
        reply = s.post(score + "?reason=true", json={"records": json_records(schema) * 4})
        self.assertEqual([r["reason"] for r in reply.json()["results"]],
                         [reason or None for reason in by_cli] * 4)
        self.assertIn("", by_cli)
        self.assertGreater(len([r for r in by_cli if r]), 0)
        reply = s.post(score + "?reason=1", json={"employment": "retired", "income": "x,\"y",
                                                     "age": 34, "dependents": None})
        self.assertEqual(reply.json()["reason"], 'employment: unknown category "retired"')
        self.assertEqual(s.stop()[0], 0)

    def test_json_lines_of_bnscore_score_are_the_service_replies(self):
        s = self.start("--model", "credit=" + MODEL)
        records = json_records(s.get("/models/credit").json())
        records += [{"employment": "retired", "income": "52000", "age": 34},
                    {"employment": 7.5, "income": 1e5, "age": "NA", "dependents": 0},
                    {"employment": "caf\u00e9 \"x\"", "income": "abc"}]
        with tempfile.NamedTemporaryFile("w", suffix=".jsonl", delete=False) as f:
            for record in records:
                f.write(json.dumps(record) + "\n")
        try:
            for options, query in (([], ""), (["--reason"], "?reason=true")):
                lines = None
                for threads in ("1", "2"):
                    out = bnscore_score(f.name, "--input-format", "jsonl", "--output-format",
                                        "jsonl", "--threads", threads, *options)
                    self.assertEqual(out, lines or out)
                    lines = out
                lines = lines.splitlines(keepends=True)
                self.assertEqual(len(lines), len(records))
                batch = s.post("/models/credit/score" + query, json={"records": records})
                self.assertEqual(batch.text,
                                 '{"results":[' + ",".join(l.rstrip("\n") for l in lines) + "]}\n")
                for record, line in zip(records[-4:], lines[-4:]):
                    self.assertEqual(s.post("/models/credit/score" + query, json=record).text,
                                     line)
        finally:
            os.unlink(f.name)
        self.assertEqual(s.stop()[0], 0)

    def test_framing_that_could_smuggle_a_request_is_refused_and_closes(self):
        s = self.start("--model", "m=" + MODEL)
        second = b"GET /health HTTP/1.1\r\nHost: x\r\n\r\n"
        for coding, status in ((b"xchunked", b"400"), (b"gzip, chunked", b"400"),
                               (b"chunked", b"400"), (b"chunked, gzip", b"400")):
            reply = self.raw(b"POST /models/m/score HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: "
                             + coding + b"\r\nContent-Length: 2\r\n\r\n{}" + second)
            self.assertEqual(reply.count(b"HTTP/1.1 "), 1, (coding, reply))
            self.assertTrue(reply.startswith(b"HTTP/1.1 " + status), (coding, reply))
            self.assertIn(b"Connection: close", reply)
        reply = self.raw(b"POST /models/m/score HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: gzip, "
                         b"chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n")
        self.assertIn(b"unsupported transfer coding", reply)
        # Chunked alone is read, and the connection goes on.
        reply = self.raw(b"POST /models/m/score HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked"
                         b"\r\n\r\n2\r\n{}\r\n0\r\n\r\n" + second[:-2] + b"Connection: close\r\n\r\n")
        self.assertEqual([r[:3] for r in reply.split(b"HTTP/1.1 ")[1:]], [b"200", b"200"])
        # Ids that clients would normalise away.
        for id in (b".", b".."):
            reply = self.raw(b"GET /models/" + id + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
            self.assertTrue(reply.startswith(b"HTTP/1.1 400"), reply)
            self.assertIn(b"invalid model id", reply)
        self.assertEqual(s.stop()[0], 0)

    def test_replies_do_not_depend_on_score_threads(self):
        one = self.start("--model", "credit=" + MODEL)
        many = Server("--model", "credit=" + MODEL, "--score-threads", "3")
        try:
            records = json_records(one.get("/models/credit").json())
            records.append({"employment": "retired", "income": "abc", "age": "NA"})
            # 3,171 records: one block of 3 x 1,024 records on three threads,
            # then 99 on one; the reasons and explanations are per block too.
            batch = {"records": records * 151}
            for query in ("", "?reason=true", "?explain=2&missing=marginalize"):
                want = one.post("/models/credit/score" + query, json=batch)
                got = many.post("/models/credit/score" + query, json=batch)
                self.assertEqual(want.status_code, 200, want.text)
                self.assertEqual(len(want.json()["results"]), 3171)
                self.assertTrue(got.content == want.content, query)  # not printed: long
            # CSV of several engine blocks (64 KiB each), and a fault in a
            # later one: the rows before it, then the reply cut short.
            with open(RECORDS, encoding="utf-8") as f:
                lines = f.read().splitlines(keepends=True)
            body = lines[0] + "".join(lines[1:]) * 2000
            for query in ("", "?reason=true"):
                want = one.post("/models/credit/score" + query, data=body,
                                headers={"Content-Type": "text/csv"})
                got = many.post("/models/credit/score" + query, data=body,
                                headers={"Content-Type": "text/csv"})
                self.assertEqual(want.status_code, 200, want.text)
                self.assertEqual(want.text.count("\n"), 40001)
                self.assertTrue(got.content == want.content, query)
            for server in (one, many):
                with self.assertRaises(requests.exceptions.ChunkedEncodingError):
                    server.post("/models/credit/score", data=body + "A99,1,2,3,4,5,6\n",
                                headers={"Content-Type": "text/csv"})
            self.assertEqual(many.stop()[0], 0)
        finally:
            if many.process.poll() is None:
                many.process.kill()
                many.process.communicate()
        self.assertEqual(one.stop()[0], 0)

    def test_bodies_held_together_are_bounded_and_long_replies_stream(self):
        s = self.start("--model", "m=" + MODEL, "--max-body", "300000",
                       "--max-buffered", "400000")
        head = (b"POST /models/m/score HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                b"Content-Length: 300000\r\n\r\n")
        holder = socket.create_connection(("127.0.0.1", s.port), timeout=10)
        holder.sendall(head + b"{" + b" " * 100000)
        time.sleep(0.3)
        # A second large body does not fit beside it: 503 with Retry-After.
        reply = self.raw(head + b"{" + b" " * 100000)
        self.assertTrue(reply.startswith(b"HTTP/1.1 503"), reply[:200])
        self.assertIn(b"Retry-After: 1\r\n", reply)
        self.assertIn(b"--max-buffered", reply)
        # Small bodies are not held back.
        self.assertEqual(s.post("/models/m/score", json={"age": 30}).status_code, 200)
        holder.sendall(b" " * (300000 - 100002) + b"}")
        reply = holder.recv(65536)
        self.assertTrue(reply.startswith(b"HTTP/1.1 200"), reply)
        holder.close()
        # Once given back, the budget takes the next large body.
        reply = s.post("/models/m/score", data=b"{" + b" " * 200000 + b"}")
        self.assertEqual(reply.status_code, 200, reply.text)
        self.assertEqual(s.stop()[0], 0)

    def test_gzip_bodies(self):
        s = self.start("--model", "m=" + MODEL, "--max-body", "100000")
        record = {"employment": "salaried", "income": 52000, "age": 34, "dependents": 1}
        plain = s.post("/models/m/score", json={"records": [record] * 3}).text
        zipped = gzip.compress(json.dumps({"records": [record] * 3}).encode())
        reply = s.post("/models/m/score", data=zipped, headers={"Content-Encoding": "gzip"})
        self.assertEqual(reply.text, plain)
        with open(RECORDS, "rb") as f:
            reply = s.post("/models/m/score", data=gzip.compress(f.read()),
                           headers={"Content-Encoding": "gzip", "Content-Type": "text/csv"})
        self.assertEqual(reply.text, bnscore_score(RECORDS))
        # A small body that inflates past --max-body is refused, not held.
        bomb = gzip.compress(b"{" + b" " * 100000 + b"}")
        self.assertLess(len(bomb), 1000)
        self.assertError(s.post("/models/m/score", data=bomb, headers={"Content-Encoding": "gzip"}),
                         413, 413, "inflates to more than the limit of 100000 bytes")
        self.assertError(s.post("/models/m/score", data=zipped[:-5],
                                headers={"Content-Encoding": "gzip"}), 400, 400, "cut short")
        self.assertError(s.post("/models/m/score", data=b"{}", headers={"Content-Encoding": "br"}),
                         415, 415, 'unsupported Content-Encoding "br"')
        self.assertEqual(s.post("/models/m/score", json=record).status_code, 200)  # same connection
        self.assertEqual(s.stop()[0], 0)

    def test_operator_endpoints_log_and_metadata(self):
        log = tempfile.NamedTemporaryFile("w", suffix=".log", delete=False)
        log.close()
        model_dir = tempfile.mkdtemp()
        try:
            s = self.start("--model", "credit=" + MODEL, "--access-log", log.name,
                           "--model-dir", model_dir)
            for path in ("/health", "/ready"):
                reply = s.http.head(s.url + path, timeout=10)
                self.assertEqual((reply.status_code, reply.content), (200, b""))
                self.assertGreater(int(reply.headers["Content-Length"]), 0)
            self.assertEqual(s.get("/ready").json(), {"status": "ready"})

            # The document described, with an ETag.
            reply = s.get("/models/credit")
            info = reply.json()
            self.assertEqual(info["sha256"], hashlib.sha256(MODEL_TEXT.encode()).hexdigest())
            self.assertEqual(reply.headers["ETag"], '"%s"' % info["sha256"])
            for given, status in (('"%s"' % info["sha256"], 304), ('"x", W/"%s"' % info["sha256"], 304),
                                  ('"x"', 200)):
                again = s.get("/models/credit", headers={"If-None-Match": given})
                self.assertEqual((again.status_code, again.headers["ETag"]),
                                 (status, reply.headers["ETag"]))
                self.assertEqual(again.content, b"" if status == 304 else reply.content)
            self.assertIn("version", info)
            self.assertRegex(info["deployed_at"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
            deployed = s.put("/models/extra", data=VARIANT_TEXT.replace(
                "<Header", '<Header modelVersion="7.1"', 1))
            self.assertEqual(deployed.status_code, 201, deployed.text)
            self.assertEqual(deployed.json()["version"], "7.1")
            self.assertEqual(os.listdir(model_dir), ["extra.pmml"])

            # Request ids: taken, or made; returned; logged.
            reply = s.post("/models/extra/score", json={"records": [{}, {}]},
                           headers={"X-Request-Id": "abc-123"})
            self.assertEqual(reply.headers["X-Request-Id"], "abc-123")
            made = s.get("/models").headers["X-Request-Id"]
            self.assertRegex(made, r"^[0-9a-f]{16}$")
            self.assertNotEqual(s.get("/models").headers["X-Request-Id"], made)

            # Deleting a model drops its series from /metrics, and its file.
            lines = s.get("/metrics").text.splitlines()
            self.assertIn('bnscore_score_requests_total{model="extra"} 1', lines)
            self.assertTrue(any(l.startswith("process_resident_memory_bytes ") for l in lines))
            self.assertTrue(any(l.startswith("process_cpu_seconds_total ") for l in lines))
            self.assertTrue(any(l.startswith("bnscore_build_info{version=") for l in lines))
            self.assertEqual(s.delete("/models/extra").status_code, 200)
            self.assertNotIn('model="extra"', s.get("/metrics").text)
            self.assertEqual(os.listdir(model_dir), [])
            # Readiness follows the --model ids.
            self.assertEqual(s.delete("/models/credit").status_code, 200)
            self.assertError(s.get("/ready"), 503, 503, "not ready: no model is deployed as credit")
            self.assertEqual(s.stop()[0], 0)

            with open(log.name) as f:
                entries = [json.loads(line) for line in f]
            events = [(e["event"], e["model"]) for e in entries if "event" in e]
            self.assertEqual(events, [("deploy", "credit"), ("deploy", "extra"),
                                      ("delete", "extra"), ("delete", "credit")])
            requests_ = [e for e in entries if "request_id" in e and "event" not in e]
            scored = [e for e in requests_ if e["request_id"] == "abc-123"]
            self.assertEqual(len(scored), 1)
            self.assertEqual({k: scored[0][k] for k in ("method", "path", "model", "status",
                                                        "records")},
                             {"method": "POST", "path": "/models/extra/score", "model": "extra",
                              "status": 200, "records": 2})
            self.assertGreaterEqual(scored[0]["latency_ms"], 0)
            self.assertRegex(scored[0]["time"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$")
            self.assertIn({"method": "HEAD", "path": "/health", "status": 200},
                          [{k: e[k] for k in ("method", "path", "status")} for e in requests_])

            # A model deployed over HTTP survives a restart in the directory.
            with open(os.path.join(model_dir, "kept.pmml"), "w") as f:
                f.write(MODEL_TEXT)
            s = self.start("--model-dir", model_dir, "--listen", "localhost:0")
            self.assertEqual(s.get("/models").json(), {"models": ["kept"]})
            api = s.get("/openapi.json").json()
            self.assertEqual(api["openapi"], "3.0.3")
            model = api["components"]["schemas"]["Model"]["properties"]
            self.assertEqual(model["inputs"], {"$ref": "#/components/schemas/Inputs"})
            self.assertTrue(model["predictors"]["deprecated"])
            self.assertEqual(set(api["paths"]),
                             {"/health", "/ready", "/metrics", "/openapi.json", "/models",
                              "/models/{id}", "/models/{id}/score"})
            self.assertEqual(s.stop()[0], 0)
        finally:
            os.unlink(log.name)
            shutil.rmtree(model_dir)

    def test_sighup_reloads_the_model_files(self):
        with tempfile.NamedTemporaryFile("w", suffix=".pmml", delete=False) as f:
            f.write(MODEL_TEXT)
        try:
            s = self.start("--model", "m=" + f.name)
            record = {"employment": "salaried", "income": 52000, "age": 34, "dependents": 1}
            first = s.post("/models/m/score", json=record).text
            with open(f.name, "w") as g:
                g.write(VARIANT_TEXT)
            s.process.send_signal(signal.SIGHUP)
            deadline = time.monotonic() + 10
            while s.post("/models/m/score", json=record).text == first:
                self.assertLess(time.monotonic(), deadline, "SIGHUP did not replace the model")
                time.sleep(0.05)
            second = s.post("/models/m/score", json=record).text
            # A rejected file keeps the model that serves.
            with open(f.name, "w") as g:
                g.write("<PMML")
            s.process.send_signal(signal.SIGHUP)
            time.sleep(0.5)
            self.assertEqual(s.post("/models/m/score", json=record).text, second)
            # An unchanged file leaves the model as it is.
            with open(f.name, "w") as g:
                g.write(VARIANT_TEXT)
            s.process.send_signal(signal.SIGHUP)
            time.sleep(0.5)
            self.assertEqual(s.post("/models/m/score", json=record).text, second)
            self.assertIsNone(s.process.poll())
            status, err = s.stop()
        finally:
            os.unlink(f.name)
        self.assertEqual(status, 0, err)
        events = [json.loads(line) for line in err.splitlines() if line.startswith("{")]
        self.assertEqual([(e["event"], e["model"]) for e in events],
                         [("deploy", "m"), ("replace", "m"), ("reload_rejected", "m"),
                          ("unchanged", "m")])
        self.assertEqual(events[1]["sha256"], hashlib.sha256(VARIANT_TEXT.encode()).hexdigest())
        self.assertIn("error 9", events[2]["error"])

    def test_networks_of_other_formats_with_their_target(self):
        asia = os.path.join(TEST_DATA, "formats", "asia.xml")
        dmg = os.path.join(TEST_DATA, "formats", "dmg_credit.pmml")
        s = self.start("--model", "asia=" + asia + "#either", "--model", "dmg=" + dmg)
        self.assertEqual(s.get("/models/asia").json()["target"], "either")
        self.assertEqual(s.get("/models/dmg").json()["target"], "risk")
        # P(low | north, age 40) = 0.4 / 0.46 from the document's tables.
        reply = s.post("/models/dmg/score", json={"region": "north", "age": 40}).json()
        self.assertAlmostEqual(reply["probabilities"]["low"], 0.4 / 0.46, places=15)
        self.assertEqual(s.stop()[0], 0)

    def test_a_bif_network_deployed_over_http_with_its_target(self):
        asia = os.path.join(os.environ.get("BNSCORE_NETWORKS_DIR", ""), "bif", "asia.bif")
        if not os.path.isfile(asia):
            self.skipTest("asia.bif is not in BNSCORE_NETWORKS_DIR")
        with open(asia, "rb") as f:
            bif = f.read()
        record = {"asia": "yes", "tub": "no", "smoke": "yes", "lung": "no", "bronc": "yes",
                  "either": "no", "xray": "no"}
        records = tempfile.NamedTemporaryFile("w", suffix=".csv", delete=False)
        with records:
            records.write(",".join(record) + "\n" + ",".join(record.values()) + "\n")
        model_dir = tempfile.mkdtemp()
        try:
            run = subprocess.run([BNSCORE, "score", "--target", "dysp", asia, records.name],
                                 capture_output=True, timeout=60, check=True)
            expected = run.stdout.decode()
            s = self.start("--model-dir", model_dir)
            refused = s.put("/models/asia", data=bif)
            self.assertEqual(refused.status_code, 422)
            self.assertEqual(refused.json(), {"error": {
                "code": 9, "message": "PMML text: the document names no target: give one "
                                      "(PUT /models/asia?target=NODE)"}})
            self.assertEqual(s.get("/models").json(), {"models": []})
            # Sent raw: a client library would escape the stray "%".
            reply = self.raw(b"PUT /models/asia?target=dy%7 HTTP/1.1\r\nHost: x\r\n"
                             b"Content-Length: 1\r\nConnection: close\r\n\r\nx")
            self.assertTrue(reply.startswith(b"HTTP/1.1 400 "), reply)
            self.assertTrue(reply.endswith(
                b'"query parameter target=dy%7: a % must be followed by two hexadecimal '
                b'digits"}}\n'), reply)
            # Percent-decoded: %79 is "y".
            deployed = s.put("/models/asia?reason=1&target=d%79sp", data=bif)
            self.assertEqual(deployed.status_code, 201, deployed.text)
            self.assertEqual(deployed.json()["sha256"], hashlib.sha256(bif).hexdigest())
            self.assertEqual(s.get("/models/asia").json()["target"], "dysp")

            def scored(server):
                reply = server.post("/models/asia/score", data=",".join(record) + "\n" +
                                    ",".join(record.values()) + "\n",
                                    headers={"Content-Type": "text/csv"})
                self.assertEqual(reply.status_code, 200, reply.text)
                return reply.text

            self.assertEqual(scored(s), expected)
            self.assertEqual(s.stop()[0], 0)
            # The target is kept with the document, and used again at start.
            s = self.start("--model-dir", model_dir)
            self.assertEqual(s.get("/models/asia").json()["target"], "dysp")
            self.assertEqual(scored(s), expected)
            self.assertEqual(sorted(os.listdir(model_dir)), ["asia.pmml", "asia.target"])
            # A target kept for another document is not used with this one.
            with open(os.path.join(model_dir, "other.pmml"), "wb") as f:
                f.write(bif)
            with open(os.path.join(model_dir, "other.target"), "w") as f:
                f.write(hashlib.sha256(b"another").hexdigest() + " dysp\n")
            self.assertEqual(s.stop()[0], 0)
            refused = subprocess.run([BNSCORE, "serve", "--listen", "127.0.0.1:0",
                                      "--model-dir", model_dir], capture_output=True, timeout=30)
            self.assertNotEqual(refused.returncode, 0)
            self.assertIn(b"the document names no target", refused.stderr)
            os.unlink(os.path.join(model_dir, "other.pmml"))
            # A document deployed without a target drops the one kept.
            s = self.start("--model-dir", model_dir)
            self.assertEqual(s.put("/models/asia", data=MODEL_TEXT).status_code, 200)
            self.assertEqual(sorted(os.listdir(model_dir)), ["asia.pmml", "other.target"])
            self.assertEqual(s.stop()[0], 0)
        finally:
            os.unlink(records.name)
            shutil.rmtree(model_dir)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
