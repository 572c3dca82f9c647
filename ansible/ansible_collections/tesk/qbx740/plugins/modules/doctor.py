#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright 2026 The QBX7Config developers

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: doctor
short_description: Find out what stands between a host and its QBX740 ticket printer
description:
  - Runs the port check of C(qbx7config doctor) on the host's printer port, without sending
    anything to the printer, and returns its findings.
  - Never C(changed).
version_added: 1.0.0
author: The QBX7Config developers
extends_documentation_fragment:
  - tesk.qbx740.qbx7config
options:
  fail_on_problem:
    description:
      - Fail the task when a finding is a problem. Warnings never fail it.
    type: bool
    default: true
attributes:
  check_mode:
    support: full
    details: The check sends nothing in any mode.
  diff_mode:
    support: none
"""

EXAMPLES = r"""
- name: Every kiosk can reach its printer
  tesk.qbx740.doctor:

- name: Look, and decide later
  tesk.qbx740.doctor:
    port: file:/dev/usb/lp0
    fail_on_problem: false
  register: check
"""

RETURN = r"""
port:
  description: The port's URI, as the program names it.
  returned: always
  type: str
  sample: file:/dev/usb/lp0
findings:
  description: What the check found, in order.
  returned: always
  type: list
  elements: dict
  contains:
    level:
      description: C(ok), C(warning) or C(problem).
      type: str
    text:
      description: What was found.
      type: str
    advice:
      description: What to do; empty where nothing is to be done.
      type: str
  sample: [{"level": "problem", "text": "/dev/usb/lp0 does not exist.", "advice": "Connect the printer."}]
problem_count:
  description: How many findings are problems.
  returned: always
  type: int
warning_count:
  description: How many findings are warnings.
  returned: always
  type: int
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.tesk.qbx740.plugins.module_utils.qbx7config import (
    COMMON_ARGUMENTS, only_port, port_arguments, run_json)


def main():
    arguments = dict(COMMON_ARGUMENTS)
    arguments.update(fail_on_problem=dict(type="bool", default=True))
    module = AnsibleModule(argument_spec=arguments, supports_check_mode=True)
    rc, document, err = run_json(module, ["doctor"] + port_arguments(module))
    port = only_port(module, document, err)
    findings = [dict(level=f.get("level", ""), text=f.get("found", ""), advice=f.get("advice") or "")
                for f in port.get("findings", [])]
    result = dict(changed=False, port=port["uri"], findings=findings,
                  problem_count=sum(f["level"] == "problem" for f in findings),
                  warning_count=sum(f["level"] == "warning" for f in findings))
    if result["problem_count"] and module.params["fail_on_problem"]:
        first = next(f for f in findings if f["level"] == "problem")
        module.fail_json(msg="%s %s" % (first["text"], first["advice"]), rc=rc, **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
