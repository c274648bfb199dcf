#!/usr/bin/env python3
"""Holds the program's eBay requests, and the simulator's answers, against eBay's documents.

  api_check.py --sim AUCTION_SIM --probe EBAYPROBE --docs DIR_WITH_THE_YML_FILES

Runs the simulator with a request log, lets ebayprobe drive the program's clients through
sign-in, Browse and Offer, sends a few requests eBay refuses, and then checks every logged
request (path, method, required headers and query, body schema) and answer (status, schema,
error ids of x-response-codes) against buy-offer-v1_beta.yml and buy-browse-v1.yml, read here
at test time. Exit code 77 when the documents or the Python modules are missing.
"""
import argparse, base64, contextlib, http.client, json, os, re, subprocess, sys, tempfile, time, \
    warnings
from urllib.parse import parse_qs, urlencode, urlsplit

try:
    import jsonschema, yaml
except ImportError as e:
    print("skipped: %s (scripts/install-deps installs python3-yaml, python3-jsonschema)" % e)
    sys.exit(77)

APP, CERT, RUNAME, USER, PASSWORD, ITEM = "Jane-Snipe-SBX-1a2b", "SBX-c3d4+/=", "Jane-Ru-x", \
    "bieter", "geheim", "1234567890"
SCOPES = {"https://api.ebay.com/oauth/api_scope",
          "https://api.ebay.com/oauth/api_scope/buy.offer.auction"}
UNDOCUMENTED = {401, 403, 415, 429}  # eBay's gateway answers, in its error form
problems = []


def fail(entry, text):
    problems.append("%s %s -> %s: %s" % (entry["method"], entry["target"], entry["status"], text))


def strict(node):
    """Every object schema of a document without additionalProperties gets it false, so that a
    misspelt or invented field fails."""
    if isinstance(node, dict):
        node = {k: strict(v) for k, v in node.items()}
        if "properties" in node and "additionalProperties" not in node:
            node["additionalProperties"] = False
        return node
    return [strict(v) for v in node] if isinstance(node, list) else node


def validate(doc, schema, value):
    warnings.simplefilter("ignore", DeprecationWarning)  # RefResolver: also jsonschema 4.10
    resolver = jsonschema.RefResolver.from_schema(doc)
    return [e.message for e in jsonschema.Draft4Validator(schema, resolver=resolver)
            .iter_errors(value)]


def match(docs, method, path):
    for doc in docs:
        base = doc["servers"][0]["variables"]["basePath"]["default"]
        if not path.startswith(base):
            continue
        rest = path[len(base):]
        # Literal paths before templated ones ("get_item_by_legacy_id" before "{item_id}").
        for template in sorted(doc["paths"], key=lambda t: t.count("{")):
            names = re.findall(r"\{(\w+)\}", template)
            rx = "^" + "/".join("([^/]+)" if re.fullmatch(r"\{\w+\}", s) else re.escape(s)
                                for s in template.split("/")) + "$"
            m = re.match(rx, rest)
            if m and method.lower() in doc["paths"][template]:
                return doc, doc["paths"][template][method.lower()], dict(zip(names, m.groups()))
    return None, None, None


def header(entry, name):
    return next((v for k, v in entry["headers"].items() if k.lower() == name.lower()), None)


