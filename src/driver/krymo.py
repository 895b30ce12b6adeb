#!/usr/bin/env python3
"""krymo.py: takes a study that krymo_prepare wrote to its mobility tables, stage by stage.

Started in the study folder (scr/krymo.sh does that), it reads data/study.json and the do_transport_*
switches of krymo.inp, then for each stage in order runs its scripts, waits until the running markers
of the jobs they submitted are gone, checks that every job ended with its output, and goes on. A stage
whose outputs are present and ended normally is skipped, so a second start does only what is left.
Standard library only: it runs wherever the generated scripts run.
"""

import argparse
import glob
import json
import os
import pwd
import re
import shutil
import signal
import socket
import subprocess
import sys
import time

RECORD_FORMAT = 1
LOCK_FILE = "krymo.lock"
STATE_FILE = "data/driver.json"
MARKER_DIR = "RUN"

USAGE_EPILOG = """stages, in order:
  hl        transfer-integral (HL) jobs: monomers of the cell, neighbour monomers, dimers
  transint  transfer integrals (data/VL.dat, data/VH.dat)
  re        reorganization-energy jobs: neutral, checkpoint copies, charged, multipoles
  fourpoint checkpoint copies, four-point jobs and their energies
  modes     normal-mode projection of every molecule and carrier (evc/)
  lumping   normal modes and energies lumped per carrier (data/NM-e.dat, ...)
  site      site energies (lat_site_energy)
  outer     outer-sphere reorganization energies (reorg_outer)
  mobility  mobility run folders: prepare (rates), batch, mobility; the ME collector
  scans     the same over the temperature scans

The study folder is the working directory (or --study). KRYMO_ROOT is the install prefix: this
script is $KRYMO_ROOT/bin/krymo.py, beside krymo_prepare and the tools.
Exit status: 0 every stage asked for is done, 1 a stage stopped (the report names the job and its
log), 2 a bad command line or study, 3 another driver runs on the study."""

# The switches of krymo.inp that turn stages on and off, with their defaults.
SWITCH_DEFAULTS = {
    "do_transport_prepare": 1,
    "do_transport_submit_hl_job": 1,
    "do_transport_get_transferintegral": 1,
    "do_transport_submit_re_job": 1,
    "do_transport_get_re_evc": 1,
    "do_transport_run_mc": 1,
    "do_transport_get_mob_mc": 1,
    "do_transport_run_mc_temp": 0,
    "do_transport_get_mob_mc_temp": 0,
    "do_transport_run_me": 0,
    "do_transport_get_mob_me": 0,
    "do_transport_run_me_temp": 0,
    "do_transport_get_mob_me_temp": 0,
    "do_transport_gather_krymo_data": 1,
}

# How the batch systems list the jobs of a user: an empty list while markers remain means the jobs
# are gone without removing them (killed at their time limit, refused at submission).
QUEUE_COMMANDS = {
    "pbs": ["qstat", "-u", "{user}"],
    "slurm": ["squeue", "-h", "-u", "{user}"],
    "lsf": ["bjobs", "-noheader", "-u", "{user}"],
}


class Stop(Exception):
    """Ends the run with a report and an exit status."""

    def __init__(self, message, status=1):
        Exception.__init__(self, message)
        self.status = status


def say(text):
    sys.stdout.write("%s  %s\n" % (time.strftime("%Y-%m-%d %H:%M:%S"), text))
    sys.stdout.flush()


# --- settings -------------------------------------------------------------------------------------

def read_settings(path, values):
    """Adds the key = value lines of the &transport sections of `path` to `values` (keys in lower case)."""
    try:
        with open(path) as f:
            lines = f.read().splitlines()
    except OSError:
        return False
    inside = False
    for line in lines:
        text = re.split(r"[!#]", line, 1)[0].strip()
        if not inside:
            inside = text.lower().startswith("&transport")
            continue
        if text.startswith("/"):
            inside = False
            continue
        if "=" in text:
            key, value = text.split("=", 1)
            values[key.strip().lower()] = value.strip()
    return True


