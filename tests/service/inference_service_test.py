#!/usr/bin/python3
"""`bnscore serve` with inference per request: ?missing=, ?unknown=,
?explain=K on /models/ID/score and POST /models/ID/query, compared byte for
byte with `bnscore score` and `bnscore query`.

    inference_service_test.py BNSCORE EXAMPLES_DIR TEST_DATA_DIR
"""

import http.client
import json
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import service_test  # noqa: E402  (the Server helper; it reads the same arguments)

BNSCORE = service_test.BNSCORE
MODEL = service_test.MODEL
CSV = ("applicant,age,income,employment,dependents\n"
       "A01,34,52000,salaried,1\n"
       "A02,,18500,unemployed,0\n"
       "A03,61,,,2\n"
       "A04,45,41000,retired,3\n")


def bnscore(*args):
    with tempfile.NamedTemporaryFile("w", suffix=".csv", delete=False) as f:
        f.write(CSV)
    try:
        return subprocess.run([BNSCORE, args[0], MODEL, f.name, *args[1:]],
                              capture_output=True, timeout=60, check=True).stdout.decode()
    finally:
        os.unlink(f.name)


class InferenceServiceTest(unittest.TestCase):
    def setUp(self):
        self.server = service_test.Server("--model", "m=" + MODEL)

    def tearDown(self):
        if self.server.process.poll() is None:
            self.server.process.kill()
            self.server.process.communicate()

    def post(self, path, body, kind="text/csv"):
        return self.server.post(path, data=body.encode(), headers={"Content-Type": kind})

    def test_score_with_gaps_and_reasons_is_bnscores(self):
        r = self.post("/models/m/score?missing=marginalize&unknown=missing&explain=2", CSV)
        self.assertEqual(r.status_code, 200, r.text)
        self.assertEqual(r.text, bnscore("score", "--missing", "marginalize", "--unknown", "missing",
                                         "--explain", "2"))
        # Without parameters, as ever.
        self.assertEqual(self.post("/models/m/score", CSV).text, bnscore("score"))

        # A JSON record with a gap: the numbers of the CSV reply's row.
        row = bnscore("score", "--missing", "marginalize").splitlines()[2].split(",")
        r = self.post("/models/m/score?missing=marginalize",
                      json.dumps({"income": 18500, "employment": "unemployed", "dependents": 0}),
                      "application/json")
        self.assertEqual(r.status_code, 200, r.text)
        reply = json.loads(r.text, parse_float=str)
        self.assertEqual(reply["status"], 0)
        self.assertEqual(reply["confidence"], row[2])
        self.assertEqual(list(reply["probabilities"].values()), row[3:])
        r = self.post("/models/m/score", json.dumps({"income": 18500}), "application/json")
        self.assertEqual(json.loads(r.text)["status"], 90029)

        # Reasons for JSON records: those of the CSV reply's row.
        csv_row = bnscore("score", "--missing", "marginalize", "--explain", "2").splitlines()[2]
        fields = csv_row.split(",")
        r = self.post("/models/m/score?missing=marginalize&explain=2",
                      json.dumps({"records": [
                          {"income": 18500, "employment": "unemployed", "dependents": 0},
                          {"employment": "retired"}]}), "application/json")
        self.assertEqual(r.status_code, 200, r.text)
        results = json.loads(r.text, parse_float=str)["results"]
        self.assertEqual([e["field"] for e in results[0]["explanation"]], fields[6:8])
        self.assertEqual([e["logOdds"] for e in results[0]["explanation"]], fields[8:10])
        self.assertEqual(results[1]["status"], 90029)
        self.assertEqual(results[1]["explanation"], [])

    def test_query_is_bnscores(self):
        r = self.post("/models/m/query?node=risk,employment&unknown=missing", CSV)
        self.assertEqual(r.status_code, 200, r.text)
        self.assertEqual(r.text, bnscore("query", "--unknown=missing", "--node=risk,employment"))
        # A04's employment is no category: without unknown=missing it stops.
        r = self.post("/models/m/query?node=risk", CSV)
        self.assertEqual(r.text.splitlines()[-1], "90029,,,")

    def test_json_query_is_bnscores(self):
        # The CSV's records as JSON (numbers as numbers or strings, gaps
        # as null or left out): the numbers of bnscore query's rows.
        records = [{"applicant": "A01", "age": 34, "income": 52000, "employment": "salaried",
                    "dependents": 1},
                   {"age": None, "income": "18500", "employment": "unemployed", "dependents": 0},
                   {"age": 61, "dependents": 2},
                   {"age": "45", "income": 41000.0, "employment": "retired", "dependents": 3}]
        lines = bnscore("query", "--unknown=missing", "--node=risk,employment").splitlines()
        header, rows = lines[0].split(","), [line.split(",") for line in lines[1:]]
        r = self.post("/models/m/query?node=risk,employment&unknown=missing",
                      json.dumps({"records": records}), "application/json")
        self.assertEqual(r.status_code, 200, r.text)
        self.assertEqual(r.headers["Content-Type"], "application/json")
        results = json.loads(r.text, parse_float=str, parse_int=str)["results"]
        self.assertEqual(len(results), 4)
        for result, row in zip(results, rows):
            self.assertEqual(result["status"], row[0])
            flat = [("probability(%s=%s)" % (node, category), p)
                    for node, posterior in result["posteriors"].items()
                    for category, p in posterior.items()]
            self.assertEqual([name for name, _ in flat], [h.strip('"') for h in header[1:]])
            self.assertEqual([p for _, p in flat], row[1:])
        # One record, no content type: the reply to it alone. Without
        # unknown=missing, "retired" stops it, and its posteriors are null.
        r = self.server.post("/models/m/query?node=risk", data=json.dumps(records[3]).encode())
        self.assertEqual(json.loads(r.text), {"status": 90029, "posteriors": None})
        r = self.post("/models/m/query?node=risk", json.dumps(records[0]), "application/json")
        self.assertEqual(list(json.loads(r.text, parse_float=str)["posteriors"]["risk"].values()),
                         bnscore("query", "--node=risk").splitlines()[1].split(",")[1:])
        for body, part in [('{"records": {}}', '"records" must be an array'),
                           ('{"age": [1]}', 'field "age" must be a number'),
                           ('[', "")]:
            r = self.post("/models/m/query?node=risk", body, "application/json")
            self.assertEqual(r.status_code, 400, body)
            self.assertIn(part, r.json()["error"]["message"])
        r = self.post("/models/m/query?node=nope", "{}", "application/json")
        self.assertEqual(r.status_code, 400)
        self.assertIn('no node "nope" in the model (its nodes: risk, ',
                      r.json()["error"]["message"])

    def post_exactly(self, path, body):
        """POSTs CSV to `path` sent as it is (a client library would
        unescape %65 and the like before sending)."""
        conn = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=30)
        try:
            conn.request("POST", path, body=body.encode(), headers={"Content-Type": "text/csv"})
            reply = conn.getresponse()
            return reply.status, reply.read().decode()
        finally:
            conn.close()

    def test_every_query_parameter_is_percent_decoded(self):
        status, text = self.post_exactly(
            "/models/m/score?missing=marginaliz%65&%75nknown=missing&explain=%32", CSV)
        self.assertEqual(status, 200, text)
        self.assertEqual(text, bnscore("score", "--missing", "marginalize", "--unknown", "missing",
                                       "--explain", "2"))
        self.assertEqual(self.post_exactly("/models/m/score?reason=%74rue", CSV),
                         (200, bnscore("score", "--reason")))
        status, text = self.post_exactly("/models/m/query?node=risk%2Cemployment&unknown=missing",
                                         CSV)
        self.assertEqual((status, text),
                         (200, bnscore("query", "--unknown=missing", "--node=risk,employment")))
        status, text = self.post_exactly("/models/m/score?missing=stop&explain=%2", CSV)
        self.assertEqual(status, 400)
        self.assertEqual(json.loads(text)["error"]["message"],
                         "query parameter explain=%2: a % must be followed by two hexadecimal "
                         "digits")

    def test_refused_requests(self):
        for path, status, part in [
                ("/models/m/score?missing=maybe", 400, "missing=maybe"),
                ("/models/m/score?explain=-1", 400, "explain=-1"),
                ("/models/m/query", 400, "?node="),
                ("/models/m/query?node=nope", 400, "no node"),
                ("/models/none/query?node=risk", 404, "no model")]:
            r = self.post(path, CSV)
            self.assertEqual(r.status_code, status, path + ": " + r.text)
            self.assertIn(part, r.text)
        r = self.post("/models/m/query?node=risk", "{}", "text/plain")
        self.assertEqual(r.status_code, 415)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