def check_api(docs, entry, program):
    target = urlsplit(entry["target"])
    doc, op, params = match(docs, entry["method"], target.path)
    if op is None:
        return fail(entry, "no such operation in eBay's documents")
    if program:
        query = parse_qs(target.query, keep_blank_values=True)
        for p in op.get("parameters", []):
            where, name = p["in"], p["name"]
            present = header(entry, name) if where == "header" else \
                query.get(name) if where == "query" else params.get(name)
            if p.get("required") and not present:
                fail(entry, "required %s parameter %s missing" % (where, name))
        for name, raw in params.items():
            if not re.fullmatch(r"v1%7C\d+%7C0", raw):
                fail(entry, "%s not percent-encoded as v1%%7C...%%7C0: %s" % (name, raw))
        if header(entry, "X-EBAY-C-MARKETPLACE-ID") != "EBAY_DE":
            fail(entry, "X-EBAY-C-MARKETPLACE-ID is not EBAY_DE")
        if not (header(entry, "Authorization") or "").startswith("Bearer "):
            fail(entry, "no Bearer token")
        body = op.get("requestBody", {}).get("content", {}).get("application/json")
        if body:
            if not (header(entry, "Content-Type") or "").startswith("application/json"):
                fail(entry, "Content-Type is not application/json")
            for e in validate(doc, body["schema"], json.loads(entry["body"])):
                fail(entry, "body: " + e)
        elif entry["body"]:
            fail(entry, "a body where the document has none")
    answer = json.loads(entry["answer"]) if "answer" in entry else None
    status = str(entry["status"])
    response = op["responses"].get(status)
    if response is None and entry["status"] not in UNDOCUMENTED:
        return fail(entry, "status not in the document")
    if entry["status"] == 200:
        for e in validate(doc, response["content"]["application/json"]["schema"], answer):
            fail(entry, "answer: " + e)
        return
    wrapper = {"type": "object", "required": ["errors"], "additionalProperties": False,
               "properties": {"errors": {"type": "array", "minItems": 1,
                                         "items": {"$ref": "#/components/schemas/Error"}}}}
    if answer is None:
        return fail(entry, "an error answer that is not eBay's JSON")
    for e in validate(doc, wrapper, answer):
        fail(entry, "error answer: " + e)
    codes = (response or {}).get("x-response-codes", {}).get("errors", {})
    for error in answer.get("errors", []):
        known = codes.get(str(error.get("errorId")))
        if response is not None and (not known or known["domain"] != error.get("domain")
                                     or known["category"] != error.get("category")):
            fail(entry, "error %s not documented for this status" % error.get("errorId"))


def check_token(entry):
    basic = (header(entry, "Authorization") or "")[len("Basic "):]
    if base64.b64decode(basic or "=").decode() != APP + ":" + CERT:
        fail(entry, "Basic authorization is not App ID:Cert ID")
    if header(entry, "Content-Type") != "application/x-www-form-urlencoded":
        fail(entry, "the token request is no form")
    form = {k: v[0] for k, v in parse_qs(entry["body"], strict_parsing=True).items()}
    needed = {"client_credentials": {"scope"}, "authorization_code": {"code", "redirect_uri"},
              "refresh_token": {"refresh_token", "scope"}}.get(form.get("grant_type"))
    if needed is None or set(form) != needed | {"grant_type"}:
        fail(entry, "form fields %s" % sorted(form))
    if "scope" in form and not set(form["scope"].split(" ")) <= SCOPES:
        fail(entry, "scope %s" % form["scope"])
    if form.get("redirect_uri", RUNAME) != RUNAME:
        fail(entry, "redirect_uri is not the RuName")
    answer = json.loads(entry["answer"])
    keys = {"access_token", "expires_in", "token_type"}
    if form.get("grant_type") == "authorization_code":
        keys |= {"refresh_token", "refresh_token_expires_in"}
    if entry["status"] != 200 or set(answer) != keys:
        fail(entry, "token answer %s" % sorted(answer))


def check_consent(entry):
    q = {k: v[0] for k, v in parse_qs(urlsplit(entry["target"]).query).items()}
    if (q.get("client_id"), q.get("redirect_uri"), q.get("response_type")) != \
            (APP, RUNAME, "code") or not q.get("state") or set(q["scope"].split(" ")) != SCOPES:
        fail(entry, "consent page parameters %s" % q)


def call(port, method, path, headers=None, body=None):
    """A request sent as no program would (marked X-Raw): status, answer headers, body."""
    c = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    c.request(method, path, body=body, headers=dict(headers or {}, **{"X-Raw": "1"}))
    r = c.getresponse()
    return r.status, dict(r.getheaders()), r.read()