def switch_on(settings, key, source):
    value = settings.get(key, SWITCH_DEFAULTS[key])
    try:
        return int(str(value).split()[0]) != 0
    except (ValueError, IndexError):
        raise Stop("%s: %s = %s: a switch is 0 or 1" % (source, key, value), 2)


# --- the study record and the state of jobs -------------------------------------------------------

def load_record(root):
    path = os.path.join(root, "data", "study.json")
    try:
        with open(path) as f:
            record = json.load(f)
    except OSError:
        raise Stop("%s holds no study record (data/study.json): run krymo_prepare there first" % root, 2)
    except ValueError as e:
        raise Stop("%s is not a study record (%s): run krymo_prepare again" % (path, e), 2)
    if record.get("format") != RECORD_FORMAT:
        raise Stop("%s has format %s, while this driver reads format %d: run krymo_prepare again"
                   % (path, record.get("format"), RECORD_FORMAT), 2)
    return record


def tail(path, size):
    try:
        with open(path, "rb") as f:
            f.seek(0, os.SEEK_END)
            n = f.tell()
            f.seek(max(0, n - size))
            return f.read().decode("latin-1")
    except OSError:
        return None


def ends_normally(text, rule):
    """The rule of the generated checker scripts (krymo_status uses the same)."""
    if not rule["last_line"]:
        return rule["text"] in text
    lines = text.replace("\r\n", "\n").replace("\r", "\n").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return bool(lines) and rule["text"] in lines[-1]


def job_state(root, rule, job):
    """done, running, failed, pending or unchecked, as krymo_status tells them."""
    running = bool(job["running"]) and os.path.exists(os.path.join(root, job["running"]))
    if not job["output"]:
        return "running" if running else "unchecked"
    text = tail(os.path.join(root, job["output"]), 4096 if rule["last_line"] else 32768)
    if text is not None and ends_normally(text, rule):
        return "done"
    if running:
        return "running"
    if text is not None or (job["error"] and os.path.exists(os.path.join(root, job["error"]))):
        return "failed"
    return "pending"


# --- stages ---------------------------------------------------------------------------------------

class Step(object):
    """One script of a stage, run from `cwd` (relative to the study folder).

    done() tells whether its work is already there; check() after it ran names what went wrong."""

    def __init__(self, title, script, cwd=".", switch=None, done=None, check=None):
        self.title = title
        self.script = script
        self.cwd = cwd
        self.switch = switch
        # A step whose work leaves nothing to look at is remembered as done in the state file.
        self.checkable = done is not None
        self.before = lambda: None
        self.tools = []  # programs its jobs call (from the study record)
        self.done = done or (lambda: False)
        self.check = check or (lambda: None)

    def key(self):
        return os.path.normpath(os.path.join(self.cwd, self.script))


class Stage(object):
    def __init__(self, name, title):
        self.name = name
        self.title = title
        self.steps = []


def exists_all(root, paths):
    return bool(paths) and all(os.path.exists(os.path.join(root, p)) for p in paths)


def job_report(root, job, state):
    what = {"failed": "did not end normally", "pending": "ended without its output",
            "running": "is still marked running"}[state]
    parts = ["job %s %s" % (job["name"], what)]
    if job["output"] and os.path.exists(os.path.join(root, job["output"])):
        parts.append("its log: %s" % job["output"])
    elif job["output"]:
        parts.append("it wrote no %s (did its program start?)" % job["output"])
    if job["error"] and os.path.exists(os.path.join(root, job["error"])):
        parts.append("error marker %s" % job["error"])
    folder = os.path.dirname(job["output"] or job["input"]) or "."
    stdout = sorted(glob.glob(os.path.join(root, folder, "stdout-*")))
    if stdout:
        parts.append("scheduler output in %s/stdout-*" % folder)
    return "; ".join(parts)


