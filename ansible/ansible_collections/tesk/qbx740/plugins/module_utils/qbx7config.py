# -*- coding: utf-8 -*-
# Copyright 2026 The QBX7Config developers
"""Runs the qbx7config command line for the modules of tesk.qbx740 and reads its JSON."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

# Options that every module of the collection takes.
COMMON_ARGUMENTS = dict(
    port=dict(type="str"),
    executable=dict(type="str", default="qbx7config"),
)


def executable_path(module):
    """The program to run: a path as given, or a name looked up on the host's PATH."""
    name = module.params["executable"]
    if os.sep in name:
        return name
    return module.get_bin_path(name, required=True)


def port_arguments(module):
    """--port URI when the task names a port; otherwise the port saved on the host."""
    port = module.params.get("port")
    return ["--port", port] if port else []


def run_json(module, arguments):
    """Runs `qbx7config ARGUMENTS --json` (an argument list, never a shell line) and returns
    its exit status and the JSON document it printed. A program that prints no document fails
    the task with what it wrote on standard error."""
    command = [executable_path(module)] + arguments
    # Options first: the words after "--" are never taken for one.
    command.insert(command.index("--") if "--" in command else len(command), "--json")
    rc, out, err = module.run_command(command, environ_update={"LC_ALL": "C.UTF-8"})
    for line in err.splitlines():
        if ": warning: " in line:
            module.warn(line.split(": warning: ", 1)[1])
    try:
        document = json.loads(out)
    except ValueError:
        document = None
    if not isinstance(document, dict):
        module.fail_json(
            msg="qbx7config printed no JSON (exit status %d): %s" % (rc, err.strip() or out.strip()),
            rc=rc, cmd=command, stderr=err)
    if "usageError" in document:
        module.fail_json(msg="qbx7config refused the task: %s" % document["usageError"],
                         rc=rc, cmd=command, stderr=err)
    return rc, document, err


def only_port(module, document, err):
    """The one port's entry of a document: the task runs against one port."""
    ports = document.get("ports") or []
    if len(ports) != 1:
        module.fail_json(msg="qbx7config reported %d ports for one task" % len(ports), stderr=err)
    return ports[0]
