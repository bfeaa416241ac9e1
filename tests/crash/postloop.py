#!/usr/bin/env python3
"""Kills `lattica-cli orders post` at random moments and counts what reached
the supplier.

    postloop.py CLI N      (N kills of a running post)

Starts the local cloud (tests/servers/stack.py, seeded), registers a data
folder of its own with `lattica-cli register --data`, and then, until N
kills of a running post were made: puts 3 orders into "post/", starts
`orders post`, sends it SIGKILL after a random delay within one full run,
and runs `orders post` again to its end. After each round every order of it
must have exactly one supplier mail and one confirmation (the catcher's .eml
files), exactly one portal XML in the drop folder that xmllint finds
well-formed, and be in "posted/" only; the drop folder holds no 0-byte or
partial file, and no posting journal entry is left. At the end every order
is moved back to "post/" by hand and posted once more: each must then have
gone exactly twice.
"""
import email
import email.policy
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))

cli, kills = sys.argv[1], int(sys.argv[2])
work = tempfile.mkdtemp(prefix="lta-postcrash.")
env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=work, XDG_CONFIG_HOME=work + "/config",
           XDG_RUNTIME_DIR=work, XDG_DATA_HOME=work + "/share")
data = os.path.join(work, "data")
post, posted = os.path.join(data, "Orders", "post"), os.path.join(data, "Orders", "posted")
failures = []


def run(argv, check=True, **kw):
    p = subprocess.run(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)
    if check and p.returncode != 0:
        raise RuntimeError("%s failed (%d): %s %s" % (" ".join(argv[:3]), p.returncode,
                                                      p.stdout.decode(errors="replace"), p.stderr.decode(errors="replace")))
    return p


stack = subprocess.Popen([sys.executable, os.path.join(SOURCE, "tests/servers/stack.py"), "--state",
                          os.path.join(work, "cloud"), "--seed", cli], stdin=subprocess.PIPE,
                         stdout=subprocess.PIPE, env=env)