def job_set_step(root, record, job_set, switch):
    rule = record["normal_end"]
    jobs = job_set["jobs"]
    checked = [j for j in jobs if j["output"]]

    def done():
        return bool(checked) and all(job_state(root, rule, j) == "done" for j in checked)

    def check():
        bad = [(j, job_state(root, rule, j)) for j in checked]
        bad = [(j, s) for j, s in bad if s != "done"]
        if bad:
            return "%s: %d of %d jobs did not end with their output:\n    %s" % (
                job_set["title"], len(bad), len(checked), "\n    ".join(job_report(root, j, s) for j, s in bad))
        return None

    def clear_errors():
        # Error markers tell of the attempt before: the jobs submitted again leave their own.
        for j in checked:
            marker = os.path.join(root, j["error"]) if j["error"] else None
            if marker and os.path.exists(marker) and job_state(root, rule, j) != "running":
                os.remove(marker)

    step = Step(job_set["title"], job_set["runner"], ".", switch, done if checked else None, check)
    step.before = clear_errors
    step.tools = job_set.get("tools", [])
    return step


def holds_modes(path):
    """A normal-mode file as the lumping writes it, not the four-point stand-in that the four-point tool
    writes while no normal-mode data exists (the lumping replaces that one)."""
    try:
        with open(path) as f:
            return not f.readline().startswith("# four-point reorganization energies, no normal modes")
    except (IOError, OSError):
        return False


def script_step(root, title, script, cwd=".", switch=None, results=(), job=None, log=None, present=os.path.exists):
    """A script whose work shows in `results` (paths relative to the study folder); `present` tells
    whether one result is there."""
    results = list(results)

    def done():
        return bool(results) and all(present(os.path.join(root, p)) for p in results)

    def check():
        missing = [p for p in results if not present(os.path.join(root, p))]
        if not missing:
            return None
        text = "%s: %s ended without %s" % (title, job or script, ", ".join(missing))
        if log:
            text += "; its log: %s" % log
        return text

    return Step(title, script, cwd, switch, done if results else None, check)