def tokens(port):
    """An application token and a user token, fetched as eBay's documents describe."""
    basic = {"Authorization": "Basic " + base64.b64encode((APP + ":" + CERT).encode()).decode(),
             "Content-Type": "application/x-www-form-urlencoded"}
    form = urlencode({"grant_type": "client_credentials", "scope": min(SCOPES)})
    app = json.loads(call(port, "POST", "/identity/v1/oauth2/token", basic, form)[2])
    consent = urlencode({"client_id": APP, "redirect_uri": RUNAME, "response_type": "code",
                         "scope": " ".join(sorted(SCOPES)), "userid": USER, "pass": PASSWORD,
                         "decision": "agree"})
    _, headers, _ = call(port, "POST", "/oauth2/authorize",
                         {"Content-Type": "application/x-www-form-urlencoded"}, consent)
    code = parse_qs(urlsplit(headers["Location"]).query)["code"][0]
    form = urlencode({"grant_type": "authorization_code", "code": code, "redirect_uri": RUNAME})
    user = json.loads(call(port, "POST", "/identity/v1/oauth2/token", basic, form)[2])
    return ({"Authorization": "Bearer " + app["access_token"]},
            {"Authorization": "Bearer " + user["access_token"]})


def refusals(port):
    """Requests eBay refuses: each must come back with the status given."""
    app, user = tokens(port)
    bearer = lambda t: t
    offer = "/buy/offer/v1_beta/bidding/v1%7C" + ITEM + "%7C0"
    de = {"X-EBAY-C-MARKETPLACE-ID": "EBAY_DE"}
    return [
        (call(port, "GET", offer, {"Authorization": "Bearer unknown"}), 401),
        (call(port, "GET", offer, dict(bearer(app), **de)), 403),
        (call(port, "GET", offer, bearer(user)), 400),  # 120015
        (call(port, "GET", offer, dict(bearer(user), **{"X-EBAY-C-MARKETPLACE-ID": "ebay_de"})),
         400),  # 120017
        (call(port, "POST", offer + "/place_proxy_bid",
              dict(bearer(user), **de, **{"Content-Type": "application/json"}),
              json.dumps({"maxAmount": {"currency": "EUR", "value": 6}})), 400),  # 120013
        (call(port, "GET", "/buy/offer/v1_beta/bidding/v1|%s|0" % ITEM, bearer(user)), 400),
        (call(port, "GET", "/buy/browse/v1/item/get_item_by_legacy_id?legacy_item_id=" + ITEM,
              dict(bearer(app), **{"X-EBAY-C-MARKETPLACE-ID": "EBAY_XX"})), 400),  # 11011
        (call(port, "GET", "/buy/browse/v1/item/v1%7C" + ITEM + "%7C0?fieldgroups=COMPACT,PRODUCT",
              bearer(app)), 400),  # 11018
    ]


def limits(port):
    """The statuses of a forced 500 and a rate limit of six calls a minute, in order, and the
    buyer's bidding after being outbid by a higher maximum."""
    _, user = tokens(port)
    de = dict(user, **{"X-EBAY-C-MARKETPLACE-ID": "EBAY_DE"})
    bid = ("POST", "/buy/offer/v1_beta/bidding/v1%7C222%7C0/place_proxy_bid",
           dict(de, **{"Content-Type": "application/json"}),
           json.dumps({"maxAmount": {"currency": "EUR", "value": "50.00"}}))
    bidding = ("GET", "/buy/offer/v1_beta/bidding/v1%7C222%7C0", de, None)
    answers = [call(port, *r) for r in [bid, bid] + [bidding] * 5]
    return [a[0] for a in answers], json.loads(answers[2][2])