try:
    line = stack.stdout.readline().decode()
    if not line.startswith("READY "):
        sys.exit("postloop: the local cloud did not start")
    cloud = json.loads(line[6:])
    block = run([cli, "seal-credentials"], input=("%s\n%s\n%s\n" % (cloud["keyId"], cloud["secret"],
                                                                      cloud["mailCredential"])).encode()).stdout.decode().strip()
    run([cli, "settings", "set", "storageScheme_s=http", "storageHost_s=127.0.0.1", "storagePort_i=%d" % cloud["s3"],
         "storagePathStyle_b=true", "credblock_s=" + block, "allweddi=" + block, "ltaurl=" + cloud["mailUrl"],
         "inetProbeUrl_s=" + cloud["probeUrl"], "ediFtpPort_i=%d" % cloud["ftp"], "supportemail=support@lattica.test",
         "mailchk_b=false", "transferTimeout_i=5",
         # the catcher logs an accepted message at once
         "mailEventLag_i=0"])
    demo = cloud["demo"]
    run([cli, "register", "--data", data, demo["email"], demo["customer"], demo["password"]])
    if not os.path.isdir(post) or os.path.exists(os.path.join(work, "share", "Vexa", "Lta", "st")):
        sys.exit("postloop: register did not use the --data folder")

    template = json.load(open(os.path.join(SOURCE, "data", "sample-order.json")))
    template["props"] = {"AccountName": demo["business"], "list1sel_s": "Collect from supplier"}
    eml_dir, drop = cloud["emlDir"], cloud["dropDir"]
    seen_eml = set()
    well_formed = {}  # drop file name -> its bytes when xmllint passed them
    supplier, confirmation = {}, {}  # reference -> count

    def count_mails():
        for name in sorted(os.listdir(eml_dir)):
            if name in seen_eml or not name.endswith(".eml"):
                continue
            seen_eml.add(name)
            with open(os.path.join(eml_dir, name), "rb") as f:
                msg = email.message_from_binary_file(f, policy=email.policy.default)
            subject, to = str(msg["Subject"] or ""), str(msg["To"] or "")
            if to == demo["ordersEmail"] and " Ref: " in subject:
                ref = subject.rsplit(" Ref: ", 1)[1]
                supplier[ref] = supplier.get(ref, 0) + 1
            elif subject.startswith("Your Lattica order has been sent to Heldon: "):
                ref = subject.split(": ", 1)[1]
                confirmation[ref] = confirmation.get(ref, 0) + 1

    def drop_files():
        files = {}
        for name in os.listdir(drop):
            path = os.path.join(drop, name)
            with open(path, "rb") as f:
                files[name] = f.read()
        return files

    def xml_count(files, ref):
        return sum(1 for body in files.values() if ('CustOrderRef="%s"' % ref).encode() in body)

    def check(refs, times, when):
        count_mails()
        files = drop_files()
        problems = []
        for name, body in files.items():
            if not name.endswith(".xml") or not body:
                problems.append("drop folder holds %s (%d bytes)" % (name, len(body)))
            elif well_formed.get(name) != body:
                if subprocess.run(["xmllint", "--noout", os.path.join(drop, name)], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode != 0:
                    problems.append("drop folder file %s is not well-formed" % name)
                else:
                    well_formed[name] = body
        for ref in refs:
            got = (supplier.get(ref, 0), confirmation.get(ref, 0), xml_count(files, ref))
            if got != (times, times, times):
                problems.append("%s: %d supplier mails, %d confirmations, %d portal files (expected %d each)"
                                % ((ref,) + got + (times,)))
            if os.path.exists(os.path.join(post, ref)) or not os.path.exists(os.path.join(posted, ref)):
                problems.append("%s is not (only) in posted/" % ref)
        conf = open(os.path.join(work, "config", "Vexa", "Lta.conf")).read()
        if "[postJournal]" in conf:
            problems.append("a posting journal entry was left")
        for p in problems:
            failures.append("%s: %s" % (when, p))
        return not problems

    def post_all():
        for attempt in range(3):
            p = run([cli, "orders", "post", "--data", data], check=False, timeout=300)
            if p.returncode == 0:
                return True
        failures.append("orders post did not finish: %s" % (p.stdout + p.stderr).decode(errors="replace")[-500:])
        return False

    rng = random.Random(os.environ.get("LTA_CRASH_SEED"))
    made = 0
    refs_all = []
    full_run = None
    rounds = 0
    begin = time.time()
    while made < kills and not failures:
        rounds += 1
        refs = []
        for k in range(3):
            ref = "CT-%d-%d" % (rounds, k)
            order = dict(template, orderID=ref, manOrderID=ref)
            with open(os.path.join(post, ref), "w") as f:
                json.dump(order, f)
            refs.append(ref)
        refs_all += refs
        started = time.time()
        p = subprocess.Popen([cli, "orders", "post", "--data", data], env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        if full_run is None:
            # the first round runs whole: its length bounds the kill delays
            p.wait()
            full_run = time.time() - started
        else:
            time.sleep(rng.uniform(0.0, full_run))
            if p.poll() is None:
                p.send_signal(signal.SIGKILL)
                made += 1
            p.wait()
        if post_all():
            check(refs, 1, "round %d" % rounds)
    elapsed = time.time() - begin

    if not failures:
        # every order once more, moved back by hand as a person would
        for ref in refs_all:
            os.rename(os.path.join(posted, ref), os.path.join(post, ref))
        if post_all():
            check(refs_all, 2, "re-send")
    print("postloop: %d kills of a running post in %d rounds (%d orders), %.0f s; %d failures"
          % (made, rounds, len(refs_all), elapsed, len(failures)))
    for f in failures[:20]:
        print("  " + f)
finally:
    stack.stdin.close()
    try:
        stack.wait(10)
    except subprocess.TimeoutExpired:
        stack.kill()
    shutil.rmtree(work, ignore_errors=True)
sys.exit(1 if failures else 0)