def build_stages(root, record, settings):
    sets = dict((s["key"], s) for s in record["job_sets"])
    gather = dict((g["name"], g) for g in record.get("gather", []))
    stages = []

    hl = Stage("hl", "transfer-integral jobs")
    for key in ("hl_uc_mol", "hl_nei_mol", "hl_dimer"):
        if key in sets:
            hl.steps.append(job_set_step(root, record, sets[key], "do_transport_submit_hl_job"))
    stages.append(hl)

    ti = Stage("transint", "transfer integrals")
    g = gather.get("transfer integrals")
    if g:
        ti.steps.append(script_step(root, g["name"], g["scripts"][0], ".", "do_transport_get_transferintegral",
                                    g["results"], "the coupling job (jobs/job_transint)", "data/stdout-transint"))
    stages.append(ti)

    re_stage = Stage("re", "reorganization-energy jobs")
    if "re_neutral" in sets:
        re_stage.steps.append(job_set_step(root, record, sets["re_neutral"], "do_transport_submit_re_job"))
    if "re_charged" in sets:
        charged = job_set_step(root, record, sets["re_charged"], "do_transport_submit_re_job")
        if os.path.exists(os.path.join(root, "scr/copy_neutral_chk_files.py")):
            re_stage.steps.append(Step("neutral checkpoint copies", "scr/copy_neutral_chk_files.py", ".",
                                       "do_transport_submit_re_job", charged.done))
        re_stage.steps.append(charged)
    if "re_multipoles" in sets:
        re_stage.steps.append(job_set_step(root, record, sets["re_multipoles"], "do_transport_submit_re_job"))
    stages.append(re_stage)

    fp = Stage("fourpoint", "four-point reorganization energies")
    if "re_four_point" in sets:
        jobs = job_set_step(root, record, sets["re_four_point"], "do_transport_submit_re_job")
        g = gather.get("four-point reorganization energies", {"scripts": []})
        for s in g["scripts"]:
            if s.endswith("copy_RE_lambda_4P_files.py"):
                # The four-point inputs start from these copies: they come before the jobs.
                fp.steps.append(Step("four-point checkpoint copies", s, ".", "do_transport_submit_re_job", jobs.done))
        fp.steps.append(jobs)
        for s in g["scripts"]:
            if not s.endswith("copy_RE_lambda_4P_files.py") and s != sets["re_four_point"]["runner"]:
                fp.steps.append(Step("four-point energies", s, ".", "do_transport_submit_re_job"))
    stages.append(fp)

    modes = Stage("modes", "normal modes")
    lump = Stage("lumping", "lumping")
    g = gather.get("normal-mode reorganization energies")
    if g:
        scripts = dict((os.path.basename(s), s) for s in g["scripts"])
        # The work folders of the projections, one per molecule and carrier, hold their job scripts.
        work = sorted(set(os.path.relpath(os.path.dirname(p), root)
                          for p in glob.glob(os.path.join(root, "evc", "mol*", "*", "job_get_NM.*"))))
        sw = "do_transport_get_re_evc"
        if "prepare_RE.py" in scripts:
            modes.steps.append(script_step(root, "normal-mode work folders", scripts["prepare_RE.py"], ".", sw,
                                           [os.path.join(w, "evc.inp") for w in work]))
        if "run_RE.py" in scripts:
            modes.steps.append(Step("normal-mode projections", scripts["run_RE.py"], ".", sw,
                                    (lambda: exists_all(root, [os.path.join(w, "NM.dat") for w in work])) if work else None,
                                    lambda: projection_report(root, work)))
        if "get_RE.py" in scripts:
            modes.steps.append(script_step(root, "normal-mode energies", scripts["get_RE.py"], ".", sw,
                                           [os.path.join(w, "lambda.dat") for w in work]))
        nm = list(g["results"])
        lam = [r.replace("NM-", "mol_lambda_evc-") for r in nm]
        if "merge_evc_NM_output.py" in scripts:
            lump.steps.append(script_step(root, "normal modes lumped", scripts["merge_evc_NM_output.py"], ".", sw, nm,
                                          present=holds_modes))
        if "get_RE_lambda_evc.py" in scripts:
            lump.steps.append(script_step(root, "reorganization energies lumped", scripts["get_RE_lambda_evc.py"],
                                          ".", sw, lam))
    stages += [modes, lump]

    site = Stage("site", "site energies")
    g = gather.get("site energies")
    if g:
        # The internal energies of every molecule first, lumped, then the site energies from them.
        order = ["get_RE_int_ener.py", "merge_RE_int_ener_output.py", "get_site_ener.py"]
        scripts = sorted(g["scripts"], key=lambda s: order.index(os.path.basename(s))
                         if os.path.basename(s) in order else len(order))
        for s in scripts:
            last = s == scripts[-1]
            site.steps.append(script_step(root, "site energies: " + os.path.basename(s), s, ".",
                                          "do_transport_get_re_evc", g["results"] if last else (),
                                          "the site-energy job", "data/stdout-*"))
    stages.append(site)

    outer = Stage("outer", "outer-sphere reorganization energies")
    g = gather.get("outer-sphere reorganization energies")
    if g:
        for s in g["scripts"]:
            last = s == g["scripts"][-1]
            outer.steps.append(script_step(root, "outer sphere: " + os.path.basename(s), s, ".",
                                           "do_transport_get_re_evc", g["results"] if last else (),
                                           "the outer-sphere job", "data/stdout-*"))
    stages.append(outer)

    rate_file = settings.get("krymo_dat_file", "").split()
    rate_file = rate_file[0].strip("\"'") if rate_file else "krymo-%s.dat" % settings.get("ratetype", "quantum").split()[0]
    mobility = Stage("mobility", "mobility")
    scans = Stage("scans", "temperature scans")
    collectors = {}
    for run in record.get("mobility", []):
        folder = run["name"]
        top = folder.split("/")[0]
        scan = top.endswith("-temp")
        kind = "mc" if top.startswith("MC-") else "me"
        suffix = "_temp" if scan else ""
        stage = scans if scan else mobility
        result = run["results"][0] if run["results"] else os.path.join(folder, "exp_data.dat")
        for s in run["scripts"]:
            base = os.path.basename(s)
            if base.startswith("prepare-"):
                stage.steps.append(script_step(root, "%s: rates" % folder, base, folder,
                                               ["do_transport_run_%s%s" % (kind, suffix), "do_transport_gather_krymo_data"],
                                               [os.path.join(folder, rate_file)], base))
            elif base.startswith("run_"):
                produced = [result] if kind == "me" else []
                step = script_step(root, "%s: %s" % (folder, "Monte Carlo" if kind == "mc" else "master equation"),
                                   base, folder, "do_transport_run_%s%s" % (kind, suffix), produced,
                                   "the %s job" % base, "%s/stdout-*" % folder)
                if kind == "mc":
                    step.done = lambda f=folder, r=result: bool(glob.glob(os.path.join(root, f, "traj-*.dat"))) or \
                        os.path.exists(os.path.join(root, r))
                    step.check = lambda f=folder, b=base: None if glob.glob(os.path.join(root, f, "traj-*.dat")) else \
                        "%s: the %s job ended without trajectories (traj-*.dat); its log: %s/stdout-*" % (f, b, f)
                stage.steps.append(step)
            elif base == "get_mob.py":
                stage.steps.append(script_step(root, "%s: mobility" % folder, base, folder,
                                               "do_transport_get_mob_mc%s" % suffix, [result],
                                               "the mobility job", "%s/stdout-*" % folder))
        if kind == "me":
            collectors.setdefault(top, (stage, suffix, []))[2].append(folder)
    for top in sorted(collectors):
        stage, suffix, folders = collectors[top]
        if os.path.exists(os.path.join(root, top, "get_mob.py")):
            tables = ["%s/mob_%s.dat" % (top, c) for c in ("elec", "hole")
                      if any(f.split("/")[1] == c for f in folders)]
            stage.steps.append(script_step(root, "%s: mobility tables" % top, "get_mob.py", top,
                                           "do_transport_get_mob_me%s" % suffix, tables))
    stages += [mobility, scans]
    # The programs each step's jobs call, from the record's stages whose scripts the step runs.
    tools = {}
    for entry in record.get("gather", []) + record.get("mobility", []):
        for script in entry["scripts"]:
            tools[os.path.normpath(script)] = entry.get("tools", [])
    for stage in stages:
        for step in stage.steps:
            if not step.tools:
                step.tools = tools.get(step.key(), [])
    return stages


