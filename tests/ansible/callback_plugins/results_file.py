# -*- coding: utf-8 -*-
"""Writes each task result of a playbook run as a JSON line to $QBX_ANSIBLE_RESULTS, for the
playbook tests to read (ansible-core ships no JSON output of its own)."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import os

from ansible.plugins.callback import CallbackBase

DOCUMENTATION = """
name: results_file
type: aggregate
short_description: each task result as a JSON line in a file
description: Each task result as a JSON line in the file that QBX_ANSIBLE_RESULTS names.
requirements:
  - enabled in callbacks_enabled
"""


class CallbackModule(CallbackBase):
    CALLBACK_VERSION = 2.0
    CALLBACK_TYPE = "aggregate"
    CALLBACK_NAME = "results_file"
    CALLBACK_NEEDS_ENABLED = True

    def _write(self, status, result):
        with open(os.environ["QBX_ANSIBLE_RESULTS"], "a") as f:
            f.write(json.dumps({"host": result._host.get_name(), "task": result._task.get_name(),
                                "status": status, "result": result._result}, default=str) + "\n")

    def v2_runner_on_ok(self, result):
        self._write("ok", result)

    def v2_runner_on_failed(self, result, ignore_errors=False):
        self._write("failed", result)

    def v2_runner_on_unreachable(self, result):
        self._write("unreachable", result)