def expires(port):
    """Whether a token of one second comes to be refused (401)."""
    app, _ = tokens(port)
    item = ("GET", "/buy/browse/v1/item/get_item_by_legacy_id?legacy_item_id=" + ITEM, app)
    for _ in range(300):
        if call(port, *item)[0] == 401:
            return True
        time.sleep(0.05)
    return False


@contextlib.contextmanager
def simulator(path, log, *options):
    sim = subprocess.Popen([path, "--request-log", log, "--item", ITEM, "--title", "Lampe",
                            "--ends-in", "600", "--price", "5", "--account",
                            USER + ":" + PASSWORD, "--ebay-keyset",
                            "%s:%s:%s" % (APP, CERT, RUNAME)] + list(options),
                           stdout=subprocess.PIPE, text=True)
    try:
        yield int(sim.stdout.readline().split()[-1])
    finally:
        sim.terminate()
        if sim.wait(30) != 0:  # also a sanitizer's report
            problems.append("the simulator ended with %d" % sim.returncode)


def main():
    a = argparse.ArgumentParser()
    for option in ("--sim", "--probe", "--docs"):
        a.add_argument(option, required=True)
    args = a.parse_args()
    paths = [os.path.join(args.docs, n) for n in ("buy-offer-v1_beta.yml", "buy-browse-v1.yml")]
    if not all(os.path.exists(p) for p in paths):
        print("skipped: eBay's documents not found in %s" % args.docs)
        return 77
    docs = [strict(yaml.safe_load(open(p, encoding="utf-8"))) for p in paths]
    with tempfile.TemporaryDirectory() as work:
        log = os.path.join(work, "requests.jsonl")
        with simulator(args.sim, log) as port:
            base = "http://127.0.0.1:%d" % port
            probe = subprocess.run([args.probe, base, ITEM, USER, PASSWORD, APP, CERT, RUNAME],
                                   capture_output=True, text=True, timeout=120)
            if probe.returncode != 0:
                problems.append("ebayprobe ended with %d: %s" % (probe.returncode, probe.stderr))
            seen = dict(line.split(": ", 1) for line in probe.stdout.splitlines())
            expected = {"item": "v1|%s|0 5.00 EUR Lampe" % ITEM, "compact": "5.00 0 ",
                        "unknown": "eBay kennt den Artikel 999 nicht.", "signin": "ok",
                        "renew": "ok", "low": "lB ", "currency": "er ", "bid": "hb ",
                        "bidding": "ACTIVE high 1234.50"}
            for step, start in expected.items():
                if not seen.get(step, "").startswith(start):
                    problems.append("probe step %s: %r, expected %r" % (step, seen.get(step),
                                                                       start))
            for (status, _, body), wanted in refusals(port):
                if status != wanted:
                    problems.append("a refused request came back %d, not %d: %s"
                                    % (status, wanted, body[:200]))
        with simulator(args.sim, log, "--item", "222", "--price", "10", "--high-bidder",
                       "andere:100", "--ebay-status", "bid:500:1", "--ebay-rate-limit", "6") \
                as port:
            statuses, bidding = limits(port)
            if statuses != [500, 200, 200, 200, 200, 200, 429] or bidding["highBidder"] \
                    or bidding["currentPrice"]["value"] != "50.50":
                problems.append("limits: %s, outbid: %s" % (statuses, bidding))
        with simulator(args.sim, log, "--ebay-token-lifetime", "1") as port:
            if not expires(port):
                problems.append("a token of one second was never refused")
        entries = [json.loads(line) for line in open(log, encoding="utf-8")]
    for entry in entries:
        program = "X-Raw" not in entry["headers"]
        path = urlsplit(entry["target"]).path
        if path == "/identity/v1/oauth2/token":
            check_token(entry)
        elif path == "/oauth2/authorize":
            if entry["method"] == "GET":
                check_consent(entry)
        elif "answer" in entry or program:
            check_api(docs, entry, program)
    print("%d requests checked against eBay's documents" % len(entries))
    for p in problems:
        print("FAIL " + p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