def projection_report(root, work):
    missing = [w for w in work if not os.path.exists(os.path.join(root, w, "NM.dat"))]
    if not missing:
        return None
    return "normal-mode projections: %s ended without NM.dat; their logs: %s" % (
        ", ".join("job %s" % w for w in missing), ", ".join("%s/stdout-*" % w for w in missing))


# --- waiting for the jobs -------------------------------------------------------------------------

def markers(root):
    return sorted(glob.glob(os.path.join(root, MARKER_DIR, "running.*")))


def queue_is_empty(scheduler):
    cmd = QUEUE_COMMANDS.get(scheduler)
    if not cmd:
        return False
    try:
        user = pwd.getpwuid(os.getuid()).pw_name
    except KeyError:
        return False
    if not user:
        return False
    try:
        p = subprocess.run([c.format(user=user) for c in cmd], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                           universal_newlines=True, timeout=60)
    except (OSError, subprocess.SubprocessError):
        return False
    if p.returncode != 0 and not (scheduler == "lsf" and "No unfinished job" in p.stderr):
        return False
    return not p.stdout.strip()


def wait_for_markers(root, scheduler, interval, title):
    """Returns when no running marker is left; stops when the jobs left the queue without removing them."""
    empty_polls = 0
    shown = None
    while True:
        left = markers(root)
        if not left:
            return
        names = [os.path.basename(m)[len("running."):] for m in left]
        if shown != len(left):
            say("  waiting for %d job%s of %s (%s%s)" % (len(left), "" if len(left) == 1 else "s", title,
                                                       ", ".join(names[:4]), ", ..." if len(names) > 4 else ""))
            shown = len(left)
        if queue_is_empty(scheduler):
            empty_polls += 1
            if empty_polls >= 2:
                raise Stop("%s: no job of yours is in the %s queue, but %d running marker%s remain%s in %s/ (%s): "
                           "the jobs ended without removing them (refused at submission, or killed at their time "
                           "limit). Look at their stdout-* files, remove the markers and start the driver again."
                           % (title, scheduler, len(left), "" if len(left) == 1 else "s",
                              "s" if len(left) == 1 else "", MARKER_DIR, ", ".join(names[:8])))
        else:
            empty_polls = 0
        time.sleep(interval)


# --- the lock and the state file ------------------------------------------------------------------

def pid_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    return True


def take_lock(root):
    path = os.path.join(root, LOCK_FILE)
    me = "%d %s %s\n" % (os.getpid(), socket.gethostname(), time.strftime("%Y-%m-%d %H:%M:%S"))
    for _ in range(2):
        try:
            fd = os.open(path, os.O_CREAT | os.O_EXCL | os.O_WRONLY, 0o644)
        except FileExistsError:
            try:
                with open(path) as f:
                    words = f.read().split()
                pid, host = int(words[0]), words[1]
            except (OSError, ValueError, IndexError):
                raise Stop("%s exists but names no driver: remove it if no driver runs on this study" % path, 3)
            if host == socket.gethostname() and not pid_alive(pid):
                say("removing the stale lock of driver %d, which no longer runs" % pid)
                os.remove(path)
                continue
            raise Stop("another driver (pid %d on %s) runs on this study (%s); if it does not, remove the lock file"
                       % (pid, host, path), 3)
        with os.fdopen(fd, "w") as f:
            f.write(me)
        return path
    raise Stop("could not take the lock %s" % path, 3)


def read_state(root):
    try:
        with open(os.path.join(root, STATE_FILE)) as f:
            state = json.load(f)
        return state if isinstance(state, dict) else {}
    except (OSError, ValueError):
        return {}


def write_state(root, state):
    path = os.path.join(root, STATE_FILE)
    part = path + ".part"
    with open(part, "w") as f:
        json.dump(state, f, indent=1)
        f.write("\n")
    os.replace(part, path)


# --- running ----------------------------------------------------------------------------------------

def step_enabled(step, settings, source):
    keys = step.switch if isinstance(step.switch, list) else [step.switch] if step.switch else []
    off = [k for k in keys if not switch_on(settings, k, source)]
    return off


def run_step(root, step, scheduler, interval, python):
    cwd = os.path.join(root, step.cwd)
    missing = [t for t in step.tools if shutil.which(t) is None]
    if missing:
        # Only a warning: batch jobs may load their programs with modules on the nodes.
        say("  warning: not on PATH here: %s (%s calls %s)" % (", ".join(missing), step.title,
                                                              "it" if len(missing) == 1 else "them"))
    step.before()
    say("  running %s (python %s%s)" % (step.title, step.script, "" if step.cwd == "." else " in " + step.cwd))
    status = subprocess.call([python, step.script], cwd=cwd)
    if status != 0:
        raise Stop("%s: %s%s ended with status %d; its messages are above in this log"
                   % (step.title, step.script, "" if step.cwd == "." else " in " + step.cwd, status))
    wait_for_markers(root, scheduler, interval, step.title)
    problem = step.check()
    if problem:
        raise Stop(problem)


def select(stages, only, until):
    names = [s.name for s in stages]
    for n in (only, until):
        if n is not None and n not in names:
            raise Stop("unknown stage %s: the stages are %s" % (n, ", ".join(names)), 2)
    if only is not None:
        return [s for s in stages if s.name == only]
    if until is not None:
        return stages[:names.index(until) + 1]
    return stages


def main(argv):
    parser = argparse.ArgumentParser(prog="krymo.py", formatter_class=argparse.RawDescriptionHelpFormatter,
                                     description="Takes a study written by krymo_prepare to its mobility tables, "
                                                 "stage by stage; started again, it skips what is done.",
                                     epilog=USAGE_EPILOG)
    parser.add_argument("--study", default=".", help="the study folder (default: the working directory)")
    parser.add_argument("--config", default="krymo.inp", help="the input file with the do_transport_* switches")
    parser.add_argument("--dry-run", action="store_true", help="list what would run, run nothing")
    parser.add_argument("--stage", metavar="NAME", help="run this stage only")
    parser.add_argument("--until", metavar="NAME", help="stop after this stage")
    parser.add_argument("--interval", type=float, default=None, metavar="SECONDS",
                        help="seconds between looks at the running markers (default: KRYMO_POLL_INTERVAL, "
                             "else 1 for local runs and 60 for a batch system)")
    args = parser.parse_args(argv)
    root = os.path.abspath(args.study)
    try:
        return drive(root, args)
    except Stop as e:
        say("STOPPED: %s" % e)
        return e.status


def drive(root, args):
    settings = {}
    config = os.path.join(root, args.config)
    read_settings(os.path.join(root, "data", "config.inp"), settings)
    has_config = read_settings(config, settings)
    if not os.path.exists(os.path.join(root, "data", "study.json")) and has_config and \
            switch_on(settings, "do_transport_prepare", args.config) and not args.dry_run:
        prepare = os.path.join(os.path.dirname(os.path.abspath(__file__)), "krymo_prepare")
        if not os.path.exists(prepare):
            prepare = "krymo_prepare"
        say("no study record yet: running %s -config %s" % (prepare, args.config))
        if subprocess.call([prepare, "-config", args.config], cwd=root) != 0:
            raise Stop("krymo_prepare stopped: see its messages above", 1)
        settings = {}
        read_settings(os.path.join(root, "data", "config.inp"), settings)
        read_settings(config, settings)
    record = load_record(root)
    scheduler = record["scheduler"].lower()
    interval = args.interval
    if interval is None:
        env = os.environ.get("KRYMO_POLL_INTERVAL")
        try:
            interval = float(env) if env else (1.0 if scheduler == "local" else 60.0)
        except ValueError:
            raise Stop("KRYMO_POLL_INTERVAL = %s: a number of seconds" % env, 2)
    if not interval > 0:
        raise Stop("the poll interval must be a positive number of seconds", 2)
    stages = select(build_stages(root, record, settings), args.stage, args.until)

    if args.dry_run:
        remembered = read_state(root).get("finished", [])
        for stage in stages:
            say("stage %s (%s)" % (stage.name, stage.title))
            for step in stage.steps:
                off = step_enabled(step, settings, args.config)
                where = "" if step.cwd == "." else " in " + step.cwd
                if off:
                    say("  off   %s (%s = 0)" % (step.title, ", ".join(off)))
                elif step.done() if step.checkable else step.key() in remembered:
                    say("  done  %s" % step.title)
                else:
                    say("  run   python %s%s" % (step.script, where))
        return 0

    lock = take_lock(root)
    remembered = read_state(root).get("finished", [])
    state = {"pid": os.getpid(), "host": socket.gethostname(), "stage": None, "title": None,
             "state": "running", "message": "", "finished": remembered}

    def stop_signal(signum, frame):
        raise Stop("ended by signal %d" % signum, 1)

    for s in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(s, stop_signal)
    try:
        if scheduler == "local":
            # Local jobs run inside this driver: a marker left now belongs to a run that was cut off.
            for m in markers(root):
                say("removing %s, left by an interrupted local run" % os.path.relpath(m, root))
                os.remove(m)
        say("driver started on %s (%s, %s)" % (root, record["engine"], record["scheduler"]))
        for stage in stages:
            state.update(stage=stage.name, title=stage.title)
            write_state(root, state)
            ran = False
            for step in stage.steps:
                off = step_enabled(step, settings, args.config)
                if off:
                    continue
                # Jobs still queued from an earlier start: wait for them rather than submit them twice.
                wait_for_markers(root, scheduler, interval, step.title)
                if step.done() if step.checkable else step.key() in remembered:
                    continue
                if not ran:
                    say("stage %s: %s" % (stage.name, stage.title))
                    ran = True
                run_step(root, step, scheduler, interval, sys.executable)
                if not step.checkable and step.key() not in remembered:
                    remembered.append(step.key())
                    write_state(root, state)
            if not ran:
                say("stage %s: nothing to do" % stage.name)
        state.update(state="finished", message="every stage asked for is done")
        write_state(root, state)
        say("done: every stage asked for is done")
        return 0
    except Stop as e:
        state.update(state="stopped", message=str(e))
        write_state(root, state)
        raise
    finally:
        try:
            os.remove(lock)
        except OSError:
            pass


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
